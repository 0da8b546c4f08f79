#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::test
{
/** Takes the areas a component without a window marks for drawing, as its window would.
    Set it on the top component with setCachedComponentImage for the calls to watch and
    take it off before painting: while it is set, the component paints nothing. */
class RepaintRecorder : public juce::CachedComponentImage
{
public:
    explicit RepaintRecorder (juce::RectangleList<int>& areas) : marked (areas) {}
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return false; }
    bool invalidate (const juce::Rectangle<int>& area) override
    {
        marked.add (area);
        return false;
    }
    void releaseResources() override {}

private:
    juce::RectangleList<int>& marked;
};

/** Runs `change` and returns the areas of `top` it marked for drawing. `top` must be
    visible and have no parent. */
template <typename Change>
juce::RectangleList<int> areasMarkedBy (juce::Component& top, Change&& change)
{
    juce::RectangleList<int> marked;
    top.setCachedComponentImage (new RepaintRecorder (marked));
    change();
    top.setCachedComponentImage (nullptr);
    return marked;
}
} // namespace br::test
