# Warnings are errors for the project's own targets.
add_library(corla_warnings INTERFACE)
target_compile_options(corla_warnings INTERFACE
    -Wall -Wextra -Werror -Wformat=2 -Wshadow -Wno-format-nonliteral)
