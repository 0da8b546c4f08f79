# JUCE compiled into static libraries of our own, each once, by br_add_juce_library:
#   PRODUCT  br_juce, for the app, the plug-in formats, the tests and the benchmarks
#   HOSTING  br_juce_host, with plug-in hosting switched on, for programs that load our
#            built binaries the way a host does (tests/hosts, bench/PeerBench.cpp). Kept
#            apart from br_juce so the shipped plug-ins carry no hosting code.
# Module switches go here, on the library that compiles the modules, and reach every
# target that links it.
find_package(JUCE CONFIG REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BR_JACK REQUIRED IMPORTED_TARGET jack)
pkg_check_modules(BR_ALSA REQUIRED IMPORTED_TARGET alsa)

# Every window (the app's, the plug-in editors', the dialogs') goes through JUCE's X11
# window peer; it, the X11 window system that makes its images, the vertical-blank
# attachment that wakes its frame timer, and the desktop and tooltip window that poll the
# pointer are compiled from corrected copies (see the patch script for why). The
# module's own unity file is left out of this folder's targets; each JUCE library here
# compiles the copy that includes the corrected peer instead.
get_target_property(br_gui_basics_dir juce::juce_gui_basics INTERFACE_JUCE_MODULE_PATH)
set(br_gui_basics_dir "${br_gui_basics_dir}/juce_gui_basics")
set(br_gui_basics_patched "${CMAKE_CURRENT_BINARY_DIR}/juce_patched/juce_gui_basics")
execute_process(
    COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/cmake/patch_gui_basics.py"
            "${br_gui_basics_dir}" "${br_gui_basics_patched}"
    COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/cmake/juce_patch.py" "${CMAKE_CURRENT_SOURCE_DIR}/cmake/patch_gui_basics.py"
    "${br_gui_basics_dir}/juce_gui_basics.cpp" "${br_gui_basics_dir}/native/juce_linux_Windowing.cpp"
    "${br_gui_basics_dir}/windows/juce_VBlankAttachement.cpp" "${br_gui_basics_dir}/desktop/juce_Desktop.cpp"
    "${br_gui_basics_dir}/windows/juce_TooltipWindow.cpp" "${br_gui_basics_dir}/native/x11/juce_linux_XWindowSystem.cpp")
set_source_files_properties("${br_gui_basics_dir}/juce_gui_basics.cpp" PROPERTIES HEADER_FILE_ONLY ON)
set(br_gui_basics_source "${br_gui_basics_patched}/juce_gui_basics.cpp")

# Every juce::Timer ticks from a corrected copy of JUCE's timer, which the message thread's
# run loop wakes instead of a thread of its own (see the patch script for why); compiled
# in place of the module's unity file, as above.
get_target_property(br_events_dir juce::juce_events INTERFACE_JUCE_MODULE_PATH)
set(br_events_dir "${br_events_dir}/juce_events")
set(br_events_patched "${CMAKE_CURRENT_BINARY_DIR}/juce_patched/juce_events")
execute_process(
    COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/cmake/patch_juce_timer.py"
            "${br_events_dir}" "${br_events_patched}"
    COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/cmake/juce_patch.py" "${CMAKE_CURRENT_SOURCE_DIR}/cmake/patch_juce_timer.py"
    "${br_events_dir}/juce_events.cpp" "${br_events_dir}/timers/juce_Timer.cpp")
set_source_files_properties("${br_events_dir}/juce_events.cpp" PROPERTIES HEADER_FILE_ONLY ON)
set(br_events_source "${br_events_patched}/juce_events.cpp")

# br_add_juce_library(<target> PRODUCT|HOSTING)
function(br_add_juce_library target kind)
    add_library(${target} STATIC "${br_gui_basics_source}" "${br_events_source}")
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
