#include "dsp/ModEngine.h"
#include "dsp/DelayLine.h"
#include "dsp/LfoShape.h"
#include "dsp/Select.h"
#include "dsp/SinCos.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// On x86 with GCC or Clang the per-sample loops also exist as AVX2 code, chosen at
// run time, so the plug-in still runs on any x86-64 processor.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define BR_WIDE_VECTORS 1
#else
#define BR_WIDE_VECTORS 0
#endif

namespace br::dsp
{
namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr float piFloat = static_cast<float> (pi);

// Long blocks run in two passes over chunks of this many samples: one scalar loop
// for what is serial (phase, phasor, smoothers, delay writes and tap copies), then
// one vector loop for the rest (interpolation, tremolo, rotation with its sine and
// cosine, mix, peaks). The chunk buffers live on the stack, so the host's block
// length never matters for memory.
constexpr int chunkSize = 64;

// Below this many samples the passes cost more in set-up than they save, and one
// fused loop does the same arithmetic in the same order instead.
constexpr int shortestChunkForPasses = 4;

bool isOn (float switchValue) noexcept
{
    return switchValue > 0.5f;
}

/** A choice value truncated towards zero, as the parameter's index. NaN lands on
    `fallback`, and huge values are held to +-1e6 first: converting a float beyond
    the int range is undefined behaviour. */
int truncatedIndex (float value, int fallback) noexcept
{
    if (std::isnan (value))
        return fallback;
    return static_cast<int> (std::clamp (value, -1.0e6f, 1.0e6f));
}

template <int waveform> double shapeAt (double p) noexcept
{
    if constexpr (waveform == static_cast<int> (Waveform::square))
        return squareShape (p);
    else if constexpr (waveform == static_cast<int> (Waveform::triangle))
        return triangleShape (p);
    else if constexpr (waveform == static_cast<int> (Waveform::sawUp))
        return sawUpShape (p);
    else
        return sawDownShape (p);
}

/** Largest |sample|. In GCC's vector types, eight floats at a time: without
    fast-math the compiler keeps a running maximum scalar, even one split into
    lanes. Inlined into each build of the mix loop, so the AVX2 one takes all eight
    per instruction. A NaN is passed over. */
[[gnu::always_inline]] inline float peakOf (const float* samples, int numSamples) noexcept
{
    using Floats = float __attribute__ ((vector_size (32)));
    using Bits = std::uint32_t __attribute__ ((vector_size (32)));
    constexpr int lanes = sizeof (Floats) / sizeof (float);
    Floats most{};
    int i = 0;
    for (; i + lanes <= numSamples; i += lanes)
    {
        Floats v;
        std::memcpy (&v, samples + i, sizeof (v));
        Bits bits;
        std::memcpy (&bits, &v, sizeof (bits));
        bits &= 0x7fffffffu;
        std::memcpy (&v, &bits, sizeof (v));
        most = v > most ? v : most;
    }
    float peak = 0.0f;
    for (int k = 0; k < lanes; ++k)
        peak = std::max (peak, most[k]);
    for (; i < numSamples; ++i)
        peak = std::max (peak, std::abs (samples[i]));
    return peak;
}

/** Bitwise equality, so that a NaN value compares equal to itself and -0 differs from 0. */
bool sameBits (const BlockParams& a, const BlockParams& b) noexcept
{
    std::uint32_t difference = 0;
    for (size_t i = 0; i < a.values.size(); ++i)
    {
        std::uint32_t x, y;
        std::memcpy (&x, &a.values[i], sizeof (x));
        std::memcpy (&y, &b.values[i], sizeof (y));
        difference |= x ^ y;
    }
    return difference == 0;
}

// The per-sample formulas, shared by the chunk passes and the sample-by-sample loop
// so that both give the same bits.

/** Moves an LFO output towards its shape value. */
inline float smooth (float output, float shapeValue, float coefficient) noexcept
{
    return output + coefficient * (shapeValue - output);
}

/** Delay in samples for the FM output. In double: at 192 kHz the delay reaches
    5760 samples, where a float would keep only 1/2048 of a sample. */
inline double delayInSamples (float fmOutput, float depthSamples) noexcept
{
    return (static_cast<double> (fmOutput) + 1.0) * static_cast<double> (depthSamples);
}

/** The delay split into whole samples, truncated, and a fraction. */
inline void splitDelay (double delay, int& whole, float& fraction) noexcept
{
    whole = static_cast<int> (delay);
    fraction = static_cast<float> (delay - whole);
}

/** Tremolo gain: 1 while the AM output is at +1, 1 - depth at -1. */
inline float tremoloGain (float amDepth, float amOutput) noexcept
{
    return 1.0f - 0.5f * amDepth * (1.0f - amOutput);
}

/** Rotation angle in degrees. */
inline float rotationAngle (float halfRange, float baseOutput, float centre) noexcept
{
    return halfRange * baseOutput + centre;
}

/** How a stretch of samples turns the stereo pair: not at all (rotation off and at
    rest, or mono), within +-89 degrees (the half angle stays below pi/4, where
    sine and cosine need no reduction and come out the same bits), or any angle. */
enum class Turn
{
    none,
    narrow,
    full
};

/** How a stretch of samples reads the vibrato delay line: every read at least one
    sample back (the cubic), some below (the cubic or a straight line), or no delay
    at all (FM at rest at depth 0: the straight line from the input sample to the
    one before, at fraction 0). */
enum class DelayRead
{
    cubic,
    cubicOrStraight,
    none
};

template <Turn turn> using TurnKind = std::integral_constant<Turn, turn>;
template <DelayRead read> using ReadKind = std::integral_constant<DelayRead, read>;

constexpr float widestNarrowTurnDegrees = 89.0f;

/** Turns the wet pair by half the angle, so 180 degrees gives (R, -L). An angle of
    exactly 0 leaves the pair untouched, bit for bit. */
template <Choice how, Turn range = Turn::full>
inline void rotate (float angleDegrees, float& left, float& right) noexcept
{
    if constexpr (how == Choice::branch)
    {
        if (angleDegrees == 0.0f)
            return;
    }
    float s, c;
    if constexpr (range == Turn::narrow)
        sinCosNearZero (angleDegrees * piFloat / 360.0f, s, c);
    else
        sinCosRadians<how> (angleDegrees * piFloat / 360.0f, s, c);
    const float turnedLeft = left * c + right * s;
    const float turnedRight = right * c - left * s;
    const bool nonZero = angleDegrees != 0.0f;
    left = select<how> (nonZero, turnedLeft, left);
    right = select<how> (nonZero, turnedRight, right);
}

inline float mixAndGain (float dry, float wet, float mix, float gain) noexcept
{
    return gain * (dry + mix * (wet - dry));
}

/** Fades between the processed and the untouched sample for bypass. At either end
    the result is exactly one of them (not dry + 0 x (processed - dry), which turns
    -0 into +0), so a settled bypass changes no bit and can skip the audio path. */
template <Choice how> inline float engage (float dry, float processed, float engaged) noexcept
{
    return select<how> (engaged == 1.0f, processed,
                        select<how> (engaged == 0.0f, dry, dry + engaged * (processed - dry)));
}

/** Calls `f` with one std::bool_constant per flag, so a choice fixed for a whole
    chunk becomes a template argument instead of a branch in every sample. */
template <typename F> inline void withFlags (F&& f)
{
    f();
}
template <typename F, typename... Rest> inline void withFlags (F&& f, bool first, Rest... rest)
{
    if (first)
        withFlags ([&] (auto... more) { f (std::true_type{}, more...); }, rest...);
    else
        withFlags ([&] (auto... more) { f (std::false_type{}, more...); }, rest...);
}

bool sameBits (float a, float b) noexcept
{
    std::uint32_t x, y;
    std::memcpy (&x, &a, sizeof (x));
    std::memcpy (&y, &b, sizeof (y));
    return x == y;
}
} // namespace

