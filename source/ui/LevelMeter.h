#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

namespace br::ui
{
/** The output meter: a left and a right bar on a decibel scale (-60 dB empty, 0 dB at
    60/66 of the height, +6 dB full) with a peak-hold readout under each. It reads
    nothing itself: the owner writes `level` and `peakHold` and calls repaint(). Any
    click clears the peak holds. Message thread only. */
class LevelMeter : public juce::Component, public juce::SettableTooltipClient
{
public:
    LevelMeter();
    ~LevelMeter() override;

    /** Shown level per channel (left, right), linear amplitude, 1.0 = full scale. */
    std::array<float, 2> level { 0.0f, 0.0f };
    /** Highest level since the last reset, linear amplitude. */
    std::array<float, 2> peakHold { 0.0f, 0.0f };

    /** Bar fraction for a linear amplitude: 0 at or below 1e-6, else (dB + 60) / 66 in [0, 1]. */
    static float barFraction (float amplitude);
    /** Readout for a linear amplitude: "-Inf" at or below 1e-6, else dB with one decimal. */
    static juce::String readoutText (float amplitude);

    void mouseDown (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LevelMeter)
};
} // namespace br::ui
