#pragma once
#include "dsp/EngineTypes.h"
#include "dsp/Ramp.h"
#include "dsp/SinePhasor.h"

#include <atomic>
#include <vector>

namespace br::dsp
{
/** Tremolo, vibrato and stereo rotation driven by one LFO, with dry/wet mix and
    output gain.

    Real-time contract: `prepare` allocates (the delay lines) and runs on the
    message thread while no block is processed; `process` never allocates, locks
    or throws and runs on the audio thread. The telemetry atomics are the only
    members another thread may touch while audio runs. */
class ModEngine
{
public:
    ModEngine() = default;
    ModEngine (const ModEngine&) = delete;
    ModEngine& operator= (const ModEngine&) = delete;

    /** Sizes and clears the delay lines for `sampleRate` (Hz, > 0; anything else is
        taken as 44100), restarts the LFO at phase 0 and makes the next block start
        on its settings without fades. Allocates. */
    void prepare (double sampleRate);

    /** Processes one block in place; `audio.right == nullptr` processes mono.
        Does nothing before the first `prepare`, or for an empty block. */
    void process (const BlockParams& params, const HostTiming& timing, AudioView audio) noexcept;

    /** As above; while `bypassed` the output fades within 20 ms to the untouched
        input and back again when it is cleared. The engine keeps running under the
        bypass (LFO, delay lines, settings), so leaving it resumes without a jump.
        Call it for every block, bypassed or not; the first block after `prepare`
        starts in the given state without a fade. */
    void process (const BlockParams& params, const HostTiming& timing, AudioView audio, bool bypassed) noexcept;

    bool isPrepared() const noexcept { return prepared; }

    // Display telemetry, written once at the end of each processed block with relaxed
    // stores. The reader takes the peaks with exchange (0) so each is shown once.
    std::atomic<float> amGain{1.0f};   // the tremolo gain of the block's last sample
    std::atomic<float> fmValue{0.0f};  // FM output x depth, -1 .. 1; 0 while FM is off
    std::atomic<float> rotAngle{0.0f}; // rotation angle in degrees of the last sample
    std::atomic<float> baseHz{0.2f};   // LFO base rate before the multiplier
    std::atomic<float> peakL{0.0f};    // largest |output| since the reader last took it
    std::atomic<float> peakR{0.0f};    // a mono block reports its one channel here too

private:
    friend struct ModEngineInspector; // tests look at the LFO and the delay lines

    /** Everything the samples of a block share, fixed by the block set-up. */
    struct BlockSetup
    {
        double increment = 0.0;  // LFO phase step per sample, cycles
        double multiplier = 1.0; // the "xFactor" value
        bool autoSync = false;
        float smoothing = 0.0f; // one-pole coefficient of the LFO outputs
        int waveform = 4;       // a Waveform as int
        double amOffset = 0.0;  // phase offsets in cycles: 0, 0.25, 0.5 or 0.75
        double fmOffset = 0.0;
        // The sine's offset outputs come from one sine/cosine pair: a quarter cycle
        // ahead, sin turns into cos, then -sin, then -cos.
        bool amFromCosine = false, fmFromCosine = false;
        float amSign = 1.0f, fmSign = 1.0f;
        // With no offset an output is fed the base output's shape values, so from
        // equal states it stays equal to it, bit for bit, and is not computed twice.
        bool amSharesBase = true, fmSharesBase = true;
        PhasorStep step;             // the sine's turn per sample
        float fmDisplayDepth = 0.0f; // "fmDepth" as a fraction while FM is on, else 0
        float baseRateHz = 0.2f;
    };
    struct Chunk; // a stretch of samples' buffers, on the stack of the loop that runs it
    struct Loops; // the per-sample loops and the choice between their builds

    void setUpBlock (const BlockParams& params, const HostTiming& timing, bool tempoGiven, bool bypassed) noexcept;
    void lockPhase (const BlockSetup& block, const HostTiming& timing) noexcept;
    bool anyRampMoving() const noexcept;

    double sampleRate = 44100.0;
    double phase = 0.0;          // LFO phase in cycles, in [0, 1) between samples
    double lastTempoBpm = 120.0; // the last valid host tempo; survives preparations
    bool prepared = false;
    bool resetPending = true; // the next block starts on its targets, unsmoothed

    std::vector<float> delayLeft, delayRight; // circular, power-of-two length
    int delayMask = 0;
    int writeIndex = 0; // index of the newest sample

    Ramp amDepthRamp;      // fraction 0 .. 1
    Ramp fmDepthRamp;      // samples
    Ramp rotCenterRamp;    // degrees
    Ramp rotHalfRangeRamp; // degrees
    Ramp gainRamp;         // linear factor
    Ramp mixRamp;          // fraction 0 .. 1

    float lfoAm = 0.0f; // smoothed LFO outputs, -1 .. 1
    float lfoFm = 0.0f;
    float lfoBase = 0.0f;

    SinePhasor sinePhasor; // sine and cosine of `phase`, while the sine plays

    bool wideVectors = false; // the processor runs AVX2: the per-sample loops use their AVX2 build

    Ramp engagedRamp{1.0f, 1.0f, 0.0f, 0}; // share of the processed signal against the input, for bypass

    // The last block's set-up and what it was made from: when nothing changed, tiny
    // host blocks skip the set-up (with its exp () and pow ()) and reuse it.
    BlockSetup setup;
    BlockParams setupParams;
    bool setupBypassed = false;
    bool setupValid = false;
    bool rampsAtRest = false; // no ramp glides; saves looking at all seven each block

    // Kept per block for the telemetry.
    float blockPeakLeft = 0.0f, blockPeakRight = 0.0f;
    float lastAmGain = 1.0f, lastAngle = 0.0f;
};
} // namespace br::dsp
