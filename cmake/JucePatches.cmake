# Our corrections to Debian's JUCE 7.0.5, applied at configure time.
#
# Each folder cmake/juce-patches/<module>/ holds unified diffs against that JUCE module,
# NNNN-<what-it-fixes>.patch, applied in name order with `patch -p1 --fuzz=0`: a JUCE
# whose text differs around any change stops the configure, naming the patch. The
# header of each patch says the fault, how a user meets it, the upstream report and when
# the patch can go.
#
# A corrected module is a whole copy of JUCE's module in the build tree, with the
# patches applied: build/<preset>/juce/patched/<module>. That copy is what the build
# compiles, in one way: the module's sources (its unity files, and for
# juce_audio_plugin_client each format's wrapper) are taken from the copy, and the
# copy's folder comes first on the include path of every JUCE module, so a corrected
# header is the one found whichever module includes it. Beside it,
# build/<preset>/juce/original/<module> is JUCE's module as installed, for `diff -ru`.
# Both have the line endings of C and C++ files made LF, which is how the patches are
# written (JUCE ships CRLF).
#
# Files are rewritten only when their text changes, so a configure that changes nothing
# rebuilds nothing.

find_program(BR_PATCH_PROGRAM patch REQUIRED)

set(br_juce_patches_dir "${CMAKE_CURRENT_SOURCE_DIR}/cmake/juce-patches")
set(br_juce_tree "${CMAKE_CURRENT_BINARY_DIR}/juce")

# Copies every file of folder `from` into folder `to` whose text differs there, and
# removes from `to` the files `from` does not have.
function(_br_sync_tree from to)
    file(GLOB_RECURSE wanted RELATIVE "${from}" "${from}/*")
    set(folders)
    foreach(name IN LISTS wanted)
        get_filename_component(folder "${to}/${name}" DIRECTORY)
        list(APPEND folders "${folder}")
    endforeach()
    list(REMOVE_DUPLICATES folders)
    file(MAKE_DIRECTORY ${folders})
    foreach(name IN LISTS wanted)
        file(COPY_FILE "${from}/${name}" "${to}/${name}" ONLY_IF_DIFFERENT)
    endforeach()
    if(EXISTS "${to}")
        file(GLOB_RECURSE present RELATIVE "${to}" "${to}/*")
        list(REMOVE_ITEM present ${wanted})
        foreach(name IN LISTS present)
            file(REMOVE "${to}/${name}")
        endforeach()
    endif()
endfunction()

# Writes the corrected copy of JUCE's module `module` (found under `juce_modules`) and
# points the module's targets at it.
function(_br_patch_juce_module module juce_modules)
    set(source "${juce_modules}/${module}")
    if(NOT IS_DIRECTORY "${source}")
        message(FATAL_ERROR "cmake/juce-patches/${module}: JUCE has no module ${module} in ${juce_modules}")
    endif()
    set(staging "${br_juce_tree}/staging/${module}")
    file(REMOVE_RECURSE "${staging}")
    file(MAKE_DIRECTORY "${br_juce_tree}/staging")
    file(COPY "${source}" DESTINATION "${br_juce_tree}/staging")
    execute_process(
        COMMAND find "${staging}" -type f ( -name *.h -o -name *.hpp -o -name *.c -o -name *.cpp -o -name *.mm )
                -exec sed -i "s/\\r$//" {} +
        COMMAND_ERROR_IS_FATAL ANY)
    _br_sync_tree("${staging}" "${br_juce_tree}/original/${module}")

    file(GLOB patches CONFIGURE_DEPENDS "${br_juce_patches_dir}/${module}/*.patch")
    list(SORT patches)
    set(touched)
    foreach(patch IN LISTS patches)
        get_filename_component(patch_name "${patch}" NAME)
        execute_process(
            COMMAND "${BR_PATCH_PROGRAM}" -p1 --fuzz=0 --forward --batch --no-backup-if-mismatch
                    -d "${staging}" -i "${patch}"
            RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(failed)
            message(FATAL_ERROR "cmake/juce-patches/${module}/${patch_name} does not apply to ${source}: "
                                "that JUCE is not the 7.0.5 these corrections were written for.\n${output}")
        endif()
        file(STRINGS "${patch}" targets REGEX "^\\+\\+\\+ b/")
        foreach(target IN LISTS targets)
            string(REGEX REPLACE "^\\+\\+\\+ b/([^\t]*).*$" "\\1" target "${target}")
            list(APPEND touched "${target}")
            list(APPEND "patches_of_${target}" "cmake/juce-patches/${module}/${patch_name}")
        endforeach()
    endforeach()

    # Whoever follows a compiler error here learns at once where the change belongs.
    list(REMOVE_DUPLICATES touched)
    foreach(target IN LISTS touched)
        list(JOIN "patches_of_${target}" ", " names)
        file(READ "${staging}/${target}" text)
        file(WRITE "${staging}/${target}"
             "// Generated at configure time from JUCE's ${module}/${target} by ${names}: edit those, not this file.\n${text}")
    endforeach()

    set(patched "${br_juce_tree}/patched/${module}")
    _br_sync_tree("${staging}" "${patched}")
    file(REMOVE_RECURSE "${br_juce_tree}/staging")

    # Every target that hands out a source of the module (the module itself, and for the
    # plug-in client each format's wrapper and the utilities) hands out the copy's.
    string(LENGTH "${source}/" prefix_length)
    get_property(targets DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(sources ${target} INTERFACE_SOURCES)
        if(NOT sources)
            continue()
        endif()
        set(corrected)
        foreach(file IN LISTS sources)
            string(FIND "${file}" "${source}/" at)
            if(at EQUAL 0)
                string(SUBSTRING "${file}" ${prefix_length} -1 name)
                set(file "${patched}/${name}")
            endif()
            list(APPEND corrected "${file}")
        endforeach()
        set_property(TARGET ${target} PROPERTY INTERFACE_SOURCES "${corrected}")
    endforeach()

    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patches})
    foreach(target IN LISTS touched)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}/${target}")
    endforeach()
endfunction()

# br_apply_juce_patches(): corrects every module that has a folder of patches.
function(br_apply_juce_patches)
    get_target_property(juce_modules juce::juce_core INTERFACE_JUCE_MODULE_PATH)
    file(GLOB modules RELATIVE "${br_juce_patches_dir}" CONFIGURE_DEPENDS "${br_juce_patches_dir}/*")
    foreach(module IN LISTS modules)
        if(IS_DIRECTORY "${br_juce_patches_dir}/${module}")
            _br_patch_juce_module(${module} "${juce_modules}")
        endif()
    endforeach()

    # Every module looks in the corrected copies first.
    get_property(names GLOBAL PROPERTY _juce_module_names)
    foreach(name IN LISTS names)
        get_target_property(directories ${name} INTERFACE_INCLUDE_DIRECTORIES)
        list(REMOVE_ITEM directories "${br_juce_tree}/patched")
        set_property(TARGET ${name} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${br_juce_tree}/patched" ${directories})
    endforeach()
endfunction()
