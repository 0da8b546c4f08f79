#pragma once
// A plain, slow model of the modulation engine, written straight from its rules:
// double std::sin for the LFO, libm sine and cosine for the rotation, one sample
// at a time, no chunks, no caches. The fast engine is compared against it.
// Deliberately shares no code with source/dsp.

#include "dsp/EngineTypes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace br::test
{
class ReferenceEngine
{
public:
    struct Ramp
    {
        float current = 0.0f, target = 0.0f, increment = 0.0f;
        int countdown = 0;
    };

    /** Per-sample values the fast engine keeps only as state. */
    struct SampleTrace
    {
        float lfoAm, lfoFm, lfoBase;
        double delaySamples;
    };

    void prepare (double rate)
    {
        sampleRate = rate > 0.0 ? rate : 44100.0;
        phase = 0.0;
        lfoAm = lfoFm = lfoBase = 0.0f;
        resetPending = true;
        const auto needed = static_cast<size_t> (std::ceil (sampleRate * 0.015 + sampleRate * 0.015)) + 8;
        size_t length = 1;
        while (length < needed)
            length *= 2;
        delayLeft.assign (length, 0.0f);
        delayRight.assign (length, 0.0f);
        delayMask = static_cast<int> (length) - 1;
        writeIndex = 0;
    }

    static double shape (int waveform, double p)
    {
        const auto frac = [] (double v) { return v - std::floor (v); };
        switch (waveform)
        {
        case 0:
            return p < 0.5 ? 1.0 : -1.0;
        case 1:
            return p < 0.25 ? 4.0 * p : (p < 0.75 ? 2.0 - 4.0 * p : 4.0 * p - 4.0);
        case 2:
            return 2.0 * frac (p + 0.5) - 1.0;
        case 3:
            return 1.0 - 2.0 * frac (p + 0.5);
        default:
            return std::sin (2.0 * 3.14159265358979323846 * p);
        }
    }

    /** One block in place; `right` may be null. `trace`, if given, receives one
        entry per sample. */
    void process (const dsp::BlockParams& params, const dsp::HostTiming& timing, float* left, float* right,
                  int numSamples, std::vector<SampleTrace>* trace = nullptr)
    {
        using br::Param;
        const auto on = [&] (Param p) { return params[p] > 0.5f; };
        const auto frac = [] (double v) { return v - std::floor (v); };

        if (timing.bpmValid && timing.bpm > 0.0)
            lastTempoBpm = timing.bpm;
        const double baseRate = on (Param::sync) ? lastTempoBpm / 60.0 : static_cast<double> (params[Param::rate]);
        const int factorIndex = std::clamp (static_cast<int> (params[Param::xFactor]), 0, 15);
        const double x = xFactors[static_cast<size_t> (factorIndex)];
        double f = baseRate * x;
        if (f < 0.0)
            f = 0.0;
        else
            f = std::min (f, std::min (0.45 * sampleRate, 6000.0));

        if (timing.playing && timing.ppqValid && on (Param::sync))
            phase = frac (timing.ppqPosition * x);

        const int waveform = static_cast<int> (params[Param::waveform]);
        const double amOffset = static_cast<int> (params[Param::amPhase]) / 4.0;
        const double fmOffset = static_cast<int> (params[Param::fmPhase]) / 4.0;
        const double tau = f > 0.0 ? std::min (0.02 / f, 0.0015) : 0.0015;
        const auto a = static_cast<float> (1.0 - std::exp (-1.0 / (sampleRate * tau)));
        const double increment = f / sampleRate;

        if (resetPending)
        {
            lfoAm = static_cast<float> (shape (waveform, frac (amOffset + phase)));
            lfoFm = static_cast<float> (shape (waveform, frac (fmOffset + phase)));
            lfoBase = static_cast<float> (shape (waveform, phase));
        }

        // Stage settings.
        double fmSeconds = 0.0;
        const float d = params[Param::fmDepth] * 0.01f;
        if (on (Param::fmOn) && f > 0.0)
            fmSeconds = std::min (static_cast<double> (d) * 0.0595 / (2.0 * 3.14159265358979323846 * f), 0.015);
        const float targets[6] = {
            on (Param::amOn) ? params[Param::amDepth] * 0.01f : 0.0f,
            static_cast<float> (sampleRate * fmSeconds),
            on (Param::rotOn) ? params[Param::rotCenter] : 0.0f,
            on (Param::rotOn) ? params[Param::rotRange] * 0.5f : 0.0f,
            std::pow (10.0f, params[Param::gain] / 20.0f),
            params[Param::mix] * 0.01f,
        };
        Ramp* ramps[6] = {&amDepth, &fmDepth, &rotCenter, &rotHalfRange, &gain, &mix};
        const int n = std::max (1, static_cast<int> (0.02 * sampleRate));
        for (int r = 0; r < 6; ++r)
        {
            if (resetPending)
            {
                ramps[r]->current = ramps[r]->target = targets[r];
                ramps[r]->countdown = 0;
            }
            else if (std::abs (targets[r] - ramps[r]->target) >= 1.0e-9f)
            {
                ramps[r]->target = targets[r];
                ramps[r]->countdown = n;
                ramps[r]->increment = (targets[r] - ramps[r]->current) / static_cast<float> (n);
            }
        }
        resetPending = false;

        float blockPeakL = 0.0f, blockPeakR = 0.0f;
        float g = 1.0f, angle = 0.0f;
        for (int i = 0; i < numSamples; ++i)
        {
            // LFO.
            const auto sAm = static_cast<float> (shape (waveform, frac (amOffset + phase)));
            const auto sFm = static_cast<float> (shape (waveform, frac (fmOffset + phase)));
            const auto sBase = static_cast<float> (shape (waveform, phase));
            lfoAm = lfoAm + a * (sAm - lfoAm);
            lfoFm = lfoFm + a * (sFm - lfoFm);
            lfoBase = lfoBase + a * (sBase - lfoBase);
            phase += increment;
            if (phase >= 1.0)
                phase = frac (phase);

            for (auto* r : ramps)
            {
                if (r->countdown >= 1)
                {
                    r->current += r->increment;
                    if (--r->countdown == 0)
                        r->current = r->target;
                }
            }

            const float xL = left[i];
            const float xR = right != nullptr ? right[i] : 0.0f;
            writeIndex = (writeIndex + 1) & delayMask;
            delayLeft[static_cast<size_t> (writeIndex)] = xL;
            if (right != nullptr)
                delayRight[static_cast<size_t> (writeIndex)] = xR;

            const double delay = (static_cast<double> (lfoFm) + 1.0) * static_cast<double> (fmDepth.current);
            const int whole = static_cast<int> (delay);
            const auto t = static_cast<float> (delay - whole);
            const int b = writeIndex - whole;
            const auto read = [&] (const std::vector<float>& line)
            {
                const auto at = [&] (int index) { return line[static_cast<size_t> (index & delayMask)]; };
                if (whole == 0)
                    return at (b) + t * (at (b - 1) - at (b));
                const float ym1 = at (b + 1), y0 = at (b), y1 = at (b - 1), y2 = at (b - 2);
                const float c1 = 0.5f * (y1 - ym1);
                const float c2 = ym1 - 2.5f * y0 + 2.0f * y1 - 0.5f * y2;
                const float c3 = 0.5f * (y2 - ym1) + 1.5f * (y0 - y1);
                return ((c3 * t + c2) * t + c1) * t + y0;
            };
            float wetL = read (delayLeft);
            float wetR = right != nullptr ? read (delayRight) : 0.0f;

            g = 1.0f - 0.5f * amDepth.current * (1.0f - lfoAm);
            wetL *= g;
            wetR *= g;

            angle = rotHalfRange.current * lfoBase + rotCenter.current;
            if (right != nullptr && angle != 0.0f)
            {
                const float theta = angle * static_cast<float> (3.14159265358979323846) / 360.0f;
                const float s = std::sin (theta), c = std::cos (theta);
                const float newL = wetL * c + wetR * s;
                const float newR = wetR * c - wetL * s;
                wetL = newL;
                wetR = newR;
            }

            const float outL = gain.current * (xL + mix.current * (wetL - xL));
            left[i] = outL;
            blockPeakL = std::max (blockPeakL, std::abs (outL));
            if (right != nullptr)
            {
                const float outR = gain.current * (xR + mix.current * (wetR - xR));
                right[i] = outR;
                blockPeakR = std::max (blockPeakR, std::abs (outR));
            }
            if (trace != nullptr)
                trace->push_back ({lfoAm, lfoFm, lfoBase, delay});
        }

        amGain = g;
        fmValue = on (Param::fmOn) ? lfoFm * (params[Param::fmDepth] * 0.01f) : 0.0f;
        rotAngle = angle;
        baseHz = static_cast<float> (baseRate);
        if (right == nullptr)
            blockPeakR = blockPeakL;
        peakL = std::max (peakL, blockPeakL);
        peakR = std::max (peakR, blockPeakR);
    }

    double sampleRate = 44100.0, phase = 0.0, lastTempoBpm = 120.0;
    bool resetPending = true;
    std::vector<float> delayLeft, delayRight;
    int delayMask = 0, writeIndex = 0;
    Ramp amDepth, fmDepth, rotCenter, rotHalfRange, gain, mix;
    float lfoAm = 0.0f, lfoFm = 0.0f, lfoBase = 0.0f;
    float amGain = 1.0f, fmValue = 0.0f, rotAngle = 0.0f, baseHz = 0.2f, peakL = 0.0f, peakR = 0.0f;
};
} // namespace br::test
