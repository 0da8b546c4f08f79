// Paints every widget of the kit in its main states onto one sheet and writes it as a
// PNG: br_gallery [output.png] [scale]. Needs no display: everything is painted into an
// image, the same way the widget tests check their pixels.
#include "ParameterHost.h"
#include "ui/BRLookAndFeel.h"
#include "ui/BarButton.h"
#include "ui/ChoiceBox.h"
#include "ui/DepthFader.h"
#include "ui/Fonts.h"
#include "ui/LedButton.h"
#include "ui/LevelMeter.h"
#include "ui/ModMeterBar.h"
#include "ui/Palette.h"
#include "ui/RotaryKnob.h"
#include "ui/RotationSphere.h"
#include "ui/ValueBox.h"

#include <iostream>

namespace
{
namespace colours = br::ui::colours;
using Icon = br::ui::BarButton::Icon;

/** A fixed drawing that is not a widget of its own: box bodies, tooltips, swatches. */
class Drawing : public juce::Component
{
public:
    explicit Drawing (std::function<void (juce::Graphics&, juce::Rectangle<int>)> drawFunction)
        : draw (std::move (drawFunction))
    {
    }
    void paint (juce::Graphics& g) override { draw (g, getLocalBounds()); }

private:
    std::function<void (juce::Graphics&, juce::Rectangle<int>)> draw;
};

/** The sheet: rows of widgets with a caption under each, on the editor's background. */
class Sheet : public juce::Component
{
public:
    Sheet()
    {
        setLookAndFeel (&lookAndFeel);
        build();
        setSize (width, y + margin);
    }

    ~Sheet() override
    {
        attachments.clear();
        removeAllChildren();
        setLookAndFeel (nullptr);
    }

    void paint (juce::Graphics& g) override
    {
        g.setGradientFill (juce::ColourGradient (colours::bgTop, 0.0f, 0.0f, colours::bgBottom, 0.0f,
                                                 (float) getHeight(), false));
        g.fillAll();
        for (const auto& t : titles)
        {
            g.setColour (colours::bracket);
            g.setFont (br::ui::font (15.0f, true, false));
            g.drawText (t.text, margin, t.y, width - 2 * margin, 20, juce::Justification::centredLeft);
            g.fillRect (margin, t.y + 22, width - 2 * margin, 1);
        }
        g.setFont (br::ui::font (11.0f, false, false));
        for (const auto& c : captions)
        {
            g.setColour (colours::textDim);
            g.drawFittedText (c.text, c.area, juce::Justification::centredTop, 2, 1.0f);
        }
    }

private:
    struct Caption
    {
        juce::String text;
        juce::Rectangle<int> area;
    };
    struct Title
    {
        juce::String text;
        int y;
    };

    static constexpr int width = 1180;
    static constexpr int margin = 24;
    static constexpr int gap = 22;

    void row (const juce::String& title)
    {
        finishRow();
        titles.push_back ({ title, y });
        y += 34;
    }

    void finishRow()
    {
        if (rowHeight > 0)
            y += rowHeight + 34 + 18;
        x = margin;
        rowHeight = 0;
    }

    template <typename Widget>
    Widget& place (std::unique_ptr<Widget> widget, int w, int h, const juce::String& caption)
    {
        if (x + w > width - margin)
        {
            y += rowHeight + 34;
            x = margin;
            rowHeight = 0;
        }
        auto& ref = *widget;
        ref.setBounds (x, y, w, h);
        addAndMakeVisible (ref);
        captions.push_back ({ caption, { x - gap / 2, y + h + 4, w + gap, 28 } });
        x += juce::jmax (w, 70) + gap;
        rowHeight = juce::jmax (rowHeight, h);
        owned.push_back (std::move (widget));
        return ref;
    }

    br::test::ParameterHost& host()
    {
        hosts.push_back (std::make_unique<br::test::ParameterHost>());
        return *hosts.back();
    }

