#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** A button of the editor's top bar: a drawn icon, or (icon `none`) its button text in
    a box. Runs whatever the owner puts in `onClick`. Message thread only. */
class BarButton : public juce::Button
{
public:
    enum class Icon
    {
        none,
        logo,
        undo,
        redo,
        prev,
        next,
        save,
        menu
    };

    /** `name` is also the initial button text; change it with setButtonText. */
    BarButton (const juce::String& name, Icon icon);
    ~BarButton() override;

    /** Draws the box behind an icon too; a button with icon `none` always has it. */
    bool framed = false;
    const Icon icon;

    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BarButton)
};
} // namespace br::ui
