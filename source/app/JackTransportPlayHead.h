#pragma once
#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>

typedef struct _jack_client jack_client_t;

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

    std::atomic<jack_client_t*> client { nullptr };
    std::atomic<bool> serverAlive { false };
    /** Audio-thread calls inside getPosition: close() waits for them to leave before
        the client goes. */
    mutable std::atomic<int> readers { 0 };
    /** The tempo reported when the transport gives none; set on the audio thread from
        the transport, on the message thread from the user. */
    mutable std::atomic<double> heldTempo;
};
} // namespace br
