#pragma once
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** Two cycles of waveform `shape` (the "waveform" parameter's index; anything else
    draws the sine) across `area`, as an open path of 96 segments, positive values up. */
juce::Path waveformPath (int shape, juce::Rectangle<float> area);

/** Edits a parameter with a few discrete values. In `step` mode a click steps to the
    next choice, Shift-click to the previous one (both wrap), and holding the mouse for
    450 ms opens the list; in `menu` mode every click opens it. A right-click opens it
    in either mode. Changes go through its own juce::ParameterAttachment, each one a
    complete gesture, so they are undoable and announced to the host. Message thread only. */
class ChoiceBox : public juce::Component, public juce::SettableTooltipClient, private juce::Timer
{
public:
    enum class Mode
    {
        step,
        menu
    };

    ChoiceBox (juce::RangedAudioParameter& parameter, Mode mode, juce::UndoManager* undoManager);
    ~ChoiceBox() override;

    /** Draws a drop-down arrow and a groove in a column at the left. */
    bool showArrow = false;
    /** Draws the current choice as a waveform instead of its name, and puts waveform
        icons into the list. */
    bool showWaveform = false;
    /** Optional display names; entry i, when present, replaces the name of choice i. */
    juce::StringArray labels;

    /** The choice shown; follows the parameter through the attachment. */
    int getIndex() const noexcept { return index; }
    int getNumChoices() const noexcept { return numChoices; }
    Mode getMode() const noexcept { return mode; }
    /** `labels` first, then the choice parameter's own names, "Off"/"On" for any other parameter. */
    juce::String choiceName (int choice) const;

    void mouseEnter (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

private:
    void timerCallback() override;
    void showMenu();

    juce::RangedAudioParameter& parameter;
    juce::ParameterAttachment attachment;
    Mode mode;
    int index = 0;
    int numChoices = 2;
    bool heldOpen = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ChoiceBox)
};
} // namespace br::ui
