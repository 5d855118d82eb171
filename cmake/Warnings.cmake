# Warnings are errors for the project's own targets. -Wformat=2 includes
# -Wformat-nonliteral: a format that is not a literal is allowed only where
# a pragma next to it says why.
add_library(corla_warnings INTERFACE)
target_compile_options(corla_warnings INTERFACE
    -Wall -Wextra -Werror -Wformat=2 -Wshadow)

