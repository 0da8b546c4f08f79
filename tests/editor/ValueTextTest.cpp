#include "EditorTestSupport.h"
#include "plugin/ValueText.h"
#include "support/FuzzSeeds.h"
#include "ui/Palette.h"

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace br::test;
namespace vt = br::valueText;

namespace
{
struct FormatCase
{
    const char* what;
    juce::String (*format) (double);
    double value;
    const char* expected;
};

const FormatCase formatCases[] {
    { "rate, default", vt::formatRate, 0.2, "0.20" },
    { "rate, top", vt::formatRate, 60.0, "60.00" },
    { "rate, rounds", vt::formatRate, 0.125001, "0.13" },
    { "BPM of the default rate", vt::formatBpm, 0.2, "12.00" },
    { "BPM just below 1000 rounds up with two decimals", vt::formatBpm, 16.66665, "1000.00" },
    { "BPM from 1000 has one decimal", vt::formatBpm, 16.6667, "1000.0" },
    { "BPM just below", vt::formatBpm, 999.99 / 60.0, "999.99" },
    { "BPM at the top", vt::formatBpm, 60.0, "3600.0" },
    { "gain, bottom", vt::formatGain, -12.0, "-12.0" },
    { "gain, zero", vt::formatGain, 0.0, "0.0" },
    { "gain, half step", vt::formatGain, 6.5, "6.5" },
    { "mix, below a half", vt::formatWhole, 50.4, "50" },
    { "mix, half to even below", vt::formatWhole, 50.5, "50" },
    { "mix, half to even above", vt::formatWhole, 51.5, "52" },
    { "mix, full", vt::formatWhole, 100.0, "100" },
    { "mix, empty", vt::formatWhole, 0.0, "0" },
};

struct ParseCase
{
    const char* what;
    const char* text;
    double expected;
};

const ParseCase parseCases[] {
    { "decimal comma", "1,5", 1.5 },
    { "unit after the number", "2.5 Hz", 2.5 },
    { "minus and unit", "-3 dB", -3.0 },
    { "plus sign is dropped", "+6", 6.0 },
    { "thousands comma reads as a decimal point", "1,000", 1.0 },
    { "reading stops at the second point", "1,000.5", 1.0 },
    { "letters only", "abc", 0.0 },
    { "empty", "", 0.0 },
    { "spaces inside", " 1 2 . 5 ", 12.5 },
    { "letters between digits are dropped", "1a2", 12.0 },
    { "minus after a digit ends the number", "5-3", 5.0 },
    { "a lone minus", "-", 0.0 },
    { "exponent letters are dropped", "1e3", 13.0 },
};

} // namespace

TEST (ValueText, FormatsEachBoxsNumbersWithoutUnits)
{
    for (const auto& c : formatCases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (c.format (c.value), c.expected);
    }
}

TEST (ValueText, ParsesTypedTextLeniently)
{
    for (const auto& c : parseCases)
    {
        SCOPED_TRACE (c.what);
        recordFuzzSeed ("typed_number", c.text, std::strlen (c.text));
        EXPECT_DOUBLE_EQ (vt::parseNumber (c.text), c.expected);
    }
    EXPECT_DOUBLE_EQ (vt::parseBpm ("120"), 2.0) << "typed BPM becomes Hz";
}

TEST (ValueText, ReadsNumbersOfAnyLengthAsFiniteValues)
{
    const juce::String nines = juce::String::repeatedString ("9", 400);
    const juce::String zeros = juce::String::repeatedString ("0", 400);
    for (const auto& text : { nines, "-" + nines + ".5", "0." + zeros + "1" })
        recordFuzzSeed ("typed_number", text.toRawUTF8(), text.getNumBytesAsUTF8());
    EXPECT_EQ (vt::parseNumber (nines), DBL_MAX) << "too large for a double";
    EXPECT_EQ (vt::parseNumber ("-" + nines + ".5"), -DBL_MAX);
    EXPECT_EQ (vt::parseNumber (nines + nines + nines), DBL_MAX) << "past a thousand digits too";
    EXPECT_EQ (vt::parseNumber ("0." + zeros + "1"), 0.0) << "too small for a double";
    EXPECT_EQ (vt::parseNumber (zeros + "12.25"), 12.25) << "leading zeros";
    EXPECT_EQ (vt::parseNumber ("0.1" + zeros + "1"), 0.1) << "digits past double precision";
    EXPECT_TRUE (std::isfinite (vt::parseBpm (nines)));
}

