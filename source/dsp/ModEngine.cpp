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

namespace br::dsp
{
namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr float piFloat = static_cast<float> (pi);

// Long blocks run in passes over chunks of this many samples: the LFO shapes, the
// interpolation, the rotation's sine and cosine and the mix vectorise, and only the
// serial parts (phase, smoother, ramps, delay writes) stay scalar. The chunk
// buffers live on the stack, so the host's block length never matters for memory.
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

/** Largest |sample|; four running maxima so the loop vectorises without fast-math. */
float peakOf (const float* samples, int numSamples) noexcept
{
    float m[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int i = 0;
    for (; i + 4 <= numSamples; i += 4)
        for (int k = 0; k < 4; ++k)
            m[k] = std::max (m[k], std::abs (samples[i + k]));
    for (; i < numSamples; ++i)
        m[0] = std::max (m[0], std::abs (samples[i]));
    return std::max (std::max (m[0], m[1]), std::max (m[2], m[3]));
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

/** Delay in samples for the FM output, split into whole samples and a fraction.
    In double: at 192 kHz the delay reaches 5760 samples, where a float would keep
    only 1/2048 of a sample. */
inline void splitDelay (float fmOutput, float depthSamples, int& whole, float& fraction) noexcept
{
    const double delay = (static_cast<double> (fmOutput) + 1.0) * static_cast<double> (depthSamples);
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

/** Turns the wet pair by half the angle, so 180 degrees gives (R, -L). An angle of
    exactly 0 leaves the pair untouched, bit for bit. */
template <Choice how> inline void rotate (float angleDegrees, float& left, float& right) noexcept
{
    if constexpr (how == Choice::branch)
    {
        if (angleDegrees == 0.0f)
            return;
    }
    float s, c;
    sinCosRadians<how> (angleDegrees * piFloat / 360.0f, s, c);
    const float turnedLeft = left * c + right * s;
    const float turnedRight = right * c - left * s;
    const bool turn = angleDegrees != 0.0f;
    left = select<how> (turn, turnedLeft, left);
    right = select<how> (turn, turnedRight, right);
}

inline float mixAndGain (float dry, float wet, float mix, float gain) noexcept
{
    return gain * (dry + mix * (wet - dry));
}

/** Fades between the processed and the untouched sample for bypass. At either end
    the result is exactly one of them, so a settled bypass state changes no bit. */
template <Choice how> inline float engage (float dry, float processed, float engaged) noexcept
{
    return select<how> (engaged == 1.0f, processed, dry + engaged * (processed - dry));
}
} // namespace

struct ModEngine::Chunk
{
    alignas (64) double phase[chunkSize];
    alignas (32) float shapeBase[chunkSize];    // unsmoothed shape values; for the sine, sin of the phase
    alignas (32) float shapeQuarter[chunkSize]; // sine only: cos of the phase
    alignas (32) float shapeAm[chunkSize];      // other shapes only
    alignas (32) float shapeFm[chunkSize];
    alignas (32) float am[chunkSize]; // smoothed LFO outputs
    alignas (32) float base[chunkSize];

    // Settings per sample, from the ramps.
    alignas (32) float amDepth[chunkSize];
    alignas (32) float fmDepth[chunkSize];
    alignas (32) float rotCenter[chunkSize];
    alignas (32) float rotHalfRange[chunkSize];
    alignas (32) float gain[chunkSize];
    alignas (32) float mix[chunkSize];
    alignas (32) float engaged[chunkSize];

    // Delay read: whole samples, fraction, and the four taps per channel gathered
    // from the line (one newer, at, one older, two older).
    alignas (32) int whole[chunkSize];
    alignas (32) float fraction[chunkSize];
    alignas (32) float tapsLeft[4][chunkSize];
    alignas (32) float tapsRight[4][chunkSize];
};

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
        render<0> (block, audio);
        break;
    case 1:
        render<1> (block, audio);
        break;
    case 2:
        render<2> (block, audio);
        break;
    case 3:
        render<3> (block, audio);
        break;
    default:
        render<4> (block, audio);
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

    // 1.5 ms rounds the corners of square and saw; at fast rates 2 % of the period,
    // so the smoother does not flatten the shape itself.
    const double tau = frequency > 0.0 ? std::min (0.02 / frequency, 0.0015) : 0.0015;
    block.smoothing = static_cast<float> (1.0 - std::exp (-1.0 / (sampleRate * tau)));
    block.increment = frequency / sampleRate;

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
}

bool ModEngine::anyRampMoving() const noexcept
{
    return amDepthRamp.isMoving() || fmDepthRamp.isMoving() || rotCenterRamp.isMoving() ||
           rotHalfRangeRamp.isMoving() || gainRamp.isMoving() || mixRamp.isMoving() || engagedRamp.isMoving();
}

template <int waveform> void ModEngine::render (const BlockSetup& block, AudioView audio) noexcept
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
        const bool moving = !rampsAtRest && anyRampMoving();
        const bool blend = moving || engagedRamp.current != 1.0f;
        const bool turn = stereo && (moving || rotCenterRamp.current != 0.0f || rotHalfRangeRamp.current != 0.0f);

        if (n < shortestChunkForPasses)
        {
            if (stereo)
                moving ? renderSampleBySample<waveform, true, true> (block, left, right, n, turn, blend)
                       : renderSampleBySample<waveform, true, false> (block, left, right, n, turn, blend);
            else
                moving ? renderSampleBySample<waveform, false, true> (block, left, right, n, turn, blend)
                       : renderSampleBySample<waveform, false, false> (block, left, right, n, turn, blend);
        }
        else
        {
            renderChunk<waveform> (block, left, right, n, turn, blend);
        }
    }
    if (!rampsAtRest)
        rampsAtRest = !anyRampMoving();
}

