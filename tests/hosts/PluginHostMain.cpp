#include "hosts/HostSupport.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <sys/prctl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib.h>

namespace
{
/** Every run gets its own HOME (so neither an installed copy of the plug-in in ~/.lv2 nor
    the user's presets and settings take part) and its own X display (so editor checks
    run the same on a desktop and on a headless CI machine). Both go away at exit. */
class PrivateSession
{
public:
    PrivateSession()
    {
        char pattern[] = "/tmp/quorvane-validate.XXXXXX";
        if (mkdtemp (pattern) == nullptr)
            return;
        home = pattern;
        setenv ("HOME", home.c_str(), 1);
        for (const char* name : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_MUSIC_DIR", "LV2_PATH" })
            unsetenv (name);
        startDisplay();
    }

    ~PrivateSession()
    {
        if (xvfb > 0)
        {
            kill (xvfb, SIGTERM);
            waitpid (xvfb, nullptr, 0);
        }
        if (! home.empty())
            juce::File (home).deleteRecursively();
    }

private:
    void startDisplay()
    {
        if (std::getenv ("BR_USE_DISPLAY") != nullptr)
            return;

        // -displayfd makes the server pick a free display and write its number to us.
        int fds[2];
        if (pipe (fds) != 0)
            return;
        xvfb = fork();
        if (xvfb == 0)
        {
            // The server must not outlive a crashed test, nor hold its output open.
            prctl (PR_SET_PDEATHSIG, SIGTERM);
            close (fds[0]);
            const auto devNull = open ("/dev/null", O_WRONLY);
            dup2 (devNull, 1);
            dup2 (devNull, 2);
            const auto fd = std::to_string (fds[1]);
            // Wide enough for the editor at its largest interface size (2735 x 1485).
            execlp ("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "3000x1600x24", "-nolisten", "tcp", (char*) nullptr);
            _exit (127);
        }
        close (fds[1]);
        if (xvfb < 0)
        {
            close (fds[0]);
            xvfb = 0;
            return;
        }

        std::string number;
        char c;
        while (read (fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close (fds[0]);
        if (! number.empty())
            setenv ("DISPLAY", (":" + number).c_str(), 1);
    }

    std::string home;
    pid_t xvfb = 0;
};
} // namespace

/** What a host application's X error handler does (JUCE installs the same kind for its
    own apps, but not for a program that is not a JUCEApplication): note and go on. Xlib's
    default handler would end the process on a harmless error such as asking for the
    window-manager state of a window on a display that has no window manager. */
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// Hosting needs the message manager, as in any JUCE host; the tests run on its thread.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    if (GTEST_FLAG_GET (list_tests))
        return RUN_ALL_TESTS();

    PrivateSession session;
    // A host shares Xlib with the plug-ins' own message threads.
    XInitThreads();
    XSetErrorHandler (ignoreXError);
    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        result = RUN_ALL_TESTS();
        br::host::releaseFormats();
    }
    return result;
}