    void attach (juce::Slider& slider, br::test::ParameterHost& h, const char* id)
    {
        attachments.push_back (std::make_unique<juce::AudioProcessorValueTreeState::SliderAttachment> (h.state, id, slider));
    }

    static juce::MouseEvent click (juce::Component& c)
    {
        const auto now = juce::Time::getCurrentTime();
        const auto centre = c.getLocalBounds().getCentre().toFloat();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), centre,
                                 juce::ModifierKeys::leftButtonModifier, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c, now,
                                 centre, now, 2, false);
    }

    void build()
    {
        buildPalette();
        buildBoxes();
        buildChoices();
        buildSpheres();
        buildMeters();
        buildButtons();
        buildKnobs();
        buildTooltips();
        finishRow();
    }

    void buildPalette()
    {
        row ("Palette and fonts (" + br::ui::fontFamily() + ")");
        const std::pair<const char*, juce::Colour> swatches[] {
            { "bgTop", colours::bgTop },         { "bgBottom", colours::bgBottom }, { "topBar", colours::topBar },
            { "topField", colours::topField },   { "bracket", colours::bracket },   { "text", colours::text },
            { "textDim", colours::textDim },     { "box", colours::box },           { "boxHover", colours::boxHover },
            { "boxText", colours::boxText },     { "track", colours::track },       { "accent", colours::accent },
            { "accentBright", colours::accentBright }, { "accentDark", colours::accentDark }, { "amber", colours::amber },
        };
        for (const auto& [name, colour] : swatches)
        {
            const auto c = colour;
            place (std::make_unique<Drawing> ([c] (juce::Graphics& g, juce::Rectangle<int> r)
                                              {
                                                  g.setColour (c);
                                                  g.fillRect (r);
                                                  g.setColour (juce::Colours::black);
                                                  g.drawRect (r);
                                              }),
                   46, 28, name);
        }

        struct Style
        {
            const char* name;
            bool bold, italic;
        };
        for (const auto& s : { Style { "Regular", false, false }, Style { "Bold", true, false },
                               Style { "Italic", false, true }, Style { "Bold Italic", true, true } })
        {
            const auto st = s;
            place (std::make_unique<Drawing> ([st] (juce::Graphics& g, juce::Rectangle<int> r)
                                              {
                                                  g.setColour (colours::text);
                                                  g.setFont (br::ui::font (15.0f, st.bold, st.italic));
                                                  g.drawText ("Quorvane 0.20 Hz x1.00", r, juce::Justification::centredLeft);
                                              }),
                   200, 22, juce::String ("font(15) ") + st.name);
        }
    }

    void buildBoxes()
    {
        row ("Value boxes");
        auto& hz = place (std::make_unique<br::ui::ValueBox>(), 76, 27, "Hz, 0.20");
        auto& rate = host();
        attach (hz, rate, "rate");
        hz.textFromValue = [] (double v) { return juce::String (v, 2); };

        auto& bpm = place (std::make_unique<br::ui::ValueBox>(), 76, 27, "BPM, 12.00");
        attach (bpm, rate, "rate");
        bpm.textFromValue = [] (double v) { return juce::String (v * 60.0, 2); };

        auto& autoHz = place (std::make_unique<br::ui::ValueBox>(), 76, 27, "disabled, display text");
        attach (autoHz, rate, "rate");
        autoHz.displayText = [] { return juce::String ("2.00"); };
        autoHz.setEnabled (false);

        auto& gain = host();
        gain.setValue ("gain", -3.5f);
        auto& gainBox = place (std::make_unique<br::ui::ValueBox>(), 95, 29, "gain, parameter text");
        attach (gainBox, gain, "gain");

        auto& mix = place (std::make_unique<br::ui::ValueBox>(), 95, 28, "typed entry open");
        mix.setRange (0.0, 100.0);
        mix.setValue (100.0);
        mix.textFromValue = [] (double v) { return juce::String (juce::roundToInt (v)); };
        mix.mouseDoubleClick (click (mix));

        struct Body
        {
            const char* what;
            bool highlighted, enabled;
        };
        for (const auto& b : { Body { "body at rest", false, true }, Body { "body under mouse", true, true },
                               Body { "body disabled", false, false } })
        {
            const auto body = b;
            place (std::make_unique<Drawing> ([body] (juce::Graphics& g, juce::Rectangle<int> r)
                                              { br::ui::drawValueBox (g, r.toFloat(), body.highlighted, body.enabled); }),
                   76, 27, body.what);
        }

        auto& narrow = place (std::make_unique<br::ui::ValueBox>(), 8, 27, "8 wide: no sheen");
        narrow.setRange (0.0, 1.0);
        narrow.textFromValue = [] (double) { return juce::String(); };
    }

    void buildChoices()
    {
        using Mode = br::ui::ChoiceBox::Mode;
        row ("Choice boxes");
        auto& syncHost = host();
        place (std::make_unique<br::ui::ChoiceBox> (syncHost.parameter ("sync"), Mode::step, &syncHost.undoManager), 96,
               28, "sync");

        auto& xHost = host();
        auto& xBox = place (std::make_unique<br::ui::ChoiceBox> (xHost.parameter ("xFactor"), Mode::step, &xHost.undoManager),
                            96, 29, "x Factor, arrow");
        xBox.showArrow = true;

        auto& phaseHost = host();
        phaseHost.setValue ("amPhase", 1.0f);
        place (std::make_unique<br::ui::ChoiceBox> (phaseHost.parameter ("amPhase"), Mode::step, &phaseHost.undoManager),
               55, 27, "phase 90");

        auto& offHost = host();
        auto& offBox = place (std::make_unique<br::ui::ChoiceBox> (offHost.parameter ("sync"), Mode::step, &offHost.undoManager),
                              96, 28, "disabled");
        offBox.setEnabled (false);

        auto& boolHost = host();
        place (std::make_unique<br::ui::ChoiceBox> (boolHost.parameter ("amOn"), Mode::step, &boolHost.undoManager), 55,
               27, "switch: On");

        auto& narrowHost = host();
        auto& narrowBox = place (std::make_unique<br::ui::ChoiceBox> (narrowHost.parameter ("xFactor"), Mode::step,
                                                                       &narrowHost.undoManager),
                                 20, 29, "20 wide, arrow");
        narrowBox.showArrow = true;

        for (int shape = 0; shape < 5; ++shape)
        {
            auto& h = host();
            h.setValue ("waveform", (float) shape);
            auto& box = place (std::make_unique<br::ui::ChoiceBox> (h.parameter ("waveform"), Mode::menu, &h.undoManager),
                               96, 34, br::waveformNames()[shape]);
            box.showArrow = true;
            box.showWaveform = true;
        }
    }

    void buildSpheres()
    {
        row ("Rotation sphere");
        struct State
        {
            const char* what;
            float centre, range, position;
            bool active;
        };
        const State states[] {
            { "centre 0, range 90, needle 30", 0.0f, 90.0f, 30.0f, true },
            { "centre 45, range 180", 45.0f, 180.0f, -20.0f, true },
            { "range 360: full disc", 0.0f, 360.0f, 120.0f, true },
            { "range 359", 0.0f, 359.0f, 0.0f, true },
            { "rotation off", -120.0f, 60.0f, -100.0f, false },
        };
        for (const auto& s : states)
        {
            auto& h = host();
            h.setValue ("rotCenter", s.centre);
            auto& sphere = place (std::make_unique<br::ui::RotationSphere> (h.parameter ("rotCenter"), &h.undoManager),
                                  200, 200, s.what);
            sphere.range = s.range;
            sphere.position = s.position;
            sphere.active = s.active;
        }
    }

    void buildMeters()
    {
        row ("Meters and depth faders");
        struct Level
        {
            const char* what;
            float left, right, peakLeft, peakRight;
        };
        for (const auto& l : { Level { "silence: -Inf", 0.0f, 1.0e-6f, 0.0f, 1.0e-6f },
                               Level { "-12 and -20 dB", 0.25f, 0.1f, 0.3f, 0.12f },
                               Level { "0 dB: 60/66", 1.0f, 1.0f, 1.0f, 1.0f },
                               Level { "+6 dB: full, warning", 2.0f, 1.2f, 2.0f, 1.0001f } })
        {
            auto& meter = place (std::make_unique<br::ui::LevelMeter>(), 110, 200, l.what);
            meter.level = { l.left, l.right };
            meter.peakHold = { l.peakLeft, l.peakRight };
        }

        struct Mod
        {
            const char* what;
            bool bipolar;
            float value;
            bool active;
        };
        for (const auto& m : { Mod { "AM 1.0", false, 1.0f, true }, Mod { "AM 0.5", false, 0.5f, true },
                               Mod { "AM 0.03", false, 0.03f, true }, Mod { "AM off", false, 1.0f, false },
                               Mod { "FM +1", true, 1.0f, true }, Mod { "FM 0", true, 0.0f, true },
                               Mod { "FM -0.6", true, -0.6f, true }, Mod { "FM off", true, 0.3f, false } })
        {
            auto& bar = place (std::make_unique<br::ui::ModMeterBar>(), 22, 200, m.what);
            bar.bipolar = m.bipolar;
            bar.value = m.value;
            bar.active = m.active;
        }

        for (const float depth : { 0.0f, 50.0f, 100.0f })
        {
            auto& h = host();
            h.setValue ("amDepth", depth);
            auto& fader = place (std::make_unique<br::ui::DepthFader>(), 32, 200, "depth " + juce::String (depth, 0));
            attach (fader, h, "amDepth");
        }
    }

    void buildButtons()
    {
        row ("LED and bar buttons");
        struct Led
        {
            const char* what;
            juce::Colour colour;
            bool on;
            juce::Button::ButtonState state;
            bool enabled;
        };
        for (const auto& l : { Led { "AM on", colours::accentBright, true, juce::Button::buttonNormal, true },
                               Led { "AM off", colours::accentBright, false, juce::Button::buttonNormal, true },
                               Led { "rotation on", juce::Colours::white, true, juce::Button::buttonNormal, true },
                               Led { "off, under mouse", colours::accentBright, false, juce::Button::buttonOver, true },
                               Led { "on, disabled", colours::accentBright, true, juce::Button::buttonNormal, false } })
        {
            auto& led = place (std::make_unique<br::ui::LedButton> (l.colour), 55, 27, l.what);
            led.setToggleState (l.on, juce::dontSendNotification);
            led.setState (l.state);
            led.setEnabled (l.enabled);
        }

        struct Bar
        {
            const char* what;
            const char* text;
            Icon icon;
            int w, h;
            bool framed;
            juce::Button::ButtonState state;
            bool enabled;
        };
        for (const auto& b : {
                 Bar { "logo", "logo", Icon::logo, 32, 28, false, juce::Button::buttonNormal, true },
                 Bar { "undo", "undo", Icon::undo, 28, 28, false, juce::Button::buttonNormal, true },
                 Bar { "redo, disabled", "redo", Icon::redo, 28, 28, false, juce::Button::buttonNormal, false },
                 Bar { "prev", "prev", Icon::prev, 28, 30, false, juce::Button::buttonNormal, true },
                 Bar { "next, hover", "next", Icon::next, 28, 30, false, juce::Button::buttonOver, true },
                 Bar { "copy", "A \xe2\x86\x92 B", Icon::none, 76, 30, true, juce::Button::buttonNormal, true },
                 Bar { "setup, hover", "Setup A", Icon::none, 77, 30, true, juce::Button::buttonOver, true },
                 Bar { "save", "save", Icon::save, 30, 30, false, juce::Button::buttonNormal, true },
                 Bar { "save, framed", "save", Icon::save, 30, 30, true, juce::Button::buttonNormal, true },
                 Bar { "menu", "menu", Icon::menu, 30, 30, false, juce::Button::buttonNormal, true },
                 Bar { "logo, disabled", "logo", Icon::logo, 32, 28, false, juce::Button::buttonNormal, false },
             })
        {
            auto& button = place (std::make_unique<br::ui::BarButton> (juce::String::fromUTF8 (b.text), b.icon), b.w, b.h,
                                  b.what);
            button.framed = b.framed;
            button.setState (b.state);
            button.setEnabled (b.enabled);
        }
    }

    void buildKnobs()
    {
        row ("Knobs");
        struct Knob
        {
            const char* what;
            const char* id;
            float value;
            bool enabled;
        };
        for (const auto& k : { Knob { "centre 0", "rotCenter", 0.0f, true }, Knob { "centre 90", "rotCenter", 90.0f, true },
                               Knob { "centre -135", "rotCenter", -135.0f, true },
                               Knob { "range 90", "rotRange", 90.0f, true }, Knob { "range 360", "rotRange", 360.0f, true },
                               Knob { "range 200, disabled", "rotRange", 200.0f, false } })
        {
            auto& h = host();
            h.setValue (k.id, k.value);
            auto& knob = place (std::make_unique<br::ui::RotaryKnob>(), 100, 92, k.what);
            attach (knob, h, k.id);
            const bool centred = juce::String (k.id) == "rotCenter";
            knob.minLabel = centred ? "-180" : "0";
            knob.maxLabel = centred ? "180" : "360";
            knob.setEnabled (k.enabled);
        }
    }

    void buildTooltips()
    {
        row ("Tooltips");
        for (const auto* tip : { "AM On/Off", "Gain: output level, -12 to +12 dB",
                                 "Rotation: the wedge shows the sweep range, the needle the current position. "
                                 "Drag to set the centre",
                                 // No tip of the editor is this long: it shows the box growing a line.
                                 "Rotation: the wedge shows the sweep range, the needle the current position. "
                                 "Drag to set the centre. Rotation Center: positive values place the image towards "
                                 "the left, negative towards the right" })
        {
            const juce::String text (tip);
            const auto bounds = lookAndFeel.getTooltipBounds (text, {}, { 0, 0, 2000, 2000 });
            auto* lf = &lookAndFeel;
            place (std::make_unique<Drawing> ([text, lf] (juce::Graphics& g, juce::Rectangle<int> r)
                                              { lf->drawTooltip (g, text, r.getWidth(), r.getHeight()); }),
                   bounds.getWidth(), bounds.getHeight(),
                   juce::String (bounds.getWidth()) + " x " + juce::String (bounds.getHeight()));
        }
        place (std::make_unique<Drawing> ([this] (juce::Graphics& g, juce::Rectangle<int> r)
                                          { lookAndFeel.drawPopupMenuBackground (g, r.getWidth(), r.getHeight()); }),
               120, 60, "popup menu background");
    }

    br::ui::BRLookAndFeel lookAndFeel;
    std::vector<std::unique_ptr<br::test::ParameterHost>> hosts;
    std::vector<std::unique_ptr<juce::Component>> owned;
    std::vector<std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment>> attachments;
    std::vector<Caption> captions;
    std::vector<Title> titles;
    int x = margin, y = margin, rowHeight = 0;
};
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI gui;

    const auto output = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "build/gallery.png");
    const auto scale = argc > 2 ? juce::jlimit (1, 4, juce::String (argv[2]).getIntValue()) : 2;

    juce::Image image;
    {
        Sheet sheet;
        image = juce::Image (juce::Image::RGB, sheet.getWidth() * scale, sheet.getHeight() * scale, true,
                             juce::SoftwareImageType());
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale ((float) scale));
        sheet.paintEntireComponent (g, true);
    }

    output.getParentDirectory().createDirectory();
    output.deleteFile();
    juce::FileOutputStream stream (output);
    juce::PNGImageFormat png;
    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        std::cerr << "could not write " << output.getFullPathName() << "\n";
        return 1;
    }
    std::cout << output.getFullPathName() << " (" << image.getWidth() << " x " << image.getHeight() << ")\n";
    return 0;
}