TEST (ValueText, ShowsTheTempoRateLikeTheNormalTexts)
{
    EXPECT_EQ (vt::tempoHzText (2.0f), "2.00");
    EXPECT_EQ (vt::tempoBpmText (2.0f), "120.00");
    EXPECT_EQ (vt::tempoBpmText (20.0f), "1200.0");
}

TEST_F (EditorTest, BothRateBoxesShowTheOneRateParameter)
{
    setValue (processor, "rate", 2.0f);
    EXPECT_EQ (editor->hzBox.textFromValue (editor->hzBox.getValue()), "2.00");
    EXPECT_EQ (editor->bpmBox.textFromValue (editor->bpmBox.getValue()), "120.00");

    editor->bpmBox.setValue (4.0, juce::sendNotificationSync);
    EXPECT_EQ (value ("rate"), 4.0f);
    EXPECT_EQ (editor->hzBox.getValue(), 4.0) << "the two boxes move together";

    setValue (processor, "mix", 50.5f);
    EXPECT_EQ (editor->mixBox.textFromValue (editor->mixBox.getValue()), "50");
    setValue (processor, "gain", -12.0f);
    EXPECT_EQ (editor->gainBox.textFromValue (editor->gainBox.getValue()), "-12.0");
}

TEST_F (EditorTest, ModifiedClicksAndDoubleClicksReturnControlsToTheirDefaults)
{
    setValues (processor, unusualValues());
    const auto alt = juce::ModifierKeys (juce::ModifierKeys::altModifier);

    struct Case
    {
        const char* what;
        juce::Component& control;
        const char* parameter;
        float expected;
        bool doubleClick;
    };
    const Case cases[] {
        { "Hz box", editor->hzBox, "rate", 0.2f, false },
        { "BPM box", editor->bpmBox, "rate", 0.2f, false },
        { "gain box", editor->gainBox, "gain", 0.0f, false },
        { "mix box", editor->mixBox, "mix", 100.0f, false },
        { "AM depth fader", editor->amDepthFader, "amDepth", 50.0f, false },
        { "FM depth fader", editor->fmDepthFader, "fmDepth", 50.0f, false },
        { "range knob", editor->rotRangeKnob, "rotRange", 90.0f, false },
        { "centre knob, double-click", editor->rotCenterKnob, "rotCenter", 0.0f, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        setValue (processor, "sync", 0.0f);
        setValues (processor, { { c.parameter, br::test::unusualValues()[c.parameter] } });
        Mouse mouse { c.control };
        if (c.doubleClick)
            mouse.doubleClick ({ 10.0f, 10.0f });
        else
            mouse.click ({ 10.0f, 10.0f }, alt);
        EXPECT_NEAR (value (c.parameter), c.expected, 1.0e-6f);
    }
}

TEST_F (EditorTest, WiresLabelsColoursOptionsAndTooltips)
{
    EXPECT_EQ (editor->rotCenterKnob.minLabel, "-180");
    EXPECT_EQ (editor->rotCenterKnob.maxLabel, "180");
    EXPECT_EQ (editor->rotRangeKnob.minLabel, "0");
    EXPECT_EQ (editor->rotRangeKnob.maxLabel, "360");
    EXPECT_EQ (editor->amOnButton.ledColour, br::ui::colours::accentBright);
    EXPECT_EQ (editor->fmOnButton.ledColour, br::ui::colours::accentBright);
    EXPECT_EQ (editor->rotOnButton.ledColour, juce::Colours::white);

    using Mode = br::ui::ChoiceBox::Mode;
    struct Choice
    {
        const char* what;
        br::ui::ChoiceBox& box;
        Mode mode;
        bool arrow, waveform;
        int choices;
    };
    const Choice choices[] {
        { "sync", editor->syncBox, Mode::step, false, false, 2 },
        { "xFactor", editor->xFactorBox, Mode::step, true, false, 16 },
        { "waveform", editor->waveformBox, Mode::menu, true, true, 5 },
        { "amPhase", editor->amPhaseBox, Mode::step, false, false, 4 },
        { "fmPhase", editor->fmPhaseBox, Mode::step, false, false, 4 },
    };
    for (const auto& c : choices)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (c.box.getMode(), c.mode);
        EXPECT_EQ (c.box.showArrow, c.arrow);
        EXPECT_EQ (c.box.showWaveform, c.waveform);
        EXPECT_EQ (c.box.getNumChoices(), c.choices);
    }

    struct Tip
    {
        juce::SettableTooltipClient& client;
        const char* tip;
    };
    const Tip tips[] {
        { editor->syncBox, "Sync: Auto locks the modulation rate to the host tempo; Manual uses the Hz/BPM controls" },
        { editor->hzBox, "Rate in cycles per second (0.01 - 60 Hz). Drag or double-click to type" },
        { editor->bpmBox, "Rate in beats per minute (0.6 - 3600 BPM). Drag or double-click to type" },
        { editor->xFactorBox, "x Factor: multiplies the rate. Click to step (shift-click back), hold for the list" },
        { editor->waveformBox, "Waveform: Square, Triangle, Saw Up, Saw Down or Sine" },
        { editor->amDepthFader, "AM Depth: amount of volume modulation (tremolo)" },
        { editor->amOnButton, "AM On/Off" },
        { editor->amPhaseBox, "AM Phase: 0, 90, 180 or 270 degrees against the LFO" },
        { editor->sphere,
          "Rotation: the wedge shows the sweep range, the needle the current position. Drag to set the centre" },
        { editor->rotCenterKnob,
          "Rotation Center: positive values place the image towards the left, negative towards the right" },
        { editor->rotRangeKnob, "Rotation Range: how far the image sweeps from left to right" },
        { editor->rotOnButton, "Rotation On/Off" },
        { editor->fmDepthFader, "FM Depth: amount of pitch modulation (vibrato)" },
        { editor->fmOnButton, "FM On/Off" },
        { editor->fmPhaseBox, "FM Phase: 0, 90, 180 or 270 degrees against the LFO" },
        { editor->gainBox, "Gain: output level, -12 to +12 dB" },
        { editor->mixBox, "Mix: balance between the dry and modulated signal" },
        { editor->levelMeter, "Output level. Click to reset the peak readouts" },
        { editor->presetBar.logoButton, "" },
        { editor->presetBar.undoButton, "Undo" },
        { editor->presetBar.redoButton, "Redo" },
        { editor->presetBar.presetField, "Presets: factory and user presets, save and load" },
        { editor->presetBar.prevButton, "Previous preset" },
        { editor->presetBar.nextButton, "Next preset" },
        { editor->presetBar.copyButton, "Copy the current setup to the other one" },
        { editor->presetBar.setupButton, "Switch between setups A and B for comparison" },
        { editor->presetBar.saveButton, "Save preset" },
        { editor->presetBar.menuButton, "Menu" },
    };
    for (const auto& t : tips)
        EXPECT_EQ (t.client.getTooltip(), t.tip);

    EXPECT_TRUE (editor->presetBar.copyButton.framed);
    EXPECT_TRUE (editor->presetBar.setupButton.framed);
    EXPECT_FALSE (editor->presetBar.saveButton.framed);
}

