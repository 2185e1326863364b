# One warnings target, linked into every target of the project.
add_library(nightlux_warnings INTERFACE)
target_compile_options(nightlux_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
