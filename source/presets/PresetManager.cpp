#include "presets/PresetManager.h"
#include "plugin/ParameterLayout.h"
#include "presets/SafeXml.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace br
{
namespace
{
const char* const presetTag = "BrellumPreset";
const char* const presetExtension = ".brlm";
const char* const productVersion = BR_VERSION_STRING;

const juce::Identifier idProperty ("id");
const juce::Identifier valueProperty ("value");

juce::File musicFolder() { return juce::File::getSpecialLocation (juce::File::userMusicDirectory); }

juce::Array<juce::File> presetFilesIn (const juce::File& folder)
{
    auto files = folder.findChildFiles (juce::File::findFiles, false, juce::String ("*") + presetExtension);

    // Directory order is arbitrary; sorting first makes the winner among names that
    // clash ignoring case the same in every listing.
    std::sort (files.begin(), files.end(),
               [] (const juce::File& a, const juce::File& b) { return a.getFullPathName() < b.getFullPathName(); });
    return files;
}

/** Writes beside the target and renames over it, so that the target is either the old
    file or the complete new one, whatever fails. The temporary name is hidden, short
    (a long preset name must not push it past the file system's limit) and does not
    end in the preset extension: a leftover is never listed as a preset. */
bool writeReplacing (const juce::File& target, const juce::XmlElement& document)
{
    juce::MemoryOutputStream text;
    document.writeTo (text, juce::XmlElement::TextFormat());

    const auto temporary = target.getParentDirectory().getNonexistentChildFile (
        ".quorvane-" + juce::String::toHexString (juce::Random().nextInt64()), ".tmp", false);

    {
        juce::FileOutputStream out (temporary);
        const auto written = out.openedOk() && out.write (text.getData(), text.getDataSize());
        out.flush(); // fsync on POSIX, before the rename makes the file visible

        if (! written || out.getStatus().failed())
        {
            temporary.deleteFile();
            return false;
        }
    }

    // The stream does not report a short write (a full disk, a size limit), so the
    // length on disk is what decides. The rename is the plain system call: the
    // framework's move falls back to deleting the target and copying when a rename
    // fails, which is exactly the window in which a preset could be lost.
    std::error_code error;
    if (temporary.getSize() == juce::int64 (text.getDataSize()))
        std::filesystem::rename (temporary.getFullPathName().toStdString(), target.getFullPathName().toStdString(),
                                 error);
    else
        error = std::make_error_code (std::errc::io_error);

    if (error)
    {
        temporary.deleteFile();
        return false;
    }

    return true;
}

bool samePath (const juce::File& a, const juce::File& b)
{
    // Exact and case-sensitive: "Bass.brlm" and "bass.brlm" are two presets on Linux.
    return a.getFullPathName() == b.getFullPathName();
}
} // namespace

PresetManager::PresetManager (juce::AudioProcessorValueTreeState& parameterTree) : parameters (parameterTree)
{
    identity.name = factoryPresets().front().name;
    identity.index = 0;

    for (const auto& child : parameters.state)
    {
        const auto id = child.getProperty (idProperty).toString();
        if (auto* value = parameters.getRawParameterValue (id))
            slots.push_back ({ id, value });
    }

    stateType = parameters.state.getType();
    if (parameters.state.getNumChildren() > 0)
        paramType = parameters.state.getChild (0).getType();
}

//==============================================================================
juce::File PresetManager::userDirectory()
{
    const auto base = musicFolder();
    const auto target = base.getChildFile ("Quorvane");

    // A dangling link counts as taken too: renaming onto it would first delete it.
    if (! target.exists() && ! target.isSymbolicLink())
    {
        for (auto* legacyName : { "Vostle", "Brellum" })
        {
            const auto legacy = base.getChildFile (legacyName);

            if (legacy.isDirectory())
            {
                legacy.moveFileTo (target);
                break;
            }
        }
    }

    return target.getChildFile ("Presets");
}

juce::Array<juce::File> PresetManager::legacyDirectories()
{
    juce::Array<juce::File> folders;
    const auto base = musicFolder();

    for (auto* legacyName : { "Vostle", "Brellum" })
    {
        const auto folder = base.getChildFile (legacyName).getChildFile ("Presets");
        if (folder.isDirectory())
            folders.add (folder);
    }

    return folders;
}

juce::Array<juce::File> PresetManager::getUserPresets() const
{
    auto files = presetFilesIn (userDirectory());

    juce::StringArray names;
    for (const auto& file : files)
        names.add (file.getFileNameWithoutExtension());

    for (const auto& folder : legacyDirectories())
    {
        for (const auto& file : presetFilesIn (folder))
        {
            const auto name = file.getFileNameWithoutExtension();

            if (! names.contains (name, true))
            {
                names.add (name);
                files.add (file);
            }
        }
    }

    std::sort (files.begin(), files.end(),
               [] (const juce::File& a, const juce::File& b)
               {
                   const auto order = a.getFileNameWithoutExtension().compareIgnoreCase (b.getFileNameWithoutExtension());
                   return order != 0 ? order < 0 : a.getFullPathName() < b.getFullPathName();
               });
    return files;
}

juce::String PresetManager::getPresetName (int index) const
{
    const auto& factory = factoryPresets();

    if (index < numFactoryPresets())
        return factory[size_t (std::max (index, 0))].name;

    const auto list = getUserPresets();
    const auto position = index - numFactoryPresets();
    return juce::isPositiveAndBelow (position, list.size()) ? list[position].getFileNameWithoutExtension()
                                                              : juce::String();
}

//==============================================================================
void PresetManager::setParameter (juce::RangedAudioParameter& parameter, double value)
{
    const auto& range = parameter.getNormalisableRange();

    // Limited in double precision before narrowing: a finite value past float's range
    // would otherwise arrive as infinity.
    const auto limited = juce::jlimit (double (range.start), double (range.end), value);
    parameter.setValueNotifyingHost (parameter.convertTo0to1 (float (limited)));
}

void PresetManager::applyValues (const FactoryPreset& preset)
{
    for (const auto& id : allParameterIds())
    {
        auto* parameter = parameters.getParameter (id);
        if (parameter == nullptr)
            continue;

        bool named = false;
        double value = 0.0;

        for (const auto& [presetId, presetValue] : preset.values)
        {
            if (presetId == id && std::isfinite (presetValue))
            {
                named = true;
                value = presetValue;
            }
        }

        if (named)
            setParameter (*parameter, value);
        else
            parameter->setValueNotifyingHost (parameter->getDefaultValue());
    }
}

std::optional<double> PresetManager::valueIn (const juce::ValueTree& tree, const juce::String& id)
{
    std::optional<double> value;

    for (const auto& child : tree)
    {
        if (child.getProperty (idProperty).toString() != id)
            continue;

        // A missing "value" reads as 0; "nan", "inf" or "1e999" as if the child
        // were not there, so a damaged document can never put NaN into the engine.
        const auto& property = child.getProperty (valueProperty);
        const auto number = property.isString() ? readNumber (property.toString()) : double (property);

        if (std::isfinite (number))
            value = number;
    }

    return value;
}

void PresetManager::applyState (const juce::ValueTree& tree)
{
    for (const auto& id : allParameterIds())
    {
        auto* parameter = parameters.getParameter (id);
        if (parameter == nullptr)
            continue;

        if (const auto value = valueIn (tree, id))
            setParameter (*parameter, *value);
        else
            parameter->setValueNotifyingHost (parameter->getDefaultValue());
    }
}

juce::ValueTree PresetManager::captureState() const
{
    juce::ValueTree tree (stateType);

    for (const auto& slot : slots)
    {
        juce::ValueTree child (paramType);
        child.setProperty (idProperty, slot.id, nullptr);
        child.setProperty (valueProperty, double (slot.value->load()), nullptr);
        tree.appendChild (child, nullptr);
    }

    return tree;
}

juce::ValueTree PresetManager::normaliseState (const juce::ValueTree& tree) const
{
    juce::ValueTree normalised (stateType);

    for (const auto& slot : slots)
    {
        if (const auto value = valueIn (tree, slot.id))
        {
            juce::ValueTree child (paramType);
            child.setProperty (idProperty, slot.id, nullptr);
            child.setProperty (valueProperty, *value, nullptr);
            normalised.appendChild (child, nullptr);
        }
    }

    return normalised;
}

// Written into a state, a character takes at most ten bytes ("&#1114111;"), so a limited
// name always fits the attribute limit of the state reader.
static_assert (PresetManager::maxNameLength * 10 <= int (XmlLimits().maxAttributeBytes));

juce::String PresetManager::limitName (const juce::String& name)
{
    return name.length() > maxNameLength ? name.substring (0, maxNameLength) : name;
}

//==============================================================================
void PresetManager::finishLoad (const PresetIdentity& loaded)
{
    setCurrent (loaded);

    if (onChange != nullptr)
        onChange();
}

int PresetManager::indexInList (const juce::File& file) const
{
    const auto list = getUserPresets();

    for (int i = 0; i < list.size(); ++i)
        if (samePath (list[i], file))
            return numFactoryPresets() + i;

    return -1;
}

void PresetManager::loadFactory (int index)
{
    if (! juce::isPositiveAndBelow (index, numFactoryPresets()))
        return;

    const auto& preset = factoryPresets()[size_t (index)];
    applyValues (preset);
    finishLoad ({ preset.name, index, {} });
}

bool PresetManager::loadFile (const juce::File& file)
{
    const auto document = parseXmlFileSafely (file);

    if (document == nullptr || ! document->getTagName().equalsIgnoreCase (presetTag))
        return false;

    const auto* block = firstChildNamed (*document, stateType.toString());
    if (block == nullptr)
        return false;

    applyState (juce::ValueTree::fromXml (*block));

    const auto name = document->hasAttribute ("name") ? document->getStringAttribute ("name")
                                                      : file.getFileNameWithoutExtension();
    finishLoad ({ name, indexInList (file), file });
    return true;
}

bool PresetManager::saveToFile (const juce::File& file)
{
    if (file == juce::File())
        return false;

    juce::XmlElement document (presetTag);
    document.setAttribute ("name", file.getFileNameWithoutExtension());
    document.setAttribute ("version", productVersion);
    document.addChildElement (captureState().createXml().release());

    file.getParentDirectory().createDirectory();

    if (! writeReplacing (file, document))
        return false;

    finishLoad ({ file.getFileNameWithoutExtension(), indexInList (file), file });
    return true;
}

bool PresetManager::deleteUser (const juce::File& file)
{
    bool inPresetFolder = file.isAChildOf (userDirectory());

    for (const auto& folder : legacyDirectories())
        inPresetFolder = inPresetFolder || file.isAChildOf (folder);

    // A missing file is not "deleted": the caller would load the defaults for nothing.
    if (! inPresetFolder || ! file.existsAsFile() || ! file.deleteFile())
        return false;

    const juce::ScopedLock sl (lock);

    if (samePath (file, identity.file))
    {
        identity.index = -1;
        identity.file = juce::File();
    }
    else if (file.getFileNameWithoutExtension() == identity.name)
    {
        identity.index = -1;
    }

    return true;
}

void PresetManager::step (int offset)
{
    const auto list = getUserPresets();
    const auto total = juce::int64 (numFactoryPresets()) + list.size();

    if (total == 0)
        return;

    // 64-bit: a restored state may carry any index, and index + offset must not overflow.
    const auto index = getCurrentIndex();
    auto next = index < 0 ? juce::int64 (0) : juce::int64 (index) + offset;
    next = ((next % total) + total) % total;

    if (next < numFactoryPresets())
        loadFactory (int (next));
    else
        loadFile (list[int (next - numFactoryPresets())]);
}

//==============================================================================
juce::File PresetManager::currentUserFile() const
{
    const auto now = current();
    const auto position = juce::int64 (now.index) - numFactoryPresets();

    if (position < 0)
        return {};

    const auto list = getUserPresets();

    if (position >= list.size())
        return {};

    const auto& listed = list[int (position)];

    if (now.file != juce::File())
        return samePath (listed, now.file) ? now.file : juce::File();

    return listed.getFileNameWithoutExtension() == now.name ? listed : juce::File();
}

PresetManager::QuickSave PresetManager::quickSave()
{
    const auto target = currentUserFile();

    if (target == juce::File())
        return QuickSave::needsName;

    return saveToFile (target) ? QuickSave::saved : QuickSave::failed;
}

bool PresetManager::deleteCurrent()
{
    const auto target = currentUserFile();
    return target != juce::File() && deleteUser (target);
}

//==============================================================================
PresetIdentity PresetManager::current() const
{
    const juce::ScopedLock sl (lock);
    return identity;
}

void PresetManager::setCurrent (const PresetIdentity& newIdentity)
{
    auto limited = newIdentity;
    limited.name = limitName (newIdentity.name);

    const juce::ScopedLock sl (lock);
    identity = std::move (limited);
}
} // namespace br