struct ModEngine::Chunk
{
    alignas (32) float am[chunkSize]; // smoothed LFO outputs; `am` stays unwritten while it equals `base`
    alignas (32) float base[chunkSize];

    // Settings per sample, from the ramps, filled only while one of them glides.
    alignas (32) float amDepth[chunkSize];
    alignas (32) float fmDepth[chunkSize];
    alignas (32) float rotCenter[chunkSize];
    alignas (32) float rotHalfRange[chunkSize];
    alignas (32) float gain[chunkSize];
    alignas (32) float mix[chunkSize];
    alignas (32) float engaged[chunkSize];

    // Delay read: the delay in samples, and the four taps per channel as they lie
    // in the line, oldest first (two older, one older, at, one newer): one
    // 16-byte copy per channel and sample instead of four masked reads.
    alignas (64) double delay[chunkSize];
    double shortestDelay = 0.0; // below one sample, the line is read along a straight line

    // With no delay at all, the sample before each input sample, where the straight
    // line goes: in the delay line itself, or copied here where the line wraps.
    const float* previousLeft = nullptr;
    const float* previousRight = nullptr;
    alignas (32) float previousLeftCopy[chunkSize];
    alignas (32) float previousRightCopy[chunkSize];
    alignas (16) float tapsLeft[chunkSize][4];
    alignas (16) float tapsRight[chunkSize][4];
};

/** The loops of a block. The engine's state stays in the engine (a loop reads and writes
    its members through `e`), so no block copies it in or out. */
struct ModEngine::Loops
{
    /** The two loops that carry the per-sample work, as kernels for runKernel. The
        arguments cross the call that picks the instruction set as pointers and values,
        so the loop bodies, always inlined, see the state in the engine. */
    template <int waveform, bool stereo, bool amShares, bool fmShares, bool readDelay> struct Lfo
    {
        [[gnu::always_inline]] static void run (ModEngine* e, const BlockSetup* block, Chunk* chunk, const float* left,
                                                const float* right, int first, int end, bool moving) noexcept
        {
            runLfoAndDelay<waveform, stereo, amShares, fmShares, readDelay> (*e, *block, *chunk, left, right, first,
                                                                             end, moving);
        }
    };
    template <bool stereo, Turn turn, bool blend, bool moving, DelayRead read> struct Mix
    {
        [[gnu::always_inline]] static void run (ModEngine* e, const Chunk* chunk, const float* amOutput, float* left,
                                                float* right, int numSamples) noexcept
        {
            mixChunk<stereo, turn, blend, moving, read> (*e, *chunk, amOutput, left, right, numSamples);
        }
    };

    template <int waveform, bool stereo, bool moving, bool shares, Turn turn> struct FewSamples
    {
        [[gnu::always_inline]] static void run (ModEngine* e, const BlockSetup* block, float* left, float* right,
                                                int numSamples, bool blend) noexcept
        {
            renderSampleBySample<waveform, stereo, moving, shares, turn> (*e, *block, left, right, numSamples, blend);
        }
    };

    /** The one place where a kernel's instruction set is chosen. Each kernel is
        compiled once for the baseline and, on x86, once more for AVX2 (`widenable`
        kernels only): three-operand instructions and eight floats per vector nearly
        halve their instruction count. No fused multiply-add in either (the engine is
        built without contraction), so both give the same bits; which one runs only
        changes the cost. */
    template <typename Kernel, bool widenable, typename... Args>
    static void runKernel (ModEngine& e, Args... args) noexcept
    {
#if BR_WIDE_VECTORS
        if constexpr (widenable)
        {
            if (e.wideVectors)
            {
                wide<Kernel> (args...);
                return;
            }
        }
#endif
        baseline<Kernel> (args...);
    }
    template <typename Kernel, typename... Args> [[gnu::noinline]] static void baseline (Args... args) noexcept
    {
        Kernel::run (args...);
    }
#if BR_WIDE_VECTORS
    template <typename Kernel, typename... Args>
    [[gnu::noinline, gnu::target ("avx2")]] static void wide (Args... args) noexcept
    {
        Kernel::run (args...);
    }
#endif
    template <int waveform> static void render (ModEngine& e, const BlockSetup& block, AudioView audio) noexcept
    {
        const bool stereo = audio.right != nullptr;
        for (int start = 0; start < audio.numSamples; start += chunkSize)
        {
            const int n = std::min (chunkSize, audio.numSamples - start);
            float* left = audio.left + start;
            float* right = stereo ? audio.right + start : nullptr;

            // Decided before the ramps advance: one that lands within this chunk still
            // moved on its earlier samples. Neither `blend` nor `turn` changes a bit of the
            // result (see `rotate` and `engage`); they only skip work that would change nothing.
            const bool moving = !e.rampsAtRest && e.anyRampMoving();
            const bool blend = moving || e.engagedRamp.current != 1.0f;
            const bool turn =
                stereo && (moving || e.rotCenterRamp.current != 0.0f || e.rotHalfRangeRamp.current != 0.0f);

            if (n < shortestChunkForPasses)
                renderFewSamples<waveform> (e, block, left, right, n, turn, blend, moving);
            else
            {
                renderChunk<waveform> (e, block, left, right, n, turn, blend, moving);
            }
        }
        if (!e.rampsAtRest)
            e.rampsAtRest = !e.anyRampMoving();

        // The phasor followed no phase while another shape played.
        if constexpr (waveform != static_cast<int> (Waveform::sine))
            e.sinePhasor.restart();
    }

