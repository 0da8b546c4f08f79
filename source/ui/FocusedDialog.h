#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace br::ui
{
/** A dialog that takes the keyboard focus as soon as its window can hold it, so that
    the user can type or press Return at once. The framework grabs the focus while the
    window is being shown, before it is mapped; without a window manager (or with one
    that does not focus new windows) that grab is lost and keys go nowhere until the
    user clicks. The grab is repeated until it holds, for at most two seconds; a text
    field then has its text selected, so typing replaces it. */
class FocusedDialog : public juce::AlertWindow, private juce::Timer
{
public:
    FocusedDialog (const juce::String& title, const juce::String& message, juce::MessageBoxIconType icon,
                   juce::Component* associated);

    /** Shows `dialog` without blocking and gives the focus to `focusTarget`, a child of
        the dialog, or to the dialog itself (for its Return and Escape keys) when null.
        The dialog deletes itself when dismissed, after calling `onResult`. */
    static void show (FocusedDialog& dialog, juce::Component* focusTarget, std::function<void (int)> onResult);

private:
    void timerCallback() override;

    juce::Component::SafePointer<juce::Component> focusTarget;
    int triesLeft = 0;
};
} // namespace br::ui
