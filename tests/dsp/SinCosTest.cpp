#include "dsp/SinCos.h"
#include "dsp/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace
{
constexpr double pi = 3.14159265358979323846;

using br::test::ulpDistance;
} // namespace

TEST (SinCos, CycleKernelRoundsToTheSameFloatsAsLibmSine)
{
    // Every quadrant, dense: rounded to float, within one ulp of float (sin (2 pi p)),
    // except within 1e-15 of a zero crossing, where libm's own argument is off by that.
    std::int64_t worst = 0;
    for (int i = 0; i < 2000000; ++i)
    {
        const double p = i / 2000000.0;
        double s, c;
        br::dsp::sinCosCycles (p, s, c);
        double sb, cb;
        br::dsp::sinCosCycles<br::dsp::Choice::branch> (p, sb, cb);
        ASSERT_EQ (s, sb) << "both ways of choosing give the same bits";
        ASSERT_EQ (c, cb);
        const double plainSine = std::sin (2.0 * pi * p), plainCosine = std::cos (2.0 * pi * p);
        ASSERT_NEAR (s, plainSine, 1.0e-15) << p; // libm itself is off by up to one ulp of 2 pi p
        ASSERT_NEAR (c, plainCosine, 1.0e-15) << p;
        if (std::abs (plainSine) > 1.0e-12)
            worst = std::max (worst, ulpDistance (static_cast<float> (s), static_cast<float> (plainSine)));
        if (std::abs (plainCosine) > 1.0e-12)
            worst = std::max (worst, ulpDistance (static_cast<float> (c), static_cast<float> (plainCosine)));
    }
    EXPECT_LE (worst, 1);
}

TEST (SinCos, CycleKernelIsExactOnTheQuarters)
{
    const struct
    {
        double cycles, sine, cosine;
    } cases[]{{0.0, 0.0, 1.0},    {0.25, 1.0, 0.0},  {0.5, 0.0, -1.0}, {0.75, -1.0, 0.0},
              {-0.25, -1.0, 0.0}, {-0.5, 0.0, -1.0}, {3.0, 0.0, 1.0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.cycles);
        double s, co;
        br::dsp::sinCosCycles (c.cycles, s, co);
        EXPECT_EQ (std::abs (s), std::abs (c.sine));
        EXPECT_EQ (s == 0.0 ? 0.0 : s, c.sine);
        EXPECT_EQ (co == 0.0 ? 0.0 : co, c.cosine);
    }
}

TEST (SinCos, RadianKernelIsWithinTwoUlpsOfLibmOverTheRotationRange)
{
    // The rotation turns by at most half of 360 degrees either way: |theta| <= pi.
    std::int64_t worstSine = 0, worstCosine = 0;
    for (int i = -2000000; i <= 2000000; ++i)
    {
        const float theta = static_cast<float> (i) * static_cast<float> (pi / 2000000.0);
        float s, c;
        br::dsp::sinCosRadians (theta, s, c);
        float sb, cb;
        br::dsp::sinCosRadians<br::dsp::Choice::branch> (theta, sb, cb);
        ASSERT_EQ (s, sb) << "both ways of choosing give the same bits";
        ASSERT_EQ (c, cb);
        const auto wantSine = static_cast<float> (std::sin (static_cast<double> (theta)));
        const auto wantCosine = static_cast<float> (std::cos (static_cast<double> (theta)));
        if (std::abs (wantSine) > 1.0e-6f)
            worstSine = std::max (worstSine, ulpDistance (s, wantSine));
        else
            ASSERT_NEAR (s, wantSine, 1.0e-13f);
        if (std::abs (wantCosine) > 1.0e-6f)
            worstCosine = std::max (worstCosine, ulpDistance (c, wantCosine));
        else
            ASSERT_NEAR (c, wantCosine, 1.0e-13f);
    }
    EXPECT_LE (worstSine, 2);
    EXPECT_LE (worstCosine, 2);
}

TEST (SinCos, NearZeroKernelGivesTheRadianKernelsBitsForNarrowTurns)
{
    // The engine skips the reduction while its rotation angle stays within +-89
    // degrees; it may only do so if the bits come out the same, signed zero included.
    constexpr auto piFloat = static_cast<float> (pi);
    for (int i = -2000000; i <= 2000000; ++i)
    {
        const float degrees = static_cast<float> (i) * (89.0f / 2000000.0f);
        const float theta = degrees * piFloat / 360.0f; // as the engine computes it
        float s, c, sn, cn;
        br::dsp::sinCosRadians (theta, s, c);
        br::dsp::sinCosNearZero (theta, sn, cn);
        ASSERT_EQ (std::signbit (s), std::signbit (sn)) << degrees;
        ASSERT_EQ (s, sn) << degrees;
        ASSERT_EQ (c, cn) << degrees;
    }
}
