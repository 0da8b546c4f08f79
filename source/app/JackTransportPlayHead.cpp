#include "app/JackTransportPlayHead.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <cmath>
#include <thread>

namespace br
{
namespace
{
double legalTempo (double bpm)
{
    return std::isfinite (bpm)
               ? juce::jlimit (JackTransportPlayHead::minTempoBpm, JackTransportPlayHead::maxTempoBpm, bpm)
               : JackTransportPlayHead::defaultTempoBpm;
}

/** Whether the transport's bar/beat/tempo fields can be used: a timebase master fills
    them, and a broken one must not put a zero or a NaN into the position. */
bool hasMusicalPosition (const jack_position_t& position)
{
    return (position.valid & JackPositionBBT) != 0 && std::isfinite (position.beats_per_minute) &&
           position.beats_per_minute > 0.0 && position.beat_type > 0.0f && position.beats_per_bar > 0.0f &&
           position.ticks_per_beat > 0.0 && position.bar >= 1 && position.beat >= 1 && position.frame_rate > 0;
}
} // namespace

JackTransportPlayHead::JackTransportPlayHead (double tempoBpm) : heldTempo (legalTempo (tempoBpm)) {}

JackTransportPlayHead::~JackTransportPlayHead()
{
    close();
}

juce::Optional<juce::AudioPlayHead::PositionInfo> JackTransportPlayHead::getPosition() const
{
    PositionInfo info;

    // Counted before the client is read, so that close() either sees this call or this
    // call sees no client.
    readers.fetch_add (1);
    if (auto* jack = client.load(); jack != nullptr && serverAlive.load())
    {
        jack_position_t position{};
        const auto state = jack_transport_query (jack, &position);
        info.setIsPlaying (state == JackTransportRolling);
        info.setTimeInSamples ((int64_t)position.frame);
        if (position.frame_rate > 0)
            info.setTimeInSeconds ((double)position.frame / (double)position.frame_rate);

        if (hasMusicalPosition (position))
        {
            // JACK counts bars and beats from 1 and beats in units of 1 / beat_type;
            // hosts report quarter notes from 0.
            const auto quartersPerBeat = 4.0 / (double)position.beat_type;
            const auto quartersPerBar = (double)position.beats_per_bar * quartersPerBeat;
            const auto rolling = state == JackTransportRolling;
            const auto ppq = quarterNotes (position, rolling, jack_get_buffer_size (jack));
            info.setPpqPosition (ppq);
            info.setPpqPositionOfLastBarStart (std::floor (ppq / quartersPerBar + 1.0e-9) * quartersPerBar);
            info.setTimeSignature (TimeSignature{(int)position.beats_per_bar, (int)position.beat_type});
            heldTempo.store (juce::jlimit (minTempoBpm, maxTempoBpm, position.beats_per_minute));
        }
        else
        {
            timeline.valid = false;
        }
    }
    readers.fetch_sub (1);

    info.setBpm (heldTempo.load());
    return info;
}

double JackTransportPlayHead::quarterNotes (const jack_position_t& position, bool rolling, uint32_t periodFrames) const
{
    const auto quartersPerBeat = 4.0 / (double)position.beat_type;
    const auto sameTimeline = timeline.valid && timeline.bpm == position.beats_per_minute &&
                              timeline.quartersPerBeat == quartersPerBeat && timeline.rolling == rolling;
    // The same cycle asked again, or a later one while rolling on (a cycle or two may
    // be lost to an overload): the position moves on from where it was taken. Anything
    // else (a start, a stop, a locate, a new tempo or metre) takes it afresh from the
    // bar, beat and tick.
    const auto framesOn = position.frame - timeline.lastFrame;
    const auto continues =
        sameTimeline && (position.frame == timeline.lastFrame ||
                         (rolling && position.frame > timeline.lastFrame && framesOn <= 4 * periodFrames));
    if (!continues)
    {
        const auto beatsBeforeBar = (double)(position.bar - 1) * (double)position.beats_per_bar;
        const auto beatInBar = (double)(position.beat - 1) + position.tick / position.ticks_per_beat;
        timeline.valid = true;
        timeline.anchorFrame = position.frame;
        timeline.anchorQuarters = (beatsBeforeBar + beatInBar) * quartersPerBeat;
        timeline.bpm = position.beats_per_minute;
        timeline.quartersPerBeat = quartersPerBeat;
        timeline.rolling = rolling;
    }
    timeline.lastFrame = position.frame;
    const auto seconds = (double)(position.frame - timeline.anchorFrame) / (double)position.frame_rate;
    return timeline.anchorQuarters + seconds * timeline.bpm / 60.0 * quartersPerBeat;
}

void JackTransportPlayHead::setTempo (double tempoBpm)
{
    heldTempo.store (legalTempo (tempoBpm));
}

void JackTransportPlayHead::followDevice (const juce::AudioIODevice* device)
{
    // A client whose server went away is closed first: on a restarted server the
    // device comes back and a new client is needed.
    if (!serverAlive.load())
        close();
    const auto onJack = device != nullptr && device->getTypeName() == "JACK";
    if (onJack && client.load() == nullptr)
        open();
    else if (!onJack)
        close();
}

void JackTransportPlayHead::open()
{
    // No ports and never activated: the client only reads the transport, so it costs
    // the server nothing per cycle. JackNoStartServer: opening the app must never
    // start a server the user did not start.
    jack_status_t status{};
    auto* jack = jack_client_open ("Quorvane transport", JackNoStartServer, &status);
    if (jack == nullptr)
        return;
    jack_on_shutdown (jack, serverGone, this);
    serverAlive.store (true);
    client.store (jack);
}

void JackTransportPlayHead::close()
{
    auto* jack = client.exchange (nullptr);
    if (jack == nullptr)
        return;
    while (readers.load() != 0)
        std::this_thread::yield();
    jack_client_close (jack);
}

void JackTransportPlayHead::serverGone (void* self)
{
    // On one of JACK's threads; from here on the client is not queried, and the next
    // device change closes it on the message thread.
    static_cast<JackTransportPlayHead*> (self)->serverAlive.store (false);
}
} // namespace br