template <int waveform>
void ModEngine::renderChunk (const BlockSetup& block, float* left, float* right, int n, bool turn, bool blend) noexcept
{
    const bool stereo = right != nullptr;
    Chunk chunk;
    runPhaseAndShapes<waveform> (block, chunk, n);
    runRamps (chunk, n);
    if (stereo)
        runSmootherAndTaps<true> (block, chunk, left, right, n);
    else
        runSmootherAndTaps<false> (block, chunk, left, right, n);

    if (!stereo)
        blend ? mixChunk<false, false, true> (chunk, left, right, n)
              : mixChunk<false, false, false> (chunk, left, right, n);
    else if (turn)
        blend ? mixChunk<true, true, true> (chunk, left, right, n)
              : mixChunk<true, true, false> (chunk, left, right, n);
    else
        blend ? mixChunk<true, false, true> (chunk, left, right, n)
              : mixChunk<true, false, false> (chunk, left, right, n);

    const int last = n - 1;
    lastAmGain = tremoloGain (chunk.amDepth[last], chunk.am[last]);
    lastAngle = rotationAngle (chunk.rotHalfRange[last], chunk.base[last], chunk.rotCenter[last]);

    blockPeakLeft = std::max (blockPeakLeft, peakOf (left, n));
    if (stereo)
        blockPeakRight = std::max (blockPeakRight, peakOf (right, n));
}