    /** Tiny host blocks: the cost is the sample's own arithmetic and the state taken in
        and out, so at rest the loop is made for the block's case (shared smoothers, how
        far the pair turns) and runs in the wider instruction set. Gliding settings
        are rare and short, and take the general loop. */
    template <int waveform>
    static void renderFewSamples (ModEngine& e, const BlockSetup& block, float* left, float* right, int n, bool turn,
                                  bool blend, bool moving) noexcept
    {
        const bool stereo = right != nullptr;
        if (moving)
        {
            if (stereo)
                turn ? runKernel<FewSamples<waveform, true, true, false, Turn::full>, false> (e, &e, &block, left,
                                                                                              right, n, blend)
                     : runKernel<FewSamples<waveform, true, true, false, Turn::none>, false> (e, &e, &block, left,
                                                                                              right, n, blend);
            else
                runKernel<FewSamples<waveform, false, true, false, Turn::none>, false> (e, &e, &block, left, right, n,
                                                                                        blend);
            return;
        }

        const bool shares = sharesBase (e, block);
        const auto run = [&] (auto stereoFlag, auto turnKind)
        {
            withFlags (
                [&] (auto sharesFlag)
                {
                    runKernel<FewSamples<waveform, decltype (stereoFlag)::value, false, decltype (sharesFlag)::value,
                                         decltype (turnKind)::value>,
                              true> (e, &e, &block, left, right, n, blend);
                },
                shares);
        };
        if (!stereo)
            run (std::false_type{}, TurnKind<Turn::none>{});
        else if (!turn)
            run (std::true_type{}, TurnKind<Turn::none>{});
        else if (turnsNarrow (e))
            run (std::true_type{}, TurnKind<Turn::narrow>{});
        else
            run (std::true_type{}, TurnKind<Turn::full>{});
    }

    /** Equal states fed equal shape values stay equal: with no offsets, one smoother
        serves all three LFO outputs. */
    static bool sharesBase (const ModEngine& e, const BlockSetup& block) noexcept
    {
        return block.amSharesBase && block.fmSharesBase && sameBits (e.lfoAm, e.lfoBase) &&
               sameBits (e.lfoFm, e.lfoBase);
    }

    /** At rest the angle A = half range x base + centre, with |base| <= 1, never leaves
        +-(|half range| + |centre|). */
    static bool turnsNarrow (const ModEngine& e) noexcept
    {
        return std::abs (e.rotHalfRangeRamp.current) + std::abs (e.rotCenterRamp.current) <= widestNarrowTurnDegrees;
    }

