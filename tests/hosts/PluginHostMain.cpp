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

        // Displays from 200 up: clear of a desktop's :0 and of the shell tests' range, so
        // that a program another test started on the machine's own display never finds
        // this server there and loses it when this run ends.
        for (int number = 200; number < 400; ++number)
        {
            const auto name = ":" + std::to_string (number);
            const auto socket = "/tmp/.X11-unix/X" + std::to_string (number);
            if (access (socket.c_str(), F_OK) == 0 || access (("/tmp/.X" + std::to_string (number) + "-lock").c_str(), F_OK) == 0)
                continue;

            xvfb = fork();
            if (xvfb == 0)
            {
                // The server must not outlive a crashed test, nor hold its output open.
                prctl (PR_SET_PDEATHSIG, SIGTERM);
                const auto devNull = open ("/dev/null", O_WRONLY);
                dup2 (devNull, 1);
                dup2 (devNull, 2);
                // Wide enough for the editor at its largest interface size (2735 x 1485).
                execlp ("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "3000x1600x24", "-nolisten", "tcp", (char*) nullptr);
                _exit (127);
            }
            if (xvfb < 0)
                break;

            // Ours once its socket is up and the lock file names our server; another run
            // may have taken the same number a moment earlier, and then ours gives up.
            const auto lock = "/tmp/.X" + std::to_string (number) + "-lock";
            for (int wait = 0; wait < 100; ++wait)
            {
                if (waitpid (xvfb, nullptr, WNOHANG) == xvfb)
                    break;
                if (access (socket.c_str(), F_OK) == 0 && lockOwner (lock) == xvfb)
                {
                    setenv ("DISPLAY", name.c_str(), 1);
                    return;
                }
                usleep (50000);
            }
            kill (xvfb, SIGTERM);
            waitpid (xvfb, nullptr, 0);
        }
        xvfb = 0;
    }

    static pid_t lockOwner (const std::string& lockFile)
    {
        char text[32] = {};
        const auto fd = open (lockFile.c_str(), O_RDONLY);
        if (fd < 0)
            return -1;
        const auto length = read (fd, text, sizeof (text) - 1);
        close (fd);
        return length > 0 ? (pid_t) std::atoi (text) : -1;
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