template <int waveform, bool stereo, bool rampsMoving>
void ModEngine::renderSampleBySample (const BlockSetup& block, float* left, float* right, int numSamples, bool turn,
                                      bool blend) noexcept
{
    // The state the loop updates is held in locals: the stores into the audio and the
    // delay lines are floats, and the compiler would otherwise reload every float
    // member after each of them.
    float* const lineLeft = delayLeft.data();
    float* const lineRight = delayRight.data();
    const int mask = delayMask;
    const float a = block.smoothing;
    const double increment = block.increment;
    double p = phase;
    int newest = writeIndex;
    float am = lfoAm, fm = lfoFm, base = lfoBase;
    float peakLeft = blockPeakLeft, peakRight = blockPeakRight;
    float g = 1.0f, angle = 0.0f;

    // At rest (the usual case) the ramps are constants, taken once; only gliding
    // ones are advanced, in memory.
    const float restingAmDepth = amDepthRamp.current, restingFmDepth = fmDepthRamp.current,
                restingCentre = rotCenterRamp.current, restingHalfRange = rotHalfRangeRamp.current,
                restingGain = gainRamp.current, restingMix = mixRamp.current, restingEngaged = engagedRamp.current;

    for (int i = 0; i < numSamples; ++i)
    {
        const double samplePhase = p;
        p += increment;
        if (p >= 1.0)
            p -= 1.0;

        if constexpr (waveform == static_cast<int> (Waveform::sine))
        {
            double s, c;
            sinCosCycles<Choice::branch> (samplePhase, s, c);
            const float sine = static_cast<float> (s), cosine = static_cast<float> (c);
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

        const float amDepth = rampsMoving ? amDepthRamp.next() : restingAmDepth;
        const float fmDepth = rampsMoving ? fmDepthRamp.next() : restingFmDepth;
        const float centre = rampsMoving ? rotCenterRamp.next() : restingCentre;
        const float halfRange = rampsMoving ? rotHalfRangeRamp.next() : restingHalfRange;
        const float gain = rampsMoving ? gainRamp.next() : restingGain;
        const float mix = rampsMoving ? mixRamp.next() : restingMix;
        const float engaged = rampsMoving ? engagedRamp.next() : restingEngaged;

        int whole;
        float fraction;
        splitDelay (fm, fmDepth, whole, fraction);
        newest = (newest + 1) & mask;
        const int at = newest - whole;
        const bool belowOneSample = whole < 1;
        g = tremoloGain (amDepth, am);
        angle = rotationAngle (halfRange, base, centre);

        const float x = left[i];
        lineLeft[newest] = x;
        float wetLeft =
            interpolateDelay<Choice::branch> (lineLeft[(at + 1) & mask], lineLeft[at & mask], lineLeft[(at - 1) & mask],
                                              lineLeft[(at - 2) & mask], fraction, belowOneSample) *
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
            if (turn)
                rotate<Choice::branch> (angle, wetLeft, wetRight);
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

    phase = p;
    writeIndex = newest;
    lfoAm = am;
    lfoFm = fm;
    lfoBase = base;
    lastAmGain = g;
    lastAngle = angle;
    blockPeakLeft = peakLeft;
    blockPeakRight = peakRight;
}

template <int waveform>
void ModEngine::runPhaseAndShapes (const BlockSetup& block, Chunk& chunk, int numSamples) noexcept
{
    // The phase is accumulated sample by sample, exactly as a plain loop would, so
    // that the output never depends on how the host splits its blocks.
    double p = phase;
    const double increment = block.increment;
    for (int i = 0; i < numSamples; ++i)
    {
        chunk.phase[i] = p;
        p += increment;
        if (p >= 1.0)
            p -= 1.0;
    }
    phase = p;

    if constexpr (waveform == static_cast<int> (Waveform::sine))
    {
        if (block.amFromCosine || block.fmFromCosine)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                double s, c;
                sinCosCycles (chunk.phase[i], s, c);
                chunk.shapeBase[i] = static_cast<float> (s);
                chunk.shapeQuarter[i] = static_cast<float> (c);
            }
        }
        else
        {
            for (int i = 0; i < numSamples; ++i)
            {
                double s, c;
                sinCosCycles (chunk.phase[i], s, c);
                chunk.shapeBase[i] = static_cast<float> (s);
            }
        }
    }
    else
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const double ph = chunk.phase[i];
            chunk.shapeBase[i] = static_cast<float> (shapeAt<waveform> (ph));
            chunk.shapeAm[i] = static_cast<float> (shapeAt<waveform> (wrapOnce (block.amOffset + ph)));
            chunk.shapeFm[i] = static_cast<float> (shapeAt<waveform> (wrapOnce (block.fmOffset + ph)));
        }
    }
}

