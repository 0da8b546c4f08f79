#include "dsp/Ramp.h"

#include <gtest/gtest.h>

using br::dsp::Ramp;

TEST (Ramp, GlidesInAStraightLineAndLandsExactlyOnTheTarget)
{
    const struct
    {
        const char* what;
        float from, to;
        int length;
    } cases[]{
        {"up over 882", 0.0f, 1.0f, 882},
        {"down to zero, where a residue would keep a stage on", 0.7f, 0.0f, 960},
        {"increment that float cannot hold exactly", 0.1f, 0.3f, 7},
        {"one sample", -5.0f, 5.0f, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Ramp r;
        r.jumpTo (c.from);
        r.glideTo (c.to, c.length);
        float previous = c.from;
        for (int i = 1; i <= c.length; ++i)
        {
            const float v = r.next();
            EXPECT_NEAR (v - previous, (c.to - c.from) / c.length, 1.0e-5f) << "step " << i;
            previous = v;
            EXPECT_EQ (r.isMoving(), i < c.length);
        }
        EXPECT_EQ (previous, c.to);
        EXPECT_EQ (r.next(), c.to) << "and stays there";
    }
}

TEST (Ramp, RestartsFromWhereItStandsButIgnoresTheSameTarget)
{
    Ramp r;
    r.jumpTo (0.0f);
    r.glideTo (1.0f, 100);
    for (int i = 0; i < 50; ++i)
        r.next();
    EXPECT_NEAR (r.current, 0.5f, 1.0e-6f);

    r.glideTo (1.0f, 100); // a host re-sending the value must not slow the glide
    EXPECT_EQ (r.countdown, 50);

    r.glideTo (1.0f + 1.0e-6f, 100); // any real change starts a fresh glide from here
    EXPECT_EQ (r.countdown, 100);
    for (int i = 0; i < 100; ++i)
        r.next();
    EXPECT_EQ (r.current, 1.0f + 1.0e-6f);

    r.glideTo (0.0f, 10);
    r.next();
    r.jumpTo (0.25f);
    EXPECT_FALSE (r.isMoving());
    EXPECT_EQ (r.next(), 0.25f);
}
