# ThreadSanitizer for every target; any report aborts. Not together with NIGHTLUX_SANITIZE or
# NIGHTLUX_FUZZ: the sanitizers cannot share a process.
add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
add_link_options(-fsanitize=thread)
