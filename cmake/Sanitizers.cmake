# Instrumented builds, each in its own build folder: the asan-ubsan, tsan and fuzz presets
# of CMakePresets.json (scripts/ci-sanitizers.sh builds tsan and fuzz, scripts/fuzz.sh fuzz):
#   address  AddressSanitizer and UndefinedBehaviorSanitizer
#   thread   ThreadSanitizer
#   fuzzer   address + undefined + libFuzzer's coverage instrumentation on every target;
#            the fuzz targets of tests/fuzz link libFuzzer itself. The test programs of such
#            a build are ordinary ASan/UBSan programs, so one build serves both.
# The flags go on everything, JUCE included: a race or an overflow inside the framework
# that our calls set off must show up too, and mixing instrumented and plain code makes
# ThreadSanitizer report nonsense. Made for clang; g++ has no libFuzzer.
set(BR_SANITIZER "" CACHE STRING "Instrumented build: address, thread, fuzzer or empty")
set_property(CACHE BR_SANITIZER PROPERTY STRINGS "" address thread fuzzer)

if(BR_SANITIZER)
    if(BR_SANITIZER STREQUAL "address")
        set(br_sanitize address,undefined)
    elseif(BR_SANITIZER STREQUAL "thread")
        set(br_sanitize thread)
    elseif(BR_SANITIZER STREQUAL "fuzzer")
        if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            message(FATAL_ERROR "BR_SANITIZER=fuzzer needs clang (libFuzzer)")
        endif()
        set(br_sanitize fuzzer-no-link,address,undefined)
    else()
        message(FATAL_ERROR "BR_SANITIZER must be address, thread, fuzzer or empty, not '${BR_SANITIZER}'")
    endif()

    add_compile_options(-fsanitize=${br_sanitize} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${br_sanitize})
    if(BR_SANITIZER STREQUAL "address" OR BR_SANITIZER STREQUAL "fuzzer")
        # Undefined behaviour in our code stops the program instead of printing and
        # going on, so a test or a fuzz run fails on it.
        add_compile_options(-fno-sanitize-recover=undefined)
        # The framework's (its GIF decoder reads before its buffer when it decodes the
        # built-in hand cursor) is only reported, so that tests/sanitizers/ubsan.supp
        # can name each known case; the scripts make every other report fatal.
        cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL br_report_framework_ub)
    endif()
    add_compile_definitions(BR_SANITIZER_BUILD=1)
endif()

function(br_report_framework_ub)
    target_compile_options(br_juce PRIVATE -fsanitize-recover=undefined)
endfunction()