    template <int waveform>
    static void renderChunk (ModEngine& e, const BlockSetup& block, float* left, float* right, int n, bool turn,
                             bool blend, bool moving) noexcept
    {
        const bool stereo = right != nullptr;
        Chunk chunk;
        const int spanAhead = samplesWritableAhead (e); // before the ramps move past this chunk's depths
        if (moving)
            runRamps (e, chunk, n);

        // Equal states fed equal shape values stay equal: one smoother serves both.
        const bool amShares = block.amSharesBase && sameBits (e.lfoAm, e.lfoBase);
        const bool fmShares = block.fmSharesBase && sameBits (e.lfoFm, e.lfoBase);

        // A settled bypass passes the input untouched (see `engage`), so only what the
        // return needs runs: the LFO and the delay writes. With FM at rest at depth 0
        // every read is the input sample itself and the one before (delay 0), which the
        // mix loop takes without the taps.
        const bool settledBypass = !moving && e.engagedRamp.current == 0.0f;
        const bool noDelay = !moving && sameBits (e.fmDepthRamp.current, 0.0f); // -0 would make the fraction -0
        const bool readDelay = !settledBypass && !noDelay;
        const int writtenBefore = e.writeIndex;

        // Where the taps are read, the input goes into the delay lines in stretches
        // written before the LFO loop reads them, so that loop neither stores samples nor
        // waits for a store of its own to land before it can read the taps next to it. A
        // stretch must end before the oldest tap any of its samples reads: the line then
        // still holds, at every tap, what a sample-by-sample loop would find there.
        // Where nothing is read, the LFO loop stores each sample as it goes, which costs
        // it nothing while it waits for its chains.
        const int span = readDelay ? spanAhead : n;
        chunk.shortestDelay = std::numeric_limits<double>::max();
        for (int first = 0; first < n; first += span)
        {
            const int end = std::min (n, first + span);
            if (readDelay)
                writeAhead (e, left + first, stereo ? right + first : nullptr, end - first);
            withFlags (
                [&] (auto stereoFlag, auto amFlag, auto fmFlag, auto readFlag)
                {
                    // Only the loop that reads the delay line gains from the wide build.
                    runKernel<Lfo<waveform, stereoFlag, amFlag, fmFlag, readFlag>, readFlag> (
                        e, &e, &block, &chunk, left, right, first, end, moving);
                },
                stereo, amShares, fmShares, readDelay);
        }

        const float* const amOutput = amShares ? chunk.base : chunk.am;
        const int last = n - 1;
        if (settledBypass)
        {
            e.lastAmGain = tremoloGain (e.amDepthRamp.current, amOutput[last]);
            e.lastAngle = rotationAngle (e.rotHalfRangeRamp.current, chunk.base[last], e.rotCenterRamp.current);
            e.blockPeakLeft = std::max (e.blockPeakLeft, peakOf (left, n));
            if (stereo)
                e.blockPeakRight = std::max (e.blockPeakRight, peakOf (right, n));
        }
        else
        {
            const bool narrow = !moving && turnsNarrow (e);
            if (noDelay)
            {
                // Sample i was written at writtenBefore + 1 + i, so the one before it lies
                // at writtenBefore + i.
                const auto previous = [&] (const std::vector<float>& line, float* copy)
                {
                    if (writtenBefore + n - 1 <= e.delayMask)
                        return line.data() + writtenBefore;
                    for (int i = 0; i < n; ++i)
                        copy[i] = line[static_cast<size_t> ((writtenBefore + i) & e.delayMask)];
                    return static_cast<const float*> (copy);
                };
                chunk.previousLeft = previous (e.delayLeft, chunk.previousLeftCopy);
                if (stereo)
                    chunk.previousRight = previous (e.delayRight, chunk.previousRightCopy);
            }

            const auto mixWith = [&] (auto stereoFlag, auto turnKind, auto readKind)
            {
                withFlags (
                    [&] (auto blendFlag, auto movingFlag)
                    {
                        constexpr bool stereoChunk = decltype (stereoFlag)::value;
                        constexpr Turn how = decltype (turnKind)::value;
                        constexpr DelayRead read = decltype (readKind)::value;
                        // No delay is decided at rest only.
                        if constexpr (read != DelayRead::none || !decltype (movingFlag)::value)
                        {
                            // Fades and glides are short; only the settled state gets the wide build.
                            runKernel<Mix<stereoChunk, how, blendFlag, movingFlag, read>,
                                      !decltype (blendFlag)::value && !decltype (movingFlag)::value> (
                                e, &e, &chunk, amOutput, left, right, n);
                        }
                    },
                    blend, moving);
            };
            const auto mixReading = [&] (auto stereoFlag, auto turnKind)
            {
                if (noDelay)
                    mixWith (stereoFlag, turnKind, ReadKind<DelayRead::none>{});
                else if (chunk.shortestDelay < 1.0)
                    mixWith (stereoFlag, turnKind, ReadKind<DelayRead::cubicOrStraight>{});
                else
                    mixWith (stereoFlag, turnKind, ReadKind<DelayRead::cubic>{});
            };
            if (!stereo)
                mixReading (std::false_type{}, TurnKind<Turn::none>{});
            else if (!turn)
                mixReading (std::true_type{}, TurnKind<Turn::none>{});
            else if (narrow)
                mixReading (std::true_type{}, TurnKind<Turn::narrow>{});
            else
                mixReading (std::true_type{}, TurnKind<Turn::full>{});

            e.lastAmGain = tremoloGain (moving ? chunk.amDepth[last] : e.amDepthRamp.current, amOutput[last]);
            e.lastAngle = moving
                              ? rotationAngle (chunk.rotHalfRange[last], chunk.base[last], chunk.rotCenter[last])
                              : rotationAngle (e.rotHalfRangeRamp.current, chunk.base[last], e.rotCenterRamp.current);
            // The mix loop tracked the peaks.
        }
    }

