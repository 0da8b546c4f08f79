#pragma once
#include "dsp/Select.h"

namespace br::dsp
{
/** Turns a pair (sin x, cos x) by `quarter` quarter turns (taken mod 4), with a
    branch: for scalar code, where this is cheaper than the arithmetic selection the
    vectorised form needs. Both give the same bits for every finite input. */
template <typename T> inline void turnByQuarters (int quarter, T s, T c, T& sine, T& cosine) noexcept
{
    switch (quarter & 3)
    {
    case 0:
        sine = s;
        cosine = c;
        break;
    case 1:
        sine = c;
        cosine = -s;
        break;
    case 2:
        sine = -s;
        cosine = -c;
        break;
    default:
        sine = -c;
        cosine = s;
        break;
    }
}

/** Sine and cosine of a turn measured in cycles (1.0 = 2 pi), in double precision,
    accurate to about 2e-16 relative for |cycles| < 2^48.

    Why not std::sin: the engine needs the LFO sine (and its quarter-cycle
    neighbours) every sample, and the rotation's sine and cosine too. A libm call
    per value is most of the cost of the whole engine, and it cannot be
    vectorised. This kernel is branch-free, so a loop over a block of phases
    compiles to SIMD code, and reducing by whole quarter cycles before scaling by
    2 pi keeps the result exact at the crossings (sin of half a cycle is 0, not
    the 1.2e-16 that sin (2 pi * 0.5) gives). Rounded to float, the results agree
    with float (std::sin (2 pi p)) to within one float ulp. */
template <Choice how = Choice::lanes> inline void sinCosCycles (double cycles, double& sine, double& cosine) noexcept
{
    // Adding and removing 1.5 * 2^52 rounds to the nearest integer without a
    // libm call (SSE2 has no rounding instruction). Plain IEEE arithmetic, so the
    // compiler must keep it as written.
    constexpr double roundingMagic = 6755399441055744.0;

    const double quarters = cycles * 4.0; // exact: a power of two
    const double q = (quarters + roundingMagic) - roundingMagic;
    const double x = (quarters - q) * 1.5707963267948966; // within +-pi/4; the difference is exact
    const double z = x * x;

    // Cephes' minimax polynomials for sin and cos on [-pi/4, pi/4], evaluated in
    // Estrin's pairs rather than Horner's chain: the same accuracy in half the
    // latency, which is what a block of one sample waits for.
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double ps = ((-1.66666666666666307295e-1 + 8.33333333332211858878e-3 * z) +
                       z2 * (-1.98412698295895385996e-4 + 2.75573136213857245213e-6 * z)) +
                      z4 * (-2.50507477628578072866e-8 + 1.58962301576546568060e-10 * z);
    const double s = x + x * (z * ps);

    const double pc = ((4.16666666666665929218e-2 - 1.38888888888730564116e-3 * z) +
                       z2 * (2.48015872888517045348e-5 - 2.75573141792967388112e-7 * z)) +
                      z4 * (2.08757008419747316778e-9 - 1.13585365213876817300e-11 * z);
    const double c = (1.0 - 0.5 * z) + z2 * pc;

    if constexpr (how == Choice::branch)
    {
        turnByQuarters (static_cast<int> (q), s, c, sine, cosine);
        return;
    }

    // The quadrant q mod 4 as m in -2 .. 2 (both +-2 mean the half turn), found with
    // the same rounding trick so that everything stays in double lanes.
    const double m = q - 4.0 * ((q * 0.25 + roundingMagic) - roundingMagic);
    const double mm = m * m;
    // Swapping by exact multiplications by 0 and 1 rather than by selects: GCC moves
    // a value that only one arm of a select needs into a branch and then will not
    // vectorise the loop (float maths may trap). `odd` is 1 for m = +-1 and 0 for
    // m = 0, +-2, exactly (3 x the double nearest 1/3 rounds to 1), and it is not a
    // visible select, so both polynomials are always computed.
    const double odd = mm * (4.0 - mm) * (1.0 / 3.0);
    const double even = 1.0 - odd;
    const double sw = s * even + c * odd;
    const double cw = c * even + s * odd;
    const double sineSign = (m + 0.5) * (m - 1.5) > 0.0 ? -1.0 : 1.0;   // quadrants 2 and 3: m = -2, -1, 2
    const double cosineSign = (m - 0.5) * (m + 1.5) > 0.0 ? -1.0 : 1.0; // quadrants 1 and 2: m = -2, 1, 2
    sine = sineSign * sw;
    cosine = cosineSign * cw;
}

/** Sine and cosine of an angle in radians in single precision, within about two
    float ulp of std::sin and std::cos for |radians| < 1e5. The float sibling of
    the kernel above, for the rotation stage, where single precision is the
    contract and four lanes per vector halve the cost again. */
template <Choice how = Choice::lanes> inline void sinCosRadians (float radians, float& sine, float& cosine) noexcept
{
    constexpr float roundingMagic = 12582912.0f; // 1.5 * 2^23
    const float q = (radians * 0.636619772f + roundingMagic) - roundingMagic;

    // pi/2 in three parts (Cody and Waite); the first two have so few bits that
    // q times them is exact, which keeps the reduced angle accurate.
    const float x = ((radians - q * 1.5703125f) - q * 4.837512969970703125e-4f) - q * 7.54978995489188216e-8f;
    const float z = x * x;

    // Cephes' sinf and cosf polynomials on [-pi/4, pi/4].
    const float s = x + x * z * ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f);
    const float c =
        1.0f - 0.5f * z + z * z * ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f);

    if constexpr (how == Choice::branch)
    {
        turnByQuarters (static_cast<int> (q), s, c, sine, cosine);
        return;
    }

    const float m = q - 4.0f * ((q * 0.25f + roundingMagic) - roundingMagic);
    const float mm = m * m;
    const float sw = select<how> (mm == 1.0f, c, s);
    const float cw = select<how> (mm == 1.0f, s, c);
    sine = select<how> ((m + 0.5f) * (m - 1.5f) > 0.0f, -sw, sw);
    cosine = select<how> ((m - 0.5f) * (m + 1.5f) > 0.0f, -cw, cw);
}
} // namespace br::dsp
