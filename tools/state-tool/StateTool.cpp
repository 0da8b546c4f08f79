// Makes and reads plug-in state strings for the real-host tests: the standalone keeps
// the state in its settings file and LV2 hosts in their state files, both as JUCE's
// base64 text of the same blob.
//
//   br_state_tool make [--live N] [--parked N] [--setup A|B] [--scale S] [--set id=value ...]
//   br_state_tool show BASE64
#include "plugin/BrellumProcessor.h"
#include "plugin/ParameterLayout.h"

#include <iostream>

namespace
{
void setValue (BrellumProcessor& processor, const juce::String& id, float value)
{
    if (auto* p = processor.parameters.getParameter (id))
        p->setValueNotifyingHost (p->convertTo0to1 (value));
    else
        std::cerr << "unknown parameter " << id << "\n";
}

int make (const juce::StringArray& args)
{
    BrellumProcessor processor;
    int live = 0, parked = 0, setup = 0;
    float scale = 1.0f;
    juce::StringPairArray overrides;
    for (int i = 0; i + 1 < args.size(); i += 2)
    {
        const auto& key = args[i];
        const auto& value = args[i + 1];
        if (key == "--live")
            live = value.getIntValue();
        else if (key == "--parked")
            parked = value.getIntValue();
        else if (key == "--setup")
            setup = value == "B" ? 1 : 0;
        else if (key == "--scale")
            scale = value.getFloatValue();
        else if (key == "--set")
            overrides.set (value.upToFirstOccurrenceOf ("=", false, false),
                           value.fromFirstOccurrenceOf ("=", false, false));
        else
            return 2;
    }

    processor.presetManager.loadFactory (parked);
    processor.copySetupToOther();
    processor.presetManager.loadFactory (live);
    for (const auto& id : overrides.getAllKeys())
        setValue (processor, id, overrides[id].getFloatValue());
    if (setup == 1)
        processor.selectSetup (1); // the parked preset goes live as B, the live one is parked as A
    processor.uiScale = scale;

    juce::MemoryBlock blob;
    processor.getStateInformation (blob);
    std::cout << blob.toBase64Encoding() << "\n";
    return 0;
}

int show (const juce::String& text)
{
    juce::MemoryBlock blob;
    if (! blob.fromBase64Encoding (text.trim()))
        return 2;
    BrellumProcessor processor;
    processor.setStateInformation (blob.getData(), static_cast<int> (blob.getSize()));

    const auto parked = processor.otherSetup();
    std::cout << "setup=" << (processor.activeSetup.load() == 0 ? "A" : "B") << "\n"
              << "scale=" << processor.uiScale.load() << "\n"
              << "live=" << processor.presetManager.getCurrentName() << (processor.modified ? " *" : "") << "\n"
              << "parked=" << parked.preset.name << (parked.isModified ? " *" : "") << "\n";
    for (const auto& id : br::allParameterIds())
        std::cout << id << "=" << processor.parameters.getParameter (id)->getCurrentValueAsText() << "\n";
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI gui;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args.size() >= 1 && args[0] == "make")
        return make (juce::StringArray (args.begin() + 1, args.size() - 1));
    if (args.size() == 2 && args[0] == "show")
        return show (args[1]);
    std::cerr << "usage: br_state_tool make [--live N] [--parked N] [--setup A|B] [--scale S] [--set id=v]...\n"
                 "       br_state_tool show BASE64\n";
    return 2;
}
