#pragma once
#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <cstdint>

typedef struct _jack_client jack_client_t;
typedef struct _jack_position jack_position_t;

namespace br
{
/** The standalone app's play head: what a plug-in host would report, for "Auto" sync.

    While the app plays through JACK and the JACK transport carries bar, beat and tempo
    (a timebase master such as Ardour or jack_transport), it reports that tempo, the
    musical position and whether the transport rolls, read with jack_transport_query
    from a client of our own that has no ports and is never activated. Otherwise it
    reports the last tempo it knew: the transport's, once one was seen, so the rate
    holds when the master stops or leaves, or else the tempo the user set.

    getPosition runs on the audio thread: it reads atomics and JACK's shared transport
    record, and neither allocates nor locks. Everything else is for the message thread. */
class JackTransportPlayHead : public juce::AudioPlayHead
{
public:
    static constexpr double minTempoBpm = 20.0, maxTempoBpm = 999.0, defaultTempoBpm = 120.0;

    explicit JackTransportPlayHead (double tempoBpm);
    ~JackTransportPlayHead() override;

    juce::Optional<PositionInfo> getPosition() const override;

    /** Makes `tempoBpm` (limited to the legal range) the tempo reported until a JACK
        transport gives one. */
    void setTempo (double tempoBpm);

    /** Opens the transport client when the app's audio device is JACK's, closes it
        otherwise. Never starts a JACK server: with none running nothing is opened. */
    void followDevice (const juce::AudioIODevice* device);

private:
    void open();
    void close();
    static void serverGone (void* self);
    double quarterNotes (const jack_position_t&, bool rolling, uint32_t periodFrames) const;

    std::atomic<jack_client_t*> client{nullptr};
    std::atomic<bool> serverAlive{false};
    /** Audio-thread calls inside getPosition: close() waits for them to leave before
        the client goes. */
    mutable std::atomic<int> readers{0};
    /** The tempo reported when the transport gives none; set on the audio thread from
        the transport, on the message thread from the user. */
    mutable std::atomic<double> heldTempo;

    /** Where the transport's timeline was last taken from its bar, beat and tick.
        Between such moments the position is counted on in frames: a timebase master
        may advance its ticks in whole numbers per cycle (jack_transport does), which
        puts its beats a few percent late, and the LFO would run slow by as much.
        Audio thread only. */
    struct Timeline
    {
        bool valid = false, rolling = false;
        uint32_t anchorFrame = 0, lastFrame = 0;
        double anchorQuarters = 0.0, bpm = 0.0, quartersPerBeat = 1.0;
    };
    mutable Timeline timeline;
};
} // namespace br