void ModEngine::runRamps (Chunk& chunk, int numSamples) noexcept
{
    Ramp* const ramps[] = {&amDepthRamp, &fmDepthRamp, &rotCenterRamp, &rotHalfRangeRamp,
                           &gainRamp,    &mixRamp,     &engagedRamp};
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

template <bool stereo>
void ModEngine::runSmootherAndTaps (const BlockSetup& block, Chunk& chunk, const float* left, const float* right,
                                    int numSamples) noexcept
{
    const bool sine = block.waveform == static_cast<int> (Waveform::sine);
    const float* const amSource = !sine ? chunk.shapeAm : (block.amFromCosine ? chunk.shapeQuarter : chunk.shapeBase);
    const float* const fmSource = !sine ? chunk.shapeFm : (block.fmFromCosine ? chunk.shapeQuarter : chunk.shapeBase);
    const float amSign = sine ? block.amSign : 1.0f;
    const float fmSign = sine ? block.fmSign : 1.0f;

    float* const lineLeft = delayLeft.data();
    float* const lineRight = delayRight.data();
    const int mask = delayMask;
    int newest = writeIndex;

    // The smoother is a serial chain of three float operations per sample; the delay
    // writes and tap reads ride along in the same loop, so the core works on them
    // while it waits for the chain.
    const float a = block.smoothing;
    float am = lfoAm, fm = lfoFm, base = lfoBase;
    for (int i = 0; i < numSamples; ++i)
    {
        am = smooth (am, amSign * amSource[i], a);
        fm = smooth (fm, fmSign * fmSource[i], a);
        base = smooth (base, chunk.shapeBase[i], a);
        chunk.am[i] = am;
        chunk.base[i] = base;

        int whole;
        splitDelay (fm, chunk.fmDepth[i], whole, chunk.fraction[i]);
        chunk.whole[i] = whole;

        // Taps reach no further than the newest sample, so writing and reading in
        // one pass sees exactly what a sample-by-sample loop would.
        newest = (newest + 1) & mask;
        const int at = newest - whole;
        lineLeft[newest] = left[i];
        chunk.tapsLeft[0][i] = lineLeft[(at + 1) & mask];
        chunk.tapsLeft[1][i] = lineLeft[at & mask];
        chunk.tapsLeft[2][i] = lineLeft[(at - 1) & mask];
        chunk.tapsLeft[3][i] = lineLeft[(at - 2) & mask];
        if constexpr (stereo)
        {
            lineRight[newest] = right[i];
            chunk.tapsRight[0][i] = lineRight[(at + 1) & mask];
            chunk.tapsRight[1][i] = lineRight[at & mask];
            chunk.tapsRight[2][i] = lineRight[(at - 1) & mask];
            chunk.tapsRight[3][i] = lineRight[(at - 2) & mask];
        }
    }
    lfoAm = am;
    lfoFm = fm;
    lfoBase = base;
    writeIndex = newest;
}

template <bool stereo, bool turn, bool blend>
void ModEngine::mixChunk (const Chunk& chunk, float* left, float* right, int numSamples) noexcept
{
    // Branch-free, so it compiles to vector code.
    for (int i = 0; i < numSamples; ++i)
    {
        const float t = chunk.fraction[i];
        const bool belowOneSample = chunk.whole[i] < 1;
        const float g = tremoloGain (chunk.amDepth[i], chunk.am[i]);

        const float x = left[i];
        float wetLeft =
            interpolateDelay<Choice::lanes> (chunk.tapsLeft[0][i], chunk.tapsLeft[1][i], chunk.tapsLeft[2][i],
                                             chunk.tapsLeft[3][i], t, belowOneSample) *
            g;
        float wetRight = 0.0f;
        if constexpr (stereo)
            wetRight =
                interpolateDelay<Choice::lanes> (chunk.tapsRight[0][i], chunk.tapsRight[1][i], chunk.tapsRight[2][i],
                                                 chunk.tapsRight[3][i], t, belowOneSample) *
                g;

        if constexpr (turn)
            rotate<Choice::lanes> (rotationAngle (chunk.rotHalfRange[i], chunk.base[i], chunk.rotCenter[i]), wetLeft,
                                   wetRight);

        float outLeft = mixAndGain (x, wetLeft, chunk.mix[i], chunk.gain[i]);
        if constexpr (blend)
            outLeft = engage<Choice::lanes> (x, outLeft, chunk.engaged[i]);
        left[i] = outLeft;

        if constexpr (stereo)
        {
            const float y = right[i];
            float outRight = mixAndGain (y, wetRight, chunk.mix[i], chunk.gain[i]);
            if constexpr (blend)
                outRight = engage<Choice::lanes> (y, outRight, chunk.engaged[i]);
            right[i] = outRight;
        }
    }
}
} // namespace br::dsp