    template <int waveform, bool stereo, bool rampsMoving, bool shares, Turn turn>
    [[gnu::always_inline]] static void renderSampleBySample (ModEngine& e, const BlockSetup& block, float* left,
                                                             float* right, int numSamples, bool blend) noexcept
    {
        // The state the loop updates is held in locals: the stores into the audio and the
        // delay lines are floats, and the compiler would otherwise reload every float
        // member after each of them.
        float* const lineLeft = e.delayLeft.data();
        float* const lineRight = e.delayRight.data();
        const int mask = e.delayMask;
        const float a = block.smoothing;
        const double increment = block.increment;
        double p = e.phase;
        SinePhasor phasor = e.sinePhasor;
        int newest = e.writeIndex;
        float am = e.lfoAm, fm = e.lfoFm, base = e.lfoBase;
        float peakLeft = e.blockPeakLeft, peakRight = e.blockPeakRight;
        float g = 1.0f, angle = 0.0f;

        // At rest (the usual case) the ramps are constants, taken once; only gliding
        // ones are advanced, in memory.
        const float restingAmDepth = e.amDepthRamp.current, restingFmDepth = e.fmDepthRamp.current,
                    restingCentre = e.rotCenterRamp.current, restingHalfRange = e.rotHalfRangeRamp.current,
                    restingGain = e.gainRamp.current, restingMix = e.mixRamp.current,
                    restingEngaged = e.engagedRamp.current;

        for (int i = 0; i < numSamples; ++i)
        {
            const double samplePhase = p;
            p += increment;
            if (p >= 1.0)
                p -= 1.0;

            if constexpr (shares)
            {
                float shape;
                if constexpr (waveform == static_cast<int> (Waveform::sine))
                {
                    float cosine;
                    phasor.next (samplePhase, block.step, shape, cosine);
                }
                else
                {
                    shape = static_cast<float> (shapeAt<waveform> (samplePhase));
                }
                base = smooth (base, shape, a);
                am = fm = base;
            }
            else if constexpr (waveform == static_cast<int> (Waveform::sine))
            {
                float sine, cosine;
                phasor.next (samplePhase, block.step, sine, cosine);
                am = smooth (am, block.amSign * (block.amFromCosine ? cosine : sine), a);
                fm = smooth (fm, block.fmSign * (block.fmFromCosine ? cosine : sine), a);
                base = smooth (base, sine, a);
            }
            else
            {
                am = smooth (am, static_cast<float> (shapeAt<waveform> (wrapOnce (block.amOffset + samplePhase))), a);
                fm = smooth (fm, static_cast<float> (shapeAt<waveform> (wrapOnce (block.fmOffset + samplePhase))), a);
                base = smooth (base, static_cast<float> (shapeAt<waveform> (samplePhase)), a);
            }

            const float amDepth = rampsMoving ? e.amDepthRamp.next() : restingAmDepth;
            const float fmDepth = rampsMoving ? e.fmDepthRamp.next() : restingFmDepth;
            const float centre = rampsMoving ? e.rotCenterRamp.next() : restingCentre;
            const float halfRange = rampsMoving ? e.rotHalfRangeRamp.next() : restingHalfRange;
            const float gain = rampsMoving ? e.gainRamp.next() : restingGain;
            const float mix = rampsMoving ? e.mixRamp.next() : restingMix;
            const float engaged = rampsMoving ? e.engagedRamp.next() : restingEngaged;

            int whole;
            float fraction;
            splitDelay (delayInSamples (fm, fmDepth), whole, fraction);
            newest = (newest + 1) & mask;
            const int at = newest - whole;
            const bool belowOneSample = whole < 1;
            g = tremoloGain (amDepth, am);
            angle = rotationAngle (halfRange, base, centre);

            const float x = left[i];
            lineLeft[newest] = x;
            float wetLeft = interpolateDelay<Choice::branch> (lineLeft[(at + 1) & mask], lineLeft[at & mask],
                                                              lineLeft[(at - 1) & mask], lineLeft[(at - 2) & mask],
                                                              fraction, belowOneSample) *
                            g;
            float wetRight = 0.0f, y = 0.0f;
            if constexpr (stereo)
            {
                y = right[i];
                lineRight[newest] = y;
                wetRight = interpolateDelay<Choice::branch> (lineRight[(at + 1) & mask], lineRight[at & mask],
                                                             lineRight[(at - 1) & mask], lineRight[(at - 2) & mask],
                                                             fraction, belowOneSample) *
                           g;
                if constexpr (turn != Turn::none)
                    rotate<Choice::branch, turn> (angle, wetLeft, wetRight);
            }

            float outLeft = mixAndGain (x, wetLeft, mix, gain);
            if (blend)
                outLeft = engage<Choice::branch> (x, outLeft, engaged);
            left[i] = outLeft;
            peakLeft = std::max (peakLeft, std::abs (outLeft));

            if constexpr (stereo)
            {
                float outRight = mixAndGain (y, wetRight, mix, gain);
                if (blend)
                    outRight = engage<Choice::branch> (y, outRight, engaged);
                right[i] = outRight;
                peakRight = std::max (peakRight, std::abs (outRight));
            }
        }

        e.phase = p;
        e.sinePhasor = phasor;
        e.writeIndex = newest;
        e.lfoAm = am;
        e.lfoFm = fm;
        e.lfoBase = base;
        e.lastAmGain = g;
        e.lastAngle = angle;
        e.blockPeakLeft = peakLeft;
        e.blockPeakRight = peakRight;
    }

    /** How many samples of input may be written into the delay lines ahead of the
        loop that reads them, for the next chunk. The taps of a sample reach back
        whole + 2 samples from it, and `whole` never exceeds twice the largest FM depth
        the ramp passes through on its way from `current` to `target`; the
        samples written early must stay clear of them. A depth that is negative or not
        finite (never the case from the parameters) gets one sample at a time, as before. */
    static int samplesWritableAhead (const ModEngine& e) noexcept
    {
        const Ramp& depth = e.fmDepthRamp;
        const float lowest = std::min (depth.current, depth.target);
        const float highest = std::max (depth.current, depth.target);
        if (!(lowest >= 0.0f) || !(highest <= static_cast<float> (e.delayMask)))
            return 1;
        const int reach = static_cast<int> (2.0f * highest) + 1 + 2; // whole, its rounding, and the oldest taps
        return std::clamp (e.delayMask - reach, 1, chunkSize);
    }

    /** Writes the next `numSamples` input samples after the newest in the lines,
        without moving `writeIndex`: the LFO loop moves it as it reaches each sample. */
    static void writeAhead (ModEngine& e, const float* left, const float* right, int numSamples) noexcept
    {
        const int first = (e.writeIndex + 1) & e.delayMask;
        const int beforeWrap = std::min (numSamples, e.delayMask + 1 - first);
        const auto write = [&] (std::vector<float>& line, const float* input)
        {
            std::memcpy (line.data() + first, input, static_cast<size_t> (beforeWrap) * sizeof (float));
            std::memcpy (line.data(), input + beforeWrap, static_cast<size_t> (numSamples - beforeWrap) * sizeof (float));
        };
        write (e.delayLeft, left);
        if (right != nullptr)
            write (e.delayRight, right);
    }

    static void runRamps (ModEngine& e, Chunk& chunk, int numSamples) noexcept
    {
        Ramp* const ramps[] = {&e.amDepthRamp, &e.fmDepthRamp, &e.rotCenterRamp, &e.rotHalfRangeRamp,
                               &e.gainRamp,    &e.mixRamp,     &e.engagedRamp};
        float* const values[] = {chunk.amDepth, chunk.fmDepth, chunk.rotCenter, chunk.rotHalfRange,
                                 chunk.gain,    chunk.mix,     chunk.engaged};

        for (size_t r = 0; r < std::size (ramps); ++r)
        {
            Ramp& ramp = *ramps[r];
            float* const out = values[r];
            if (ramp.isMoving())
            {
                for (int i = 0; i < numSamples; ++i)
                    out[i] = ramp.next();
            }
            else
            {
                std::fill (out, out + numSamples, ramp.current);
            }
        }
    }

