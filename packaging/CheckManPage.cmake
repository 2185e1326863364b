# Fails when a program's options and its manual page's option entries differ.
#   cmake -DMANPAGE=page.1 -DPROGRAM=prog -P CheckManPage.cmake   options from "prog --help"
#   cmake -DMANPAGE=page.1 "-DSOURCES=a.cpp|b.cpp" -P CheckManPage.cmake  switches the
#                                             sources test with HasCmdLineSwitch
# Options are the words starting with "-" on the help's indented option lines, and on the
# line after each ".TP" of the page. When man is given (MAN=path), the page must also
# format without warnings.

# The option words of one line, appended to the list named by out_var.
function(option_words line out_var)
    string(REGEX MATCHALL "(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*" words "${line}")
    set(found ${${out_var}})
    foreach(word IN LISTS words)
        string(REGEX REPLACE "^[ ,]" "" word "${word}")
        list(APPEND found ${word})
    endforeach()
    set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# Text split into a list of lines; ";" would split a line, so it becomes a blank.
function(text_lines text out_var)
    string(REPLACE ";" " " text "${text}")
    string(REPLACE "\n" ";" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

set(documented "")
file(READ "${MANPAGE}" page)
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
string(REPLACE "\"" " " page "${page}")
text_lines("${page}" page_lines)
set(after_tp FALSE)
foreach(line IN LISTS page_lines)
    if(after_tp)
        option_words("${line}" documented)
    endif()
    string(REGEX MATCH "^\\.TP" after_tp "${line}")
endforeach()

set(actual "")
if(DEFINED PROGRAM)
    execute_process(COMMAND "${PROGRAM}" --help
        OUTPUT_VARIABLE help ERROR_VARIABLE help_errors RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} --help exited with ${status}: ${help_errors}")
    endif()
    text_lines("${help}" help_lines)
    foreach(line IN LISTS help_lines)
        if(line MATCHES "^ +-")
            option_words("${line}" actual)
        endif()
    endforeach()
else()
    string(REPLACE "|" ";" sources "${SOURCES}")
    set(calls "")
    foreach(file IN LISTS sources)
        file(READ "${file}" source)
        string(REGEX MATCHALL "HasCmdLineSwitch\\([^,]*,[^,]*, *\"[^\"]+\"" found "${source}")
        list(APPEND calls ${found})
    endforeach()
    foreach(call IN LISTS calls)
        string(REGEX REPLACE ".*\"([^\"]+)\"$" "-\\1" switch "${call}")
        list(APPEND actual ${switch})
    endforeach()
endif()

list(REMOVE_DUPLICATES documented)
list(REMOVE_DUPLICATES actual)
if(NOT actual)
    message(FATAL_ERROR "No options found for ${MANPAGE}; the help or source changed form.")
endif()
set(undocumented ${actual})
if(documented)
    list(REMOVE_ITEM undocumented ${documented})
endif()
set(unknown ${documented})
list(REMOVE_ITEM unknown ${actual})
if(undocumented OR unknown)
    list(JOIN undocumented " " undocumented)
    list(JOIN unknown " " unknown)
    message(FATAL_ERROR "${MANPAGE} and the program disagree.\n"
        "  options missing from the page: ${undocumented}\n"
        "  options on the page that the program lacks: ${unknown}")
endif()

if(MAN)
    set(ENV{MANWIDTH} 80)
    execute_process(COMMAND "${MAN}" --warnings -E UTF-8 -l "${MANPAGE}"
        OUTPUT_QUIET ERROR_VARIABLE warnings RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR warnings)
        message(FATAL_ERROR "${MANPAGE} does not format cleanly (${status}):\n${warnings}")
    endif()
endif()
list(JOIN actual " " shown)
message(STATUS "${MANPAGE}: ${shown}")
