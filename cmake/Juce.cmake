# JUCE compiled into static libraries of our own, each once, by br_add_juce_library:
#   PRODUCT  br_juce, for the app, the plug-in formats, the tests and the benchmarks
#   HOSTING  br_juce_host, with plug-in hosting switched on, for programs that load our
#            built binaries the way a host does (tests/hosts, bench/PeerBench.cpp). Kept
#            apart from br_juce so the shipped plug-ins carry no hosting code.
# Module switches go here, on the library that compiles the modules, and reach every
# target that links it.
find_package(JUCE CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BR_JACK REQUIRED IMPORTED_TARGET jack)
pkg_check_modules(BR_ALSA REQUIRED IMPORTED_TARGET alsa)

# Our corrections to JUCE: cmake/juce-patches, applied by cmake/JucePatches.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/JucePatches.cmake)
br_apply_juce_patches()

# br_add_juce_library(<target> PRODUCT|HOSTING)
function(br_add_juce_library target kind)
    add_library(${target} STATIC)
    if(kind STREQUAL "PRODUCT")
        set(modules juce::juce_audio_utils juce::juce_gui_extra juce::juce_dsp)
        set(switches JUCE_JACK=1 JUCE_STRICT_REFCOUNTEDPOINTER=1 JUCE_MODAL_LOOPS_PERMITTED=0)
    elseif(kind STREQUAL "HOSTING")
        set(modules juce::juce_audio_utils)
        set(switches JUCE_JACK=0 JUCE_PLUGINHOST_VST3=1 JUCE_PLUGINHOST_LV2=1 JUCE_MODAL_LOOPS_PERMITTED=1)
        # Built only when a program that hosts plug-ins is.
        set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL ON)
    else()
        message(FATAL_ERROR "br_add_juce_library: kind must be PRODUCT or HOSTING, not '${kind}'")
    endif()
    target_link_libraries(${target}
        PRIVATE ${modules}
        PUBLIC  juce::pkgconfig_JUCE_IMG_LINUX_DEPS # Debian links libpng/libjpeg only into juce_add_* targets
                juce::juce_recommended_config_flags PkgConfig::BR_ALSA)
    target_compile_definitions(${target}
        PUBLIC    JUCE_USE_FLAC=0 JUCE_USE_OGGVORBIS=0 JUCE_WEB_BROWSER=0 JUCE_USE_CURL=0
                  JUCE_ALSA=1 JUCE_DISPLAY_SPLASH_SCREEN=0 JUCE_REPORT_APP_USAGE=0 ${switches}
        INTERFACE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
    target_include_directories(${target} INTERFACE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)
endfunction()
