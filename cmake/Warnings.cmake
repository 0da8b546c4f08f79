# The warnings our own code is built with, linked privately by each of our targets that
# asks for them; JUCE's code keeps the framework's own.
add_library(br_warnings INTERFACE)
target_compile_options(br_warnings INTERFACE -Wall -Wextra -Wshadow)
