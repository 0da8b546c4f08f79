#include "dsp/LfoShape.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
struct ShapeCase
{
    const char* what;
    int waveform; // index as the "waveform" parameter carries it
    double phase; // in cycles, [0, 1)
    double expected;
};

// Corners and jumps: where a `<` written as `<=`, or a missing wrap, shows.
constexpr ShapeCase shapeCases[]{
    {"square starts high", 0, 0.0, 1.0},
    {"square drops at half cycle", 0, 0.5, -1.0},
    {"square just before the drop", 0, 0.4999999, 1.0},
    {"triangle rises first", 1, 0.125, 0.5},
    {"triangle peaks at a quarter", 1, 0.25, 1.0},
    {"triangle crosses at half", 1, 0.5, 0.0},
    {"triangle bottoms at three quarters", 1, 0.75, -1.0},
    {"triangle climbs back", 1, 0.875, -0.5},
    {"saw up starts at 0", 2, 0.0, 0.0},
    {"saw up just before the jump", 2, 0.4999, 0.9998},
    {"saw up jumps to the bottom", 2, 0.5, -1.0},
    {"saw down starts at 0", 3, 0.0, 0.0},
    {"saw down jumps to the top", 3, 0.5, 1.0},
    {"saw down near the end", 3, 0.75, 0.5},
    {"sine at a quarter", 4, 0.25, 1.0},
    {"sine at half is exactly 0", 4, 0.5, 0.0},
    {"sine at three quarters", 4, 0.75, -1.0},
    {"unknown index falls to sine", 9, 0.25, 1.0},
    {"negative index falls to sine", -1, 0.75, -1.0},
};
} // namespace

TEST (LfoShape, MatchesTheShapeTableAtItsCorners)
{
    for (const auto& c : shapeCases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_NEAR (br::dsp::lfoShape (c.waveform, c.phase), c.expected, 1.0e-12);
    }
}

TEST (LfoShape, StaysWithinPlusMinusOneAndEveryShapeButSquareStartsAtZero)
{
    for (int w = 0; w < 5; ++w)
    {
        SCOPED_TRACE (w);
        for (int i = 0; i < 10000; ++i)
        {
            const double v = br::dsp::lfoShape (w, i / 10000.0);
            ASSERT_LE (std::abs (v), 1.0);
        }
        EXPECT_EQ (br::dsp::lfoShape (w, 0.0), w == 0 ? 1.0 : 0.0);
    }
}
