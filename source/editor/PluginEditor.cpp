#include "editor/PluginEditor.h"
#include "plugin/ValueText.h"
#include "ui/Palette.h"

#include <cmath>

namespace
{
using br::Param;

juce::RangedAudioParameter& parameterOf (BrellumProcessor& p, Param param)
{
    return *p.parameters.getParameter (br::idOf (param));
}

std::atomic<float>& rawValueOf (BrellumProcessor& p, Param param)
{
    return *p.parameters.getRawParameterValue (br::idOf (param));
}

/** Size products in single precision, rounded half to even: 0.75 gives 820 x 446. */
int scaledSize (int base, float s) { return (int) std::nearbyint ((float) base * s); }

struct Placement
{
    juce::Component& child;
    juce::Rectangle<int> bounds;
};
} // namespace

BrellumEditor::BrellumEditor (BrellumProcessor& p)
    : juce::AudioProcessorEditor (p),
      processor (p),
      tooltipWindow (this, tooltipDelayMs),
      presetBar (p, lookAndFeel, [this] { return scale; }, [this] (float newScale) { setInterfaceScale (newScale); }),
      syncBox (parameterOf (p, Param::sync), br::ui::ChoiceBox::Mode::step, &p.undoManager),
      xFactorBox (parameterOf (p, Param::xFactor), br::ui::ChoiceBox::Mode::step, &p.undoManager),
      waveformBox (parameterOf (p, Param::waveform), br::ui::ChoiceBox::Mode::menu, &p.undoManager),
      amOnButton (br::ui::colours::accentBright),
      fmOnButton (br::ui::colours::accentBright),
      rotOnButton (juce::Colours::white),
      amPhaseBox (parameterOf (p, Param::amPhase), br::ui::ChoiceBox::Mode::step, &p.undoManager),
      fmPhaseBox (parameterOf (p, Param::fmPhase), br::ui::ChoiceBox::Mode::step, &p.undoManager),
      sphere (parameterOf (p, Param::rotCenter), &p.undoManager),
      syncValue (rawValueOf (p, Param::sync)),
      amOnValue (rawValueOf (p, Param::amOn)),
      fmOnValue (rawValueOf (p, Param::fmOn)),
      rotOnValue (rawValueOf (p, Param::rotOn)),
      rotCenterValue (rawValueOf (p, Param::rotCenter)),
      rotRangeValue (rawValueOf (p, Param::rotRange))
{
    setLookAndFeel (&lookAndFeel);

    addAndMakeVisible (artwork);
    artwork.addMouseListener (this, true);

    artwork.addAndMakeVisible (presetBar);
    addControls();

    // A damaged or hand-edited state may carry anything; what is applied is also what
    // the next save stores.
    scale = processor.uiScale.load();
    setResizable (false, false);
    setInterfaceScale (scale);

    refresh();
    startTimerHz (refreshHz);
}

BrellumEditor::~BrellumEditor()
{
    stopTimer();
    setLookAndFeel (nullptr);
}

