#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace br::ui
{
/** Paints the rounded body shared by value boxes, choice boxes and LED buttons: a
    vertical gradient around `box` (or `boxHover` when highlighted and enabled), a
    one-pixel top sheen that is fainter when disabled, and a dark edge. */
void drawValueBox (juce::Graphics& g, juce::Rectangle<float> bounds, bool highlighted, bool enabled);

/** A numeric field: shows a value as text, changes it by vertical dragging (up raises,
    250 pixels cover the whole range), resets it to `defaultValue` on Alt- or
    Command-click, and opens an in-place text field on double-click. The field commits
    on Return, on a mouse press anywhere else in the same window and when it loses the
    keyboard focus; Escape closes it unchanged.

    It is a juce::Slider, so range, value and parameter binding are the slider's own:
    bind it with juce::AudioProcessorValueTreeState::SliderAttachment. Message thread only. */
class ValueBox : public juce::Slider
{
public:
    ValueBox();
    ~ValueBox() override;

    /** Formats a value for display and as the start text of typed entry; when empty,
        the slider's getTextFromValue is used (through an attachment, the parameter's text). */
    std::function<juce::String (double)> textFromValue;
    /** Parses typed text; when empty, the slider's getValueFromText is used. */
    std::function<double (const juce::String&)> valueFromText;
    /** When set and returning non-empty text, that text is painted instead of the value.
        Typed entry still starts from the real value. */
    std::function<juce::String()> displayText;
    /** Set by Alt- or Command-click. */
    double defaultValue = 0.0;

    void mouseEnter (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

    /** True while a typed-entry field is open (including one whose deletion is pending). */
    bool isEditing() const noexcept { return editor != nullptr; }
    /** The open text field, or null. */
    juce::TextEditor* getEditor() const noexcept { return editor.get(); }

private:
    class PressElsewhere;

    void showEditor();
    void endEntry (int entry, bool commit);
    void pressedWhileEditing (const juce::MouseEvent&);
    juce::String formattedValue();

    std::unique_ptr<juce::TextEditor> editor;
    std::unique_ptr<PressElsewhere> pressElsewhere; // watches presses while a field is open
    int entryNumber = 0;       // identifies the open field across the asynchronous close
    bool entryEnding = false;  // Return, Escape or focus loss already ended this field

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ValueBox)
};
} // namespace br::ui