    /** The chunk's samples `first` to `end` (exclusive). While it reads the delay, their
        input is already in the lines (see `writeAhead`); otherwise the loop stores it. */
    template <int waveform, bool stereo, bool amShares, bool fmShares, bool readDelay>
    [[gnu::always_inline]] static void runLfoAndDelay (ModEngine& e, const BlockSetup& block, Chunk& chunk,
                                                       const float* left, const float* right, int first, int end,
                                                       bool moving) noexcept
    {
        float* const lineLeft = e.delayLeft.data();
        float* const lineRight = e.delayRight.data();
        const int mask = e.delayMask;
        int newest = e.writeIndex;

        // The smoothers are serial chains of three float operations per sample, and the
        // phase and the phasor two more. Everything else of the sample rides along in
        // the same loop (delay and tap copies), so the core works on it while it
        // waits for the chains; what can wait (the split of the delay into whole
        // samples and fraction) is left to the vector loop of the mix.
        const float a = block.smoothing;
        float am = e.lfoAm, fm = e.lfoFm, base = e.lfoBase;
        double shortest = chunk.shortestDelay;

        // A resting depth is the same for every sample: stride 0 through it.
        const float* const fmDepth = moving ? chunk.fmDepth : &e.fmDepthRamp.current;
        const int fmDepthStride = moving ? 1 : 0;

        const auto sampleAt = [&] (int i, float shapeBase, float shapeAm, float shapeFm)
        {
            base = smooth (base, shapeBase, a);
            chunk.base[i] = base;
            if constexpr (amShares)
            {
                am = base;
            }
            else
            {
                am = smooth (am, shapeAm, a);
                chunk.am[i] = am;
            }
            if constexpr (fmShares)
                fm = base;
            else
                fm = smooth (fm, shapeFm, a);

            newest = (newest + 1) & mask;
            if constexpr (!readDelay)
            {
                lineLeft[newest] = left[i];
                if constexpr (stereo)
                    lineRight[newest] = right[i];
            }
            else
            {
                const double delay = delayInSamples (fm, fmDepth[i * fmDepthStride]);
                chunk.delay[i] = delay;
                shortest = delay < shortest ? delay : shortest; // one minsd

                // The four taps lie side by side unless they straddle the end of the line.
                const int whole = static_cast<int> (delay);
                const int oldest = (newest - whole - 2) & mask;
                if (oldest <= mask - 3)
                {
                    std::memcpy (chunk.tapsLeft[i], lineLeft + oldest, sizeof (chunk.tapsLeft[i]));
                    if constexpr (stereo)
                        std::memcpy (chunk.tapsRight[i], lineRight + oldest, sizeof (chunk.tapsRight[i]));
                }
                else
                {
                    for (int k = 0; k < 4; ++k)
                    {
                        chunk.tapsLeft[i][k] = lineLeft[(oldest + k) & mask];
                        if constexpr (stereo)
                            chunk.tapsRight[i][k] = lineRight[(oldest + k) & mask];
                    }
                }
            }
        };

        if constexpr (waveform == static_cast<int> (Waveform::sine))
        {
            double p = e.phase;
            const double increment = block.increment;
            SinePhasor phasor = e.sinePhasor;
            const PhasorStep step = block.step;

            // In runs between refreshes of the phasor, so no sample has to ask for one.
            for (int i = first; i < end;)
            {
                if (phasor.untilRefresh == 0)
                    phasor.refresh (p);
                const int runEnd = std::min (end, i + phasor.untilRefresh);
                phasor.untilRefresh -= runEnd - i;
                for (; i < runEnd; ++i)
                {
                    float sineValue, cosineValue;
                    phasor.take (step, sineValue, cosineValue);
                    p += increment;
                    if (p >= 1.0)
                        p -= 1.0;
                    sampleAt (i, sineValue, block.amSign * (block.amFromCosine ? cosineValue : sineValue),
                              block.fmSign * (block.fmFromCosine ? cosineValue : sineValue));
                }
            }
            e.phase = p;
            e.sinePhasor = phasor;
        }
        else
        {
            double p = e.phase;
            const double increment = block.increment;
#if defined(__SSE2__)
            // Base and AM shape side by side in one vector; offset 0 leaves the base
            // phase as it is (0 + p = p, below 1).
            const __m128d baseAndAmOffsets = _mm_set_pd (block.amOffset, 0.0);
            const __m128d fmOffsets = _mm_set1_pd (block.fmOffset);
#endif
            for (int i = first; i < end; ++i)
            {
                const double samplePhase = p;
                p += increment;
                if (p >= 1.0)
                    p -= 1.0;
#if defined(__SSE2__)
                const __m128d phases = _mm_set1_pd (samplePhase);
                const __m128 baseAndAm =
                    _mm_cvtpd_ps (shapeLanes<waveform> (wrapOnceLanes (_mm_add_pd (baseAndAmOffsets, phases))));
                const float shapeBase = _mm_cvtss_f32 (baseAndAm);
                const float shapeAm = _mm_cvtss_f32 (_mm_shuffle_ps (baseAndAm, baseAndAm, 1));
                float shapeFm = shapeBase;
                if constexpr (!fmShares)
                    shapeFm = _mm_cvtss_f32 (
                        _mm_cvtpd_ps (shapeLanes<waveform> (wrapOnceLanes (_mm_add_pd (fmOffsets, phases)))));
#else
                const auto shapeBase = static_cast<float> (shapeAt<waveform> (samplePhase));
                const auto shapeAm = static_cast<float> (shapeAt<waveform> (wrapOnce (block.amOffset + samplePhase)));
                const auto shapeFm = static_cast<float> (shapeAt<waveform> (wrapOnce (block.fmOffset + samplePhase)));
#endif
                sampleAt (i, shapeBase, shapeAm, shapeFm);
            }
            e.phase = p;
        }

        e.lfoAm = am;
        e.lfoFm = fm;
        e.lfoBase = base;
        e.writeIndex = newest;
        chunk.shortestDelay = shortest;
    }

