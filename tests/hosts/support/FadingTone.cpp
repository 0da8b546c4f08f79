// A JACK client that plays a 1 kHz sine on two outputs for the real-host tests of the
// meters: it holds a start level until it gets SIGUSR1, then fades linearly in decibels
// to an end level over the given time and holds that until it is ended (SIGTERM or
// SIGINT).
//
//   br_fading_tone NAME START_DB END_DB FADE_SECONDS
#include <jack/jack.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{
std::atomic<bool> fadeRequested { false };
std::atomic<bool> quitRequested { false };

struct Tone
{
    jack_port_t* outputs[2] {};
    double sampleRate = 48000.0;
    double startDb = 0.0, endDb = 0.0, fadeSeconds = 1.0;
    double phase = 0.0;
    double fadeSamples = 0.0; // samples played since the fade began
};

int process (jack_nframes_t frames, void* arg)
{
    auto& tone = *static_cast<Tone*> (arg);
    float* out[2] { static_cast<float*> (jack_port_get_buffer (tone.outputs[0], frames)),
                    static_cast<float*> (jack_port_get_buffer (tone.outputs[1], frames)) };
    const bool fading = fadeRequested.load (std::memory_order_relaxed);
    const auto fadeLength = tone.fadeSeconds * tone.sampleRate;
    const auto step = 2.0 * M_PI * 1000.0 / tone.sampleRate;

    for (jack_nframes_t i = 0; i < frames; ++i)
    {
        const auto progress = fading ? std::fmin (tone.fadeSamples / fadeLength, 1.0) : 0.0;
        const auto gain = std::pow (10.0, (tone.startDb + (tone.endDb - tone.startDb) * progress) / 20.0);
        out[0][i] = out[1][i] = (float) (gain * std::sin (tone.phase));
        tone.phase = std::fmod (tone.phase + step, 2.0 * M_PI);
        if (fading)
            tone.fadeSamples += 1.0;
    }
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 5)
    {
        std::fprintf (stderr, "usage: %s NAME START_DB END_DB FADE_SECONDS\n", argv[0]);
        return 2;
    }

    Tone tone;
    tone.startDb = std::atof (argv[2]);
    tone.endDb = std::atof (argv[3]);
    tone.fadeSeconds = std::fmax (std::atof (argv[4]), 0.001);

    jack_status_t status;
    auto* client = jack_client_open (argv[1], JackNoStartServer, &status);
    if (client == nullptr)
    {
        std::fprintf (stderr, "cannot open a JACK client (status 0x%x)\n", (unsigned) status);
        return 1;
    }

    tone.sampleRate = (double) jack_get_sample_rate (client);
    tone.outputs[0] = jack_port_register (client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    tone.outputs[1] = jack_port_register (client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (tone.outputs[0] == nullptr || tone.outputs[1] == nullptr
        || jack_set_process_callback (client, process, &tone) != 0 || jack_activate (client) != 0)
    {
        std::fprintf (stderr, "cannot set up the JACK client\n");
        jack_client_close (client);
        return 1;
    }

    std::signal (SIGUSR1, [] (int) { fadeRequested = true; });
    std::signal (SIGTERM, [] (int) { quitRequested = true; });
    std::signal (SIGINT, [] (int) { quitRequested = true; });
    while (! quitRequested)
        usleep (20000);

    jack_deactivate (client);
    jack_client_close (client);
    return 0;
}
