# `cmake --install` is for one user's own machine: the plug-ins go where LV2 and VST3
# hosts look in the home folder, the app into ~/.local/bin with a desktop entry and an
# icon. HOME is read when installing, not when configuring, so the destinations are
# worked out in the install script itself.
install(CODE "set(BR_LV2_DIR \"$<TARGET_FILE_DIR:Quorvane_LV2>\")
set(BR_VST3_DIR \"$<TARGET_FILE_DIR:Quorvane_VST3>/../..\")
set(BR_APP \"$<TARGET_FILE:Quorvane_Standalone>\")
set(BR_SOURCE_APP_DIR \"${CMAKE_CURRENT_SOURCE_DIR}/source/app\")")
install(CODE [[
    set(home "$ENV{HOME}")
    if(NOT home)
        message(FATAL_ERROR "HOME is not set: nowhere to install")
    endif()
    get_filename_component(vst3 "${BR_VST3_DIR}" REALPATH)
    file(REMOVE_RECURSE "${home}/.lv2/Quorvane.lv2" "${home}/.vst3/Quorvane.vst3")
    file(INSTALL "${BR_LV2_DIR}/" DESTINATION "${home}/.lv2/Quorvane.lv2" USE_SOURCE_PERMISSIONS)
    file(INSTALL "${vst3}/" DESTINATION "${home}/.vst3/Quorvane.vst3" USE_SOURCE_PERMISSIONS)
    file(INSTALL "${BR_APP}" DESTINATION "${home}/.local/bin" USE_SOURCE_PERMISSIONS)
    file(INSTALL "${BR_SOURCE_APP_DIR}/quorvane.png"
         DESTINATION "${home}/.local/share/icons/hicolor/256x256/apps")
    file(READ "${BR_SOURCE_APP_DIR}/quorvane.desktop.in" entry)
    string(REPLACE "@BR_APP_PATH@" "${home}/.local/bin/Quorvane" entry "${entry}")
    file(WRITE "${home}/.local/share/applications/quorvane.desktop" "${entry}")
    message(STATUS "Installing: ${home}/.local/share/applications/quorvane.desktop")
]])
