# `cmake --install` is for one user's own machine: the plug-ins go where LV2 and VST3
# hosts look in the home folder, the app into ~/.local/bin with a desktop entry.
# HOME is read when installing, not when configuring, hence the escaped variables.
install(DIRECTORY "$<TARGET_FILE_DIR:Quorvane_LV2>/" DESTINATION "\$ENV{HOME}/.lv2/Quorvane.lv2"
        USE_SOURCE_PERMISSIONS)
install(DIRECTORY "$<TARGET_FILE_DIR:Quorvane_VST3>/../../" DESTINATION "\$ENV{HOME}/.vst3/Quorvane.vst3"
        USE_SOURCE_PERMISSIONS)
install(PROGRAMS "$<TARGET_FILE:Quorvane_Standalone>" DESTINATION "\$ENV{HOME}/.local/bin")
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/source/app/quorvane.png"
        DESTINATION "\$ENV{HOME}/.local/share/icons/hicolor/256x256/apps")
install(CODE [[
    file(READ "${CMAKE_CURRENT_LIST_DIR}/quorvane.desktop.in" entry)
    string(REPLACE "@BR_APP_PATH@" "$ENV{HOME}/.local/bin/Quorvane" entry "${entry}")
    file(WRITE "$ENV{HOME}/.local/share/applications/quorvane.desktop" "${entry}")
    message(STATUS "Installing: $ENV{HOME}/.local/share/applications/quorvane.desktop")
]])
configure_file(source/app/quorvane.desktop.in "${CMAKE_CURRENT_BINARY_DIR}/quorvane.desktop.in" COPYONLY)
