#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>
#include <gtest/gtest.h>

namespace br::test
{
/** Paints `component` (children and look-and-feel included) into a fresh transparent
    ARGB image of its own size. */
juce::Image paintComponent (juce::Component& component);

/** A mouse event at `position` in `component`'s coordinates, as JUCE would deliver it.
    `mods` should carry the button flag for presses and drags. */
juce::MouseEvent mouseEvent (juce::Component& component, juce::Point<float> position, juce::ModifierKeys mods,
                             int clicks = 1, juce::Point<float> downPosition = { -1.0f, -1.0f });

/** Synthesised press, drag, release and double-click sequences, delivered straight to
    the component's handlers. */
struct Mouse
{
    juce::Component& target;
    juce::Point<float> downAt {};

    void press (juce::Point<float> at, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier);
    void drag (juce::Point<float> to, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier);
    void release (juce::Point<float> at, juce::ModifierKeys mods = {});
    void click (juce::Point<float> at, juce::ModifierKeys mods = {});
    void doubleClick (juce::Point<float> at);
};

/** Runs the message loop until `done` returns true or the guard time runs out (a hang
    guard, not a timing check). Returns `done()`. */
bool pumpUntil (const std::function<bool()>& done, int guardMs = 10000);
/** Runs every message that is already waiting. */
void pumpPending();

/** Per-channel distance between two colours, alpha included. */
int colourDistance (juce::Colour a, juce::Colour b);

/** The brightest red channel inside `area` of `image`: on our dark panels, text and
    strokes are the only bright things, so this reads how bright they were drawn. */
int brightestRed (const juce::Image& image, juce::Rectangle<int> area);

/** True when some pixel inside `area` has a red channel of at least `minRed`. */
bool hasInk (const juce::Image& image, juce::Rectangle<int> area, int minRed);

/** The columns inside `area` from the first to the last holding a pixel that `isInk`
    accepts, end exclusive; { -1, 0 } when there is none. */
juce::Range<int> inkColumns (const juce::Image& image, juce::Rectangle<int> area,
                             const std::function<bool (juce::Colour)>& isInk);

/** `over` with `alpha` (0..255) composited onto opaque `under`. */
juce::Colour blend (juce::Colour under, juce::Colour over, float alpha);

/** A tip as the tooltip drawing sets it into a box of the given size. */
struct SetTip
{
    int lines = 0;            // distinct baselines
    bool whole = false;       // every character of the tip there at its one-line width: none cut, none squeezed
    bool fullSize = false;    // every glyph in the tooltip font's own height
    bool inside = false;      // every glyph inside the box's text area
    std::vector<float> baselines;
};
SetTip setTip (const juce::String& tip, juce::Rectangle<int> box);

/** True when the test process has its own X display (see OnDisplay). */
bool privateDisplayRunning();
} // namespace br::test

#define EXPECT_COLOUR_NEAR(actual, expected, tolerance)                                                   \
    EXPECT_LE (br::test::colourDistance ((actual), (expected)), (tolerance))                              \
        << "actual " << (actual).toDisplayString (true).toStdString() << ", expected "                        \
        << (expected).toDisplayString (true).toStdString()

/** Base of the suites that need a real window, keyboard focus or a popup menu. Name such
    suites "...OnDisplay": before any test runs, a private Xvfb server is started when a
    selected test belongs to one, and stopped after JUCE has closed its connection. */
class OnDisplay : public testing::Test
{
protected:
    void SetUp() override;
};
