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

    /** The pixels that new levels and peak holds change: the part of each bar between its
        old and its new top, and a readout whose text or colour changes. Empty when the
        meter would look the same. */
    juce::RectangleList<int> areaChangedBy (std::array<float, 2> newLevel, std::array<float, 2> newPeakHold) const;
    /** Stores new levels and peak holds and repaints the area they change. Meant for every
        refresh tick: a bar that creeps by less than a pixel per tick still ends where the
        level is. */
    void setReadings (std::array<float, 2> newLevel, std::array<float, 2> newPeakHold);

    void mouseDown (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

private:
    float barHeight() const;
    float troughHeight() const;
    /** Left edge of a channel's bar frame. */
    float barX (size_t channel) const;
    /** Where the top of a bar showing this amplitude is drawn; the trough's bottom when empty. */
    float barTop (float amplitude) const;
    /** Everything a channel's readout draws: its box, outline and text. */
    juce::Rectangle<int> readoutArea (size_t channel) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LevelMeter)
};
} // namespace br::ui
