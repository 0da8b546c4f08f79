#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace juce
{
// The platform loop's single step; the fuzzer runs no loop of its own.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace br::fuzz
{
/** What every target sets up once: the GUI subsystem (the main thread is the message
    thread, as in a host) and a home folder of its own, so that preset code never
    reaches the real one. Never torn down: libFuzzer ends the process with exit(), and
    the framework's shutdown would then meet statics already destroyed. Only the home
    folder is removed at exit. */
inline void setUpTarget()
{
    static juce::File home;
    home = juce::File::getSpecialLocation (juce::File::tempDirectory)
               .getNonexistentChildFile ("quorvane-fuzz-home", "", false);
    home.createDirectory();
    ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    std::atexit ([] { home.deleteRecursively(); });

    static auto* gui = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (gui);
}

/** Runs the pending messages now and then, as a host's loop would between calls. */
inline void dispatchSometimes()
{
    static int calls = 0;
    if (++calls % 64 == 0)
        while (juce::dispatchNextMessageOnSystemQueue (true))
        {
        }
}

/** A broken promise is a crash to libFuzzer, with the input kept as its artefact. */
inline void failOn (const std::string& problems)
{
    if (problems.empty())
        return;

    std::fputs (problems.c_str(), stderr);
    std::abort();
}
} // namespace br::fuzz