void BrellumEditor::addControls()
{
    namespace vt = br::valueText;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;

    const auto attachSlider = [this] (juce::Slider& slider, Param param)
    {
        sliderAttachments.push_back (
            std::make_unique<SliderAttachment> (processor.parameters, br::idOf (param), slider));
    };
    const auto attachButton = [this] (juce::Button& button, Param param)
    {
        buttonAttachments.push_back (
            std::make_unique<ButtonAttachment> (processor.parameters, br::idOf (param), button));
    };

    artwork.addAndMakeVisible (syncBox);
    syncBox.setTooltip ("Sync: Auto locks the modulation rate to the host tempo; Manual uses the Hz/BPM controls");

    // In "Auto" the rate boxes show the rate the host tempo gives, not the parameter,
    // which keeps its manual value underneath.
    const auto autoSync = [this] { return syncBox.getIndex() == 1; };

    artwork.addAndMakeVisible (hzBox);
    attachSlider (hzBox, Param::rate);
    hzBox.defaultValue = br::defaultOf (Param::rate);
    hzBox.textFromValue = vt::formatRate;
    hzBox.valueFromText = vt::parseNumber;
    hzBox.displayText = [this, autoSync]
    { return autoSync() ? vt::tempoHzText (processor.engine.baseHz.load()) : juce::String(); };
    hzBox.setTooltip ("Rate in cycles per second (0.01 - 60 Hz). Drag or double-click to type");

    artwork.addAndMakeVisible (bpmBox);
    attachSlider (bpmBox, Param::rate);
    bpmBox.defaultValue = br::defaultOf (Param::rate);
    bpmBox.textFromValue = vt::formatBpm;
    bpmBox.valueFromText = vt::parseBpm;
    bpmBox.displayText = [this, autoSync]
    { return autoSync() ? vt::tempoBpmText (processor.engine.baseHz.load()) : juce::String(); };
    bpmBox.setTooltip ("Rate in beats per minute (0.6 - 3600 BPM). Drag or double-click to type");

    artwork.addAndMakeVisible (xFactorBox);
    xFactorBox.showArrow = true;
    xFactorBox.setTooltip ("x Factor: multiplies the rate. Click to step (shift-click back), hold for the list");

    artwork.addAndMakeVisible (waveformBox);
    waveformBox.showArrow = true;
    waveformBox.showWaveform = true;
    waveformBox.setTooltip ("Waveform: Square, Triangle, Saw Up, Saw Down or Sine");

    artwork.addAndMakeVisible (amMeter);

    artwork.addAndMakeVisible (amDepthFader);
    attachSlider (amDepthFader, Param::amDepth);
    amDepthFader.defaultValue = br::defaultOf (Param::amDepth);
    amDepthFader.setTooltip ("AM Depth: amount of volume modulation (tremolo)");

    artwork.addAndMakeVisible (amOnButton);
    attachButton (amOnButton, Param::amOn);
    amOnButton.setTooltip ("AM On/Off");

    artwork.addAndMakeVisible (amPhaseBox);
    amPhaseBox.setTooltip ("AM Phase: 0, 90, 180 or 270 degrees against the LFO");

    artwork.addAndMakeVisible (sphere);
    sphere.setTooltip ("Rotation: the wedge shows the sweep range, the needle the current position. Drag to set the centre");

    artwork.addAndMakeVisible (rotCenterKnob);
    attachSlider (rotCenterKnob, Param::rotCenter);
    rotCenterKnob.minLabel = "-180";
    rotCenterKnob.maxLabel = "180";
    rotCenterKnob.defaultValue = br::defaultOf (Param::rotCenter);
    rotCenterKnob.setTooltip (
        "Rotation Center: positive values place the image towards the left, negative towards the right");

    artwork.addAndMakeVisible (rotRangeKnob);
    attachSlider (rotRangeKnob, Param::rotRange);
    rotRangeKnob.minLabel = "0";
    rotRangeKnob.maxLabel = "360";
    rotRangeKnob.defaultValue = br::defaultOf (Param::rotRange);
    rotRangeKnob.setTooltip ("Rotation Range: how far the image sweeps from left to right");

    artwork.addAndMakeVisible (rotOnButton);
    attachButton (rotOnButton, Param::rotOn);
    rotOnButton.setTooltip ("Rotation On/Off");

    artwork.addAndMakeVisible (fmMeter);
    fmMeter.bipolar = true;

    artwork.addAndMakeVisible (fmDepthFader);
    attachSlider (fmDepthFader, Param::fmDepth);
    fmDepthFader.defaultValue = br::defaultOf (Param::fmDepth);
    fmDepthFader.setTooltip ("FM Depth: amount of pitch modulation (vibrato)");

    artwork.addAndMakeVisible (fmOnButton);
    attachButton (fmOnButton, Param::fmOn);
    fmOnButton.setTooltip ("FM On/Off");

    artwork.addAndMakeVisible (fmPhaseBox);
    fmPhaseBox.setTooltip ("FM Phase: 0, 90, 180 or 270 degrees against the LFO");

    artwork.addAndMakeVisible (gainBox);
    attachSlider (gainBox, Param::gain);
    gainBox.defaultValue = br::defaultOf (Param::gain);
    gainBox.textFromValue = vt::formatGain;
    gainBox.valueFromText = vt::parseNumber;
    gainBox.setTooltip ("Gain: output level, -12 to +12 dB");

    artwork.addAndMakeVisible (mixBox);
    attachSlider (mixBox, Param::mix);
    mixBox.defaultValue = br::defaultOf (Param::mix);
    mixBox.textFromValue = vt::formatWhole;
    mixBox.valueFromText = vt::parseNumber;
    mixBox.setTooltip ("Mix: balance between the dry and modulated signal");

    artwork.addAndMakeVisible (levelMeter);
    levelMeter.setTooltip ("Output level. Click to reset the peak readouts");
}

void BrellumEditor::resized()
{
    artwork.setBounds (0, 0, baseWidth, baseHeight);

    // Artwork coordinates: the interface size scales the artwork, never these numbers.
    const Placement layout[] {
        { presetBar, { 0, 0, baseWidth, PresetBar::height } },
        { syncBox, { 51, 156, 96, 28 } },        { hzBox, { 61, 246, 76, 27 } },
        { xFactorBox, { 51, 318, 96, 29 } },     { bpmBox, { 61, 390, 76, 27 } },
        { waveformBox, { 51, 518, 96, 34 } },    { amMeter, { 252, 143, 22, 241 } },
        { amDepthFader, { 289, 125, 32, 278 } }, { amOnButton, { 237, 446, 55, 27 } },
        { amPhaseBox, { 237, 494, 55, 27 } },    { sphere, { 397, 117, 300, 300 } },
        { rotCenterKnob, { 406, 466, 100, 92 } }, { rotOnButton, { 520, 520, 55, 27 } },
        { rotRangeKnob, { 588, 466, 100, 92 } }, { fmDepthFader, { 771, 125, 32, 278 } },
        { fmMeter, { 820, 143, 22, 241 } },      { fmOnButton, { 801, 446, 55, 27 } },
        { fmPhaseBox, { 801, 494, 55, 27 } },    { gainBox, { 948, 156, 95, 29 } },
        { mixBox, { 948, 237, 95, 28 } },        { levelMeter, { 945, 300, 110, 200 } },
    };

    for (const auto& placement : layout)
        placement.child.setBounds (placement.bounds);
}