    template <bool stereo, Turn turn, bool blend, bool moving, DelayRead delayRead>
    [[gnu::always_inline]] static void mixChunk (ModEngine& e, const Chunk& chunk, const float* amOutput, float* left,
                                                 float* right, int numSamples) noexcept
    {
        const float restingAmDepth = e.amDepthRamp.current, restingCentre = e.rotCenterRamp.current,
                    restingHalfRange = e.rotHalfRangeRamp.current, restingGain = e.gainRamp.current,
                    restingMix = e.mixRamp.current, restingEngaged = e.engagedRamp.current;

        // Branch-free, so it compiles to vector code.
        for (int i = 0; i < numSamples; ++i)
        {
            const float amDepth = moving ? chunk.amDepth[i] : restingAmDepth;
            const float centre = moving ? chunk.rotCenter[i] : restingCentre;
            const float halfRange = moving ? chunk.rotHalfRange[i] : restingHalfRange;
            const float gain = moving ? chunk.gain[i] : restingGain;
            const float mix = moving ? chunk.mix[i] : restingMix;
            const float engaged = moving ? chunk.engaged[i] : restingEngaged;

            const float g = tremoloGain (amDepth, amOutput[i]);
            const float x = left[i];
            float wetLeft, wetRight = 0.0f;
            if constexpr (delayRead == DelayRead::none)
            {
                // What `interpolateDelay` gives at delay 0: y0 + 0 (y1 - y0), with y0 the
                // sample just written and y1 the one before.
                constexpr float fraction = 0.0f;
                wetLeft = (x + fraction * (chunk.previousLeft[i] - x)) * g;
                if constexpr (stereo)
                {
                    const float y = right[i];
                    wetRight = (y + fraction * (chunk.previousRight[i] - y)) * g;
                }
            }
            else
            {
                int whole;
                float t;
                splitDelay (chunk.delay[i], whole, t);
                const auto read = [&] (const float (&taps)[4])
                {
                    if constexpr (delayRead == DelayRead::cubicOrStraight)
                        return interpolateDelay<Choice::lanes> (taps[3], taps[2], taps[1], taps[0], t, whole < 1);
                    else
                        return cubicDelay (taps[3], taps[2], taps[1], taps[0], t);
                };
                wetLeft = read (chunk.tapsLeft[i]) * g;
                if constexpr (stereo)
                    wetRight = read (chunk.tapsRight[i]) * g;
            }

            if constexpr (turn != Turn::none)
                rotate<Choice::lanes, turn> (rotationAngle (halfRange, chunk.base[i], centre), wetLeft, wetRight);

            float outLeft = mixAndGain (x, wetLeft, mix, gain);
            if constexpr (blend)
                outLeft = engage<Choice::lanes> (x, outLeft, engaged);
            left[i] = outLeft;

            if constexpr (stereo)
            {
                const float y = right[i];
                float outRight = mixAndGain (y, wetRight, mix, gain);
                if constexpr (blend)
                    outRight = engage<Choice::lanes> (y, outRight, engaged);
                right[i] = outRight;
            }
        }

        e.blockPeakLeft = std::max (e.blockPeakLeft, peakOf (left, numSamples));
        if constexpr (stereo)
            e.blockPeakRight = std::max (e.blockPeakRight, peakOf (right, numSamples));
    }
};

