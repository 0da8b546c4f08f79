// Paints the whole editor, as a window would show it, into one PNG per interface size:
//   br_render_editor <output folder> [percent...]     (default: 100 200)
// writes editor-<percent>.png. The panel is shown mid-modulation (a preset loaded and
// edited, meters and needle moving) so that every part of it has something to show.
// Needs no display: everything is painted into an image.
#include "editor/PluginEditor.h"

#include <cstdlib>
#include <iostream>

namespace
{
/** A home of its own, so that the preset code never looks into the real one. */
struct TemporaryHome
{
    TemporaryHome()
    {
        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
    }
    ~TemporaryHome() { folder.deleteRecursively(); }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getNonexistentChildFile ("quorvane-render", "", false);
};

void setValue (BrellumProcessor& processor, const char* id, float value)
{
    auto* parameter = processor.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

/** What the audio thread would have published a moment ago. */
void publishLiveValues (BrellumProcessor& processor)
{
    auto& engine = processor.engine;
    engine.amGain.store (0.62f);
    engine.fmValue.store (0.35f);
    engine.rotAngle.store (-28.0f);
    engine.baseHz.store (2.0f);
    engine.peakL.store (0.71f);
    engine.peakR.store (0.43f);
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;
    return stream.openedOk() && png.writeImageToStream (image, stream);
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI gui;
    TemporaryHome home;

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "build");
    juce::Array<int> percents;
    for (int i = 2; i < argc; ++i)
        percents.add (juce::jlimit (50, 250, juce::String (argv[i]).getIntValue()));
    if (percents.isEmpty())
        percents = { 100, 200 };

    folder.createDirectory();
    int failures = 0;

    for (const auto percent : percents)
    {
        BrellumProcessor processor;
        processor.presetManager.loadFactory (3);
        setValue (processor, "amOn", 1.0f);
        setValue (processor, "rotOn", 1.0f);
        setValue (processor, "rotCenter", 20.0f);
        setValue (processor, "rotRange", 120.0f);
        processor.uiScale.store ((float) percent / 100.0f);

        juce::Image image;
        {
            BrellumEditor editor (processor);
            publishLiveValues (processor);
            editor.refresh();

            image = juce::Image (juce::Image::RGB, editor.getWidth(), editor.getHeight(), true, juce::SoftwareImageType());
            juce::Graphics g (image);
            editor.paintEntireComponent (g, true);
        }

        const auto file = folder.getChildFile ("editor-" + juce::String (percent) + ".png");
        if (writePng (image, file))
        {
            std::cout << file.getFullPathName() << " (" << image.getWidth() << " x " << image.getHeight() << ")\n";
        }
        else
        {
            std::cerr << "could not write " << file.getFullPathName() << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
