#include "ui/FocusedDialog.h"

namespace br::ui
{
FocusedDialog::FocusedDialog (const juce::String& title, const juce::String& message,
                              juce::MessageBoxIconType icon, juce::Component* associated)
    : juce::AlertWindow (title, message, icon, associated)
{
}

void FocusedDialog::show (FocusedDialog& dialog, juce::Component* focusTarget, std::function<void (int)> onResult)
{
    dialog.enterModalState (true, juce::ModalCallbackFunction::create (std::move (onResult)), true);
    dialog.focusTarget = focusTarget;
    dialog.triesLeft = 100; // every 20 ms: two seconds
    dialog.startTimer (20);
}

void FocusedDialog::timerCallback()
{
    auto* target = focusTarget != nullptr ? focusTarget.getComponent() : this;
    if (target->hasKeyboardFocus (false))
    {
        stopTimer();
        if (auto* field = dynamic_cast<juce::TextEditor*> (target))
            field->selectAll();
        return;
    }
    if (--triesLeft < 0)
    {
        stopTimer();
        return;
    }
    if (isShowing())
        target->grabKeyboardFocus();
}
} // namespace br::ui