namespace
{
/** Whether this processor runs AVX2 code. Asked once; the answer cannot change. */
bool processorHasWideVectors() noexcept
{
#if BR_WIDE_VECTORS
    static const bool has = []
    {
        __builtin_cpu_init(); // harmless if done; needed if this runs before the runtime's own set-up
        return __builtin_cpu_supports ("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}
} // namespace

void ModEngine::prepare (double newSampleRate)
{
    if (!(newSampleRate > 0.0) || !std::isfinite (newSampleRate))
        newSampleRate = 44100.0;

    sampleRate = newSampleRate;
    phase = 0.0;
    lfoAm = lfoFm = lfoBase = 0.0f;
    prepared = true;
    resetPending = true;
    setupValid = false;
    sinePhasor.restart();
    wideVectors = processorHasWideVectors();

    const auto length = delayLineLength (sampleRate);
    delayLeft.assign (length, 0.0f);
    delayRight.assign (length, 0.0f);
    delayMask = static_cast<int> (length) - 1;
    writeIndex = 0;
}

void ModEngine::process (const BlockParams& params, const HostTiming& timing, AudioView audio) noexcept
{
    process (params, timing, audio, false);
}

void ModEngine::process (const BlockParams& params, const HostTiming& timing, AudioView audio, bool bypassed) noexcept
{
    if (!prepared || audio.left == nullptr || audio.numSamples <= 0)
        return;

    // A non-finite tempo would leave the LFO stuck long after the host recovers.
    const bool tempoGiven = timing.bpmValid && timing.bpm > 0.0 && std::isfinite (timing.bpm);

    // Same settings, same tempo memory: every value of the set-up would come out the
    // same and every ramp would ignore its unchanged target, so only the phase lock
    // remains. Tiny host blocks live on this.
    const bool unchanged = setupValid && !resetPending && bypassed == setupBypassed &&
                           (!tempoGiven || timing.bpm == lastTempoBpm) && sameBits (params, setupParams);
    if (unchanged)
        lockPhase (setup, timing);
    else
        setUpBlock (params, timing, tempoGiven, bypassed);
    const BlockSetup& block = setup;

    blockPeakLeft = blockPeakRight = 0.0f;
    switch (block.waveform)
    {
    case 0:
        Loops::render<0> (*this, block, audio);
        break;
    case 1:
        Loops::render<1> (*this, block, audio);
        break;
    case 2:
        Loops::render<2> (*this, block, audio);
        break;
    case 3:
        Loops::render<3> (*this, block, audio);
        break;
    default:
        Loops::render<4> (*this, block, audio);
        break;
    }

    amGain.store (lastAmGain, std::memory_order_relaxed);
    fmValue.store (lfoFm * block.fmDisplayDepth, std::memory_order_relaxed);
    rotAngle.store (lastAngle, std::memory_order_relaxed);
    baseHz.store (block.baseRateHz, std::memory_order_relaxed);

    // Load and store rather than a read-modify-write: the reader's exchange may slip
    // in between, which at worst shows that peak once more, and the audio thread
    // never spins on a compare-exchange.
    const float rightPeak = audio.right != nullptr ? blockPeakRight : blockPeakLeft;
    const float heldLeft = peakL.load (std::memory_order_relaxed);
    peakL.store (blockPeakLeft > heldLeft ? blockPeakLeft : heldLeft, std::memory_order_relaxed);
    const float heldRight = peakR.load (std::memory_order_relaxed);
    peakR.store (rightPeak > heldRight ? rightPeak : heldRight, std::memory_order_relaxed);
}

void ModEngine::setUpBlock (const BlockParams& params, const HostTiming& timing, bool tempoGiven,
                            bool bypassed) noexcept
{
    if (tempoGiven)
        lastTempoBpm = timing.bpm;

    BlockSetup block;
    block.autoSync = isOn (params[Param::sync]);
    const double baseRate = block.autoSync ? lastTempoBpm / 60.0 : static_cast<double> (params[Param::rate]);
    block.baseRateHz = static_cast<float> (baseRate);

    const int factorIndex = std::clamp (truncatedIndex (params[Param::xFactor], 0), 0, 15);
    block.multiplier = xFactors[static_cast<size_t> (factorIndex)];

    // Beyond 0.45 x the sample rate the LFO would alias into nonsense; 6000 Hz is
    // already far into audio-rate modulation. NaN lands on 0 together with negatives.
    double frequency = baseRate * block.multiplier;
    if (!(frequency > 0.0))
        frequency = 0.0;
    else
        frequency = std::min (frequency, std::min (0.45 * sampleRate, 6000.0));

    lockPhase (block, timing);

    block.waveform = static_cast<int> (waveformFromIndex (truncatedIndex (params[Param::waveform], 4)));
    // Quarter cycles; whole turns drop out, as the fraction of the offset phase would.
    const int amQuarters = truncatedIndex (params[Param::amPhase], 0) & 3;
    const int fmQuarters = truncatedIndex (params[Param::fmPhase], 0) & 3;
    block.amOffset = amQuarters * 0.25;
    block.fmOffset = fmQuarters * 0.25;
    block.amFromCosine = (amQuarters & 1) != 0;
    block.fmFromCosine = (fmQuarters & 1) != 0;
    block.amSign = (amQuarters & 2) != 0 ? -1.0f : 1.0f;
    block.fmSign = (fmQuarters & 2) != 0 ? -1.0f : 1.0f;
    block.amSharesBase = amQuarters == 0;
    block.fmSharesBase = fmQuarters == 0;

    // 1.5 ms rounds the corners of square and saw; at fast rates 2 % of the period,
    // so the smoother does not flatten the shape itself.
    const double tau = frequency > 0.0 ? std::min (0.02 / frequency, 0.0015) : 0.0015;
    block.smoothing = static_cast<float> (1.0 - std::exp (-1.0 / (sampleRate * tau)));
    block.increment = frequency / sampleRate;
    block.step = PhasorStep::forIncrement (block.increment);

    if (resetPending)
    {
        // Start every output on its exact shape value, computed as the block loops
        // compute it, so the first sample does not move.
        if (block.waveform == static_cast<int> (Waveform::sine))
        {
            double s, c;
            sinCosCycles (phase, s, c);
            const float sine = static_cast<float> (s), cosine = static_cast<float> (c);
            lfoAm = block.amSign * (block.amFromCosine ? cosine : sine);
            lfoFm = block.fmSign * (block.fmFromCosine ? cosine : sine);
            lfoBase = sine;
        }
        else
        {
            lfoAm = static_cast<float> (lfoShape (block.waveform, wrapOnce (block.amOffset + phase)));
            lfoFm = static_cast<float> (lfoShape (block.waveform, wrapOnce (block.fmOffset + phase)));
            lfoBase = static_cast<float> (lfoShape (block.waveform, phase));
        }
    }

    const bool amOn = isOn (params[Param::amOn]);
    const bool fmOn = isOn (params[Param::fmOn]);
    const bool rotOn = isOn (params[Param::rotOn]);
    const float fmDepth = params[Param::fmDepth] * 0.01f;
    block.fmDisplayDepth = fmOn ? fmDepth : 0.0f;

    // The delay swings between 0 and twice this depth. 0.0595 / (2 pi f) seconds gives
    // a peak pitch deviation of 5.95 % (about a semitone) at full depth whatever the
    // rate, until the 15 ms cap takes over below about 0.63 Hz.
    float fmDepthSamples = 0.0f;
    if (fmOn && frequency > 0.0)
    {
        const double seconds = std::min (static_cast<double> (fmDepth) * 0.0595 / (2.0 * pi * frequency), 0.015);
        fmDepthSamples = static_cast<float> (sampleRate * seconds);
    }

    const float targets[] = {
        amOn ? params[Param::amDepth] * 0.01f : 0.0f,
        fmDepthSamples,
        rotOn ? params[Param::rotCenter] : 0.0f,
        rotOn ? params[Param::rotRange] * 0.5f : 0.0f,
        std::pow (10.0f, params[Param::gain] / 20.0f),
        params[Param::mix] * 0.01f,
        bypassed ? 0.0f : 1.0f,
    };
    Ramp* const ramps[] = {&amDepthRamp, &fmDepthRamp, &rotCenterRamp, &rotHalfRangeRamp,
                           &gainRamp,    &mixRamp,     &engagedRamp};

    const int rampLength = std::max (1, static_cast<int> (0.02 * sampleRate));
    for (size_t i = 0; i < std::size (ramps); ++i)
    {
        if (resetPending)
            ramps[i]->jumpTo (targets[i]);
        else
            ramps[i]->glideTo (targets[i], rampLength);
    }
    resetPending = false;
    rampsAtRest = !anyRampMoving();

    setup = block;
    setupParams = params;
    setupBypassed = bypassed;
    setupValid = true;
}

void ModEngine::lockPhase (const BlockSetup& block, const HostTiming& timing) noexcept
{
    if (!(timing.playing && timing.ppqValid && block.autoSync))
        return;

    // Within the block the phase then runs free.
    const double position = timing.ppqPosition * block.multiplier;
    if (!std::isfinite (position))
        return; // a broken position would leave the phase NaN for good

    phase = position - std::floor (position);
    if (phase >= 1.0)
        phase = 0.0; // a tiny negative position rounds up to exactly 1, the cycle's start
    sinePhasor.restart();
}

bool ModEngine::anyRampMoving() const noexcept
{
    return amDepthRamp.isMoving() || fmDepthRamp.isMoving() || rotCenterRamp.isMoving() ||
           rotHalfRangeRamp.isMoving() || gainRamp.isMoving() || mixRamp.isMoving() || engagedRamp.isMoving();
}

} // namespace br::dsp
