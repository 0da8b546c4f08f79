#pragma once
#include "editor/PresetBar.h"
#include "plugin/BrellumProcessor.h"
#include "ui/BRLookAndFeel.h"
#include "ui/ChoiceBox.h"
#include "ui/DepthFader.h"
#include "ui/LedButton.h"
#include "ui/LevelMeter.h"
#include "ui/ModMeterBar.h"
#include "ui/RotaryKnob.h"
#include "ui/RotationSphere.h"
#include "ui/ValueBox.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

/** The plug-in's window content: one fixed panel of 1094 x 594 logical pixels, drawn
    at the "Interface Size" the user chose, that shows every parameter, the live
    modulation, the preset bar and the A/B set-ups.

    It never touches audio: it reaches the processor through parameter attachments, a
    few message-thread operations (undo, set-ups, presets) and atomic reads of the
    values the audio thread publishes, polled 30 times a second. Everything here runs
    on the message thread. */
class BrellumEditor : public juce::AudioProcessorEditor, private juce::Timer
{
public:
    explicit BrellumEditor (BrellumProcessor&);
    ~BrellumEditor() override;

    static constexpr int baseWidth = 1094;
    static constexpr int baseHeight = 594;
    static constexpr float minScale = 0.5f;
    static constexpr float maxScale = 2.5f;
    static constexpr int refreshHz = 30;
    static constexpr int tooltipDelayMs = 600;

    /** Everything that is not a control: background, top bar, section titles, captions,
        scales and the product name. Always 1094 x 594 in its own coordinates; the
        interface size is a transform on it, and it is the parent of every control. */
    class Artwork : public juce::Component
    {
    public:
        Artwork();
        void paint (juce::Graphics&) override;

        /** The picture itself, drawn straight into `g` in artwork coordinates. */
        static void drawPicture (juce::Graphics& g);

    private:
        /** The picture never changes, so it is drawn once per device pixel scale and
            then copied. The copy lands on whole device pixels: it is the picture a
            direct drawing gives (a rare gradient pixel may round one step the other
            way), as sharp at every size. */
        juce::Image cache;
        float cacheScale = 0.0f;
    };

    void mouseDown (const juce::MouseEvent&) override;
    void resized() override;

    /** Carries the processor's state into the widgets; repaints only what moved by
        more than its threshold, except the level meter and the rate boxes. */
    void refresh();

    /** Applies a scale from the size menu or the stored state: clamped to [0.5, 2.5]
        (a value that is not a number gives 1), written to the editor and the
        processor, then the transform and the size. */
    void setInterfaceScale (float newScale);
    float getInterfaceScale() const noexcept { return scale; }

    //==========================================================================
    // The children, in construction order. Public so that tests and the renderer can
    // drive them as a user would.

    BrellumProcessor& processor;
    br::ui::BRLookAndFeel lookAndFeel;
    Artwork artwork;
    juce::TooltipWindow tooltipWindow;

    /** The top strip: presets and their menus, undo and redo, the A/B set-ups. */
    PresetBar presetBar;

    br::ui::ChoiceBox syncBox;
    br::ui::ChoiceBox xFactorBox;
    br::ui::ChoiceBox waveformBox;
    br::ui::ValueBox hzBox;
    br::ui::ValueBox bpmBox;
    br::ui::DepthFader amDepthFader;
    br::ui::DepthFader fmDepthFader;
    br::ui::ModMeterBar amMeter;
    br::ui::ModMeterBar fmMeter;
    br::ui::LedButton amOnButton;
    br::ui::LedButton fmOnButton;
    br::ui::LedButton rotOnButton;
    br::ui::ChoiceBox amPhaseBox;
    br::ui::ChoiceBox fmPhaseBox;
    br::ui::RotationSphere sphere;
    br::ui::RotaryKnob rotCenterKnob;
    br::ui::RotaryKnob rotRangeKnob;
    br::ui::ValueBox gainBox;
    br::ui::ValueBox mixBox;
    br::ui::LevelMeter levelMeter;

    // After every widget: each attachment goes before the widget it drives.
    std::vector<std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment>> sliderAttachments;
    std::vector<std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment>> buttonAttachments;

private:
    /** Tells the editor when it can no longer be seen (its window hidden by the host,
        minimised or gone) and when it can again. */
    struct ShowingWatcher : juce::ComponentMovementWatcher
    {
        explicit ShowingWatcher (BrellumEditor& e) : juce::ComponentMovementWatcher (&e), editor (e) {}
        void componentMovedOrResized (bool, bool) override {}
        void componentPeerChanged() override { editor.showingChanged(); }
        void componentVisibilityChanged() override { editor.showingChanged(); }
        BrellumEditor& editor;
    };

    void timerCallback() override;
    void showingChanged();
    void applyScale();
    void addControls();
    void refreshSphere (bool rotationOn);

    float scale = 1.0f;
    /** The texts the rate boxes show in "Auto" (empty in "Manual"). */
    juce::String shownTempoText;

    // The parameter values the refresh reads on every tick, looked up once.
    std::atomic<float>& syncValue;
    std::atomic<float>& amOnValue;
    std::atomic<float>& fmOnValue;
    std::atomic<float>& rotOnValue;
    std::atomic<float>& rotCenterValue;
    std::atomic<float>& rotRangeValue;

    ShowingWatcher showingWatcher { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrellumEditor)
};
