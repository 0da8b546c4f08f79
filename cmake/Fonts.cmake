# The editor's typeface, built into every binary: the plug-ins run inside other hosts on
# other machines, whose fonts we cannot know. Liberation Sans has Helvetica's widths and
# an ascent plus descent of 1.12 em, so a 15-pixel caption gets a 13.4-pixel em and the
# dot of its i sits clear of the stem. (TeX Gyre Heros declares 1.43 em: its letters come
# out a fifth smaller and the dot touches the stem.) The faces are read from Debian's
# fonts-liberation2, under the SIL Open Font License 1.1, which allows embedding them in
# software; the repository holds no font file.
set(BR_FONT_PACKAGE fonts-liberation2)
set(BR_FONT_DIR /usr/share/fonts/truetype/liberation2 CACHE PATH "Folder holding the Liberation Sans faces")
set(br_font_files)
foreach(style Regular Bold Italic BoldItalic)
    set(file "${BR_FONT_DIR}/LiberationSans-${style}.ttf")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} is missing: the editor's typeface is built into the binaries from "
                            "Debian's ${BR_FONT_PACKAGE}. Install it (scripts/setup.sh does).")
    endif()
    list(APPEND br_font_files "${file}")
endforeach()

# All four styles: the font factory offers them all, and a style left out would be
# looked up among the machine's fonts again.
juce_add_binary_data(br_fonts NAMESPACE BrFontData HEADER_NAME BrFontData.h SOURCES ${br_font_files})
set_target_properties(br_fonts PROPERTIES POSITION_INDEPENDENT_CODE ON)