TEST_F (EditorTest, AttachmentsFollowTheParametersBothWays)
{
    setValues (processor, unusualValues());
    EXPECT_EQ (editor->hzBox.getValue(), 7.5);
    EXPECT_NEAR (editor->amDepthFader.getValue(), 12.3, 1.0e-5);
    EXPECT_EQ (editor->rotCenterKnob.getValue(), -45.0);
    EXPECT_EQ (editor->rotRangeKnob.getValue(), 33.0);
    EXPECT_NEAR (editor->fmDepthFader.getValue(), 77.7, 1.0e-5);
    EXPECT_EQ (editor->gainBox.getValue(), -6.5);
    EXPECT_EQ (editor->mixBox.getValue(), 42.0);
    EXPECT_FALSE (editor->amOnButton.getToggleState());
    EXPECT_FALSE (editor->rotOnButton.getToggleState());
    EXPECT_FALSE (editor->fmOnButton.getToggleState());
    EXPECT_EQ (editor->xFactorBox.getIndex(), 9);
    EXPECT_EQ (editor->sphere.centre, -45.0f);

    editor->amOnButton.triggerClick();
    pumpPending();
    EXPECT_EQ (value ("amOn"), 1.0f);
    editor->rotRangeKnob.setValue (180.0, juce::sendNotificationSync);
    EXPECT_EQ (value ("rotRange"), 180.0f);
}
