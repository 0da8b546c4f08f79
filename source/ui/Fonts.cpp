#include "ui/Fonts.h"

namespace br::ui
{
namespace
{
const char* const designFamily = "Helvetica Neue";
const char* const linuxSubstitute = "TeX Gyre Heros";

const char* styleName (bool bold, bool italic)
{
    if (bold)
        return italic ? "Bold Italic" : "Bold";
    return italic ? "Italic" : "Regular";
}

#if JUCE_LINUX || JUCE_BSD
// Debian's fonts-texgyre installs into the TeX tree. Fontconfig is told about it, but
// JUCE only scans the <dir> entries of fonts.conf, so without this the substitute
// would be invisible to JUCE and it would fall back to a face with no glyphs at all.
juce::Array<juce::File> texGyreFolders()
{
    juce::StringArray dataDirs;
    dataDirs.addTokens (juce::SystemStats::getEnvironmentVariable ("XDG_DATA_DIRS", {}), ":", {});
    dataDirs.add ("/usr/local/share");
    dataDirs.add ("/usr/share");
    dataDirs.removeEmptyStrings();
    dataDirs.removeDuplicates (false);

    juce::Array<juce::File> folders;
    for (const auto& dir : dataDirs)
    {
        const auto folder = juce::File (dir).getChildFile ("texmf/fonts/opentype/public/tex-gyre");
        if (folder.isDirectory())
            folders.add (folder);
    }
    return folders;
}
#endif

juce::String chooseFamily()
{
#if JUCE_LINUX || JUCE_BSD
    if (juce::Font::findAllTypefaceNames().contains (designFamily))
        return designFamily;

    if (! juce::Font::findAllTypefaceNames().contains (linuxSubstitute))
        for (const auto& folder : texGyreFolders())
            juce::Typeface::scanFolderForFonts (folder);

    if (juce::Font::findAllTypefaceNames().contains (linuxSubstitute))
        return linuxSubstitute;
#endif
    // Elsewhere the platform substitutes a face of its own choosing.
    return designFamily;
}
} // namespace

const juce::String& fontFamily()
{
    static const juce::String family = chooseFamily();
    return family;
}

juce::Font font (float size, bool bold, bool italic)
{
    juce::Font f (fontFamily(), size, juce::Font::plain);
    f.setTypefaceStyle (styleName (bold, italic));
    return f;
}
} // namespace br::ui