void BrellumEditor::setInterfaceScale (float newScale)
{
    scale = std::isfinite (newScale) ? juce::jlimit (minScale, maxScale, newScale) : 1.0f;
    processor.uiScale.store (scale);
    applyScale();
}

void BrellumEditor::applyScale()
{
    artwork.setTransform (juce::AffineTransform::scale (scale));
    setSize (scaledSize (baseWidth, scale), scaledSize (baseHeight, scale));
}

void BrellumEditor::timerCallback() { refresh(); }

// The refresh only feeds the screen: an editor nobody can see (a host hides a closed
// plug-in window rather than destroying it) costs nothing until it is shown again,
// and then shows everything as it is now.
void BrellumEditor::showingChanged()
{
    if (! isShowing())
    {
        stopTimer();
    }
    else if (! isTimerRunning())
    {
        refresh();
        repaint();
        startTimerHz (refreshHz);
    }
}

void BrellumEditor::mouseDown (const juce::MouseEvent&)
{
    // One press, one undo step: everything up to the next press is undone together.
    processor.undoManager.beginNewTransaction();
}

void BrellumEditor::refresh()
{
    const bool autoSync = syncValue.load() > 0.5f;
    const bool amOn = amOnValue.load() > 0.5f;
    const bool fmOn = fmOnValue.load() > 0.5f;
    const bool rotOn = rotOnValue.load() > 0.5f;
    auto& engine = processor.engine;

    refreshSphere (rotOn);

    // A moving bar is drawn again only where it moved; a switch redraws all of it.
    const auto feedMeter = [] (br::ui::ModMeterBar& meter, float value, bool on)
    {
        value = juce::jlimit (-1.0f, 1.0f, value);
        if (on != meter.active)
        {
            meter.value = value;
            meter.active = on;
            meter.repaint();
        }
        else if (std::abs (value - meter.value) > 0.002f)
        {
            meter.repaint (meter.areaChangedBetween (meter.value, value));
            meter.value = value;
        }
    };
    feedMeter (amMeter, amOn ? engine.amGain.load() : 1.0f, amOn);
    feedMeter (fmMeter, fmOn ? engine.fmValue.load() : 0.0f, fmOn);

    // Take-and-clear: the audio thread only ever raises the peaks. The meter gets its
    // readings on every tick and draws again exactly the pixels they change, so a slow
    // fade, however little it moves per tick, ends where the level is, and a silent
    // meter costs nothing.
    const float peaks[] { engine.peakL.exchange (0.0f), engine.peakR.exchange (0.0f) };
    std::array<float, 2> level, hold;
    for (size_t c = 0; c < 2; ++c)
    {
        level[c] = juce::jmax (levelMeter.level[c] * 0.82f, peaks[c]);
        hold[c] = juce::jmax (levelMeter.peakHold[c], peaks[c]);
    }
    levelMeter.setReadings (level, hold);

    // In "Auto" the boxes show the rate the host tempo gives, which can change at any
    // block; they are drawn again when their text does.
    if (hzBox.isEnabled() == autoSync)
    {
        hzBox.setEnabled (! autoSync);
        bpmBox.setEnabled (! autoSync);
    }
    const auto tempoText = autoSync ? hzBox.displayText() + " " + bpmBox.displayText() : juce::String();
    if (tempoText != shownTempoText)
    {
        shownTempoText = tempoText;
        hzBox.repaint();
        bpmBox.repaint();
    }

    presetBar.refresh();
}

void BrellumEditor::refreshSphere (bool rotationOn)
{
    const auto centre = rotCenterValue.load();
    const auto range = rotRangeValue.load();
    const auto position = rotationOn ? processor.engine.rotAngle.load() : 0.0f;

    const bool wedgeMoved = std::abs (centre - sphere.centre) > 0.01f || std::abs (range - sphere.range) > 0.01f
                            || rotationOn != sphere.active;
    const bool needleMoved = std::abs (position - sphere.position) > 0.05f;
    if (! wedgeMoved && ! needleMoved)
        return;

    // With rotation on the needle moves on every tick while the rest stays put; only
    // the pixels it leaves and the ones it reaches are drawn again.
    const auto oldNeedle = sphere.needleArea (sphere.position);
    sphere.centre = centre;
    sphere.range = range;
    sphere.position = position;
    sphere.active = rotationOn;

    if (wedgeMoved)
    {
        sphere.repaint();
    }
    else
    {
        sphere.repaint (oldNeedle);
        sphere.repaint (sphere.needleArea (position));
    }
}

juce::AudioProcessorEditor* BrellumProcessor::createEditor() { return new BrellumEditor (*this); }
