#include "app/SettingsStore.h"

#include "presets/SafeXml.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace br
{
namespace
{
// The framework's PropertiesFile document, which older versions of the app wrote.
constexpr const char* rootTag = "PROPERTIES";
constexpr const char* valueTag = "VALUE";
constexpr const char* nameAttribute = "name";
constexpr const char* valueAttribute = "val";

bool writeAll (int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const auto written = ::write (fd, data, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= (size_t)written;
    }
    return true;
}

/** Makes the rename itself durable: without it a power cut may bring back the old
    directory entry, or on some file systems an empty file. */
void syncFolder (const juce::File& folder)
{
    const auto fd = ::open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        ::fsync (fd);
        ::close (fd);
    }
}

/** Replaces `target` with `text` in one step: readers see the old document or the new
    one, never a part. The temporary file is named as the framework's TemporaryFile
    names its own, beside the target so that the rename stays on one file system. */
bool replaceAtomically (const juce::File& target, const juce::String& text)
{
    const auto folder = target.getParentDirectory();
    if (!folder.createDirectory())
        return false;

    const auto temp = folder.getNonexistentChildFile (target.getFileNameWithoutExtension() + "_temp" +
                                                          juce::String::toHexString (juce::Random().nextInt()),
                                                      target.getFileExtension(), false);
    const auto tempPath = temp.getFullPathName();
    const auto fd = ::open (tempPath.toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;

    const auto utf8 = text.toUTF8();
    const auto ok = writeAll (fd, utf8.getAddress(), utf8.sizeInBytes() - 1) && ::fsync (fd) == 0;
    if (::close (fd) != 0 || !ok || std::rename (tempPath.toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
    {
        ::unlink (tempPath.toRawUTF8());
        return false;
    }
    syncFolder (folder);
    return true;
}

/** "<name>.damaged-<date-time>" beside `file`, a name not yet taken. */
juce::File damagedName (const juce::File& file)
{
    const auto base = file.getFileName() + ".damaged-" + juce::Time::getCurrentTime().formatted ("%Y-%m-%d-%H%M%S");
    auto candidate = file.getSiblingFile (base);
    for (int n = 2; candidate.exists() || candidate.isSymbolicLink(); ++n)
        candidate = file.getSiblingFile (base + "-" + juce::String (n));
    return candidate;
}
} // namespace

SettingsStore::SettingsStore (const juce::File& settingsFile) : file (settingsFile)
{
    if (load())
        return;

    // Never written over: the user may want what is in it. The app starts as on a
    // first run, and the window tells where the old file went.
    const auto kept = damagedName (file);
    if (file.moveFileTo (kept) || file.copyFileTo (kept))
        damagedCopy = kept;
    else
        file = juce::File(); // neither movable nor copyable: leave it alone, save nothing
    getAllProperties().clear();
}

bool SettingsStore::load()
{
    if (!file.exists() && !file.isSymbolicLink())
        return true;

    const auto document = parseXmlFileSafely (file);
    if (document == nullptr || !document->hasTagName (rootTag))
        return false;

    // As the framework reads it: exact tag names, an unnamed value skipped, a value
    // held as an element kept as that element's text on one line.
    for (auto* value : document->getChildWithTagNameIterator (valueTag))
    {
        const auto name = value->getStringAttribute (nameAttribute);
        if (name.isEmpty())
            continue;
        const auto* element = value->getFirstChildElement();
        getAllProperties().set (
            name, element != nullptr ? element->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader())
                                     : value->getStringAttribute (valueAttribute));
    }
    return true;
}

juce::String SettingsStore::toDocument (const juce::StringPairArray& values)
{
    juce::XmlElement document (rootTag);
    for (int i = 0; i < values.size(); ++i)
    {
        auto* value = document.createNewChildElement (valueTag);
        value->setAttribute (nameAttribute, values.getAllKeys()[i]);

        // A value that reads as a document is stored as an element, as the framework
        // stores it; our reader decides, so the framework's parser never sees it here.
        const auto text = values.getAllValues()[i].toUTF8();
        if (auto element = parseXmlSafely (text.getAddress(), text.sizeInBytes() - 1))
            value->addChildElement (element.release());
        else
            value->setAttribute (valueAttribute, values.getAllValues()[i]);
    }
    return document.toString();
}

bool SettingsStore::saveIfNeeded()
{
    if (!dirty)
        return true;
    if (file == juce::File() || !replaceAtomically (file, toDocument (getAllProperties())))
        return false;
    dirty = false;
    return true;
}

void SettingsStore::propertyChanged()
{
    dirty = true;
    if (onChange)
        onChange();
}
} // namespace br
