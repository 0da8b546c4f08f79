#pragma once
#include <juce_data_structures/juce_data_structures.h>

#include <functional>

namespace br
{
/** The standalone app's settings file: the keys the framework's window and plug-in
    holder keep ("filterState", "audioSetup", ...) plus the app's own, in the document
    the framework's PropertiesFile writes (a "PROPERTIES" root with one "VALUE" per key),
    so that a file from an older version loads here and a file written here loads there.

    The file is read by our own reader only, never by the framework's parser, which
    hangs or recurses without bound on some documents. A value held as a child element
    ("audioSetup") is kept as the text of the tree our reader checked, so what the
    framework's getXmlValue later parses is that tree and nothing else. A file our
    reader refuses is renamed beside itself, never deleted, and the store starts empty.

    Written whole through a temporary file, fsync and a rename, so a crash or a power
    cut at any moment leaves either the old document or the new one. Message thread. */
class SettingsStore : public juce::PropertySet
{
public:
    /** Loads `file`. A missing file is a first start; a refused one is renamed to
        "<name>.damaged-<date-time>" (see keptDamagedFile). */
    explicit SettingsStore (const juce::File& file);

    /** Where a file that could not be read was kept, or none. */
    juce::File keptDamagedFile() const { return damagedCopy; }

    /** Writes the file if a value changed since it was last written or read. False
        when writing failed; the values stay pending then. */
    bool saveIfNeeded();
    bool needsToBeSaved() const { return dirty; }

    /** Called on every change of a value, after it is made. */
    std::function<void()> onChange;

    /** The document text the store writes for the given values (the framework's
        PropertiesFile format, byte for byte). */
    static juce::String toDocument (const juce::StringPairArray& values);

private:
    void propertyChanged() override;
    bool load();

    juce::File file;
    juce::File damagedCopy;
    bool dirty = false;
};
} // namespace br
