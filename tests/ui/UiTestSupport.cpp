#include "UiTestSupport.h"
#include "ui/BRLookAndFeel.h"
#include "ui/Fonts.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace juce
{
// The message loop's single step. JUCE runs it from runDispatchLoopUntil, which this
// build leaves out (no modal loops), so the tests drive it directly.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace br::test
{
namespace
{
/** An Xvfb server owned by this test process. It is stopped by a static destructor,
    i.e. after main has shut JUCE down and closed JUCE's connection to it; should the
    process die first, the kernel sends the server SIGTERM (PR_SET_PDEATHSIG). */
class PrivateXServer
{
public:
    static PrivateXServer& instance()
    {
        static PrivateXServer server;
        return server;
    }

    ~PrivateXServer() { stop(); }

    bool running() const noexcept { return pid > 0; }

    bool start()
    {
        if (running())
            return true;

        // Numbers well above the usual :0 and :1, spread by process id so that test
        // processes run in parallel by CTest rarely meet; a clash just moves on.
        for (int attempt = 0; attempt < 40; ++attempt)
        {
            const int number = 150 + (int) ((getpid() + attempt * 37) % 700);
            if (displayInUse (number))
                continue;
            if (launch (number))
                return true;
        }
        return false;
    }

private:
    static bool displayInUse (int number)
    {
        return juce::File ("/tmp/.X" + juce::String (number) + "-lock").exists()
               || juce::File ("/tmp/.X11-unix/X" + juce::String (number)).exists();
    }

    bool launch (int number)
    {
        const auto name = ":" + juce::String (number);
        const auto child = fork();
        if (child < 0)
            return false;

        if (child == 0)
        {
            prctl (PR_SET_PDEATHSIG, SIGTERM);
            const int devNull = open ("/dev/null", O_RDWR);
            if (devNull >= 0)
            {
                dup2 (devNull, STDOUT_FILENO);
                dup2 (devNull, STDERR_FILENO);
            }
            // -noreset keeps the atoms interned below alive between client connections.
            execlp ("Xvfb", "Xvfb", name.toRawUTF8(), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset",
                    (char*) nullptr);
            _exit (127);
        }

        const juce::File socket ("/tmp/.X11-unix/X" + juce::String (number));
        for (int i = 0; i < 1000; ++i)
        {
            int status = 0;
            if (waitpid (child, &status, WNOHANG) == child)
                return false; // refused: display taken, or no Xvfb installed
            if (socket.exists() && internWindowManagerAtoms (name))
            {
                pid = child;
                setenv ("DISPLAY", name.toRawUTF8(), 1);
                return true;
            }
            usleep (10000);
        }

        kill (child, SIGTERM);
        waitpid (child, nullptr, 0);
        return false;
    }

    /** JUCE looks up these atoms without creating them, expecting a window manager to
        have done so, and then sets window properties with them. On a bare server they
        would be 0, and the first window would die of a BadAtom error. */
    static bool internWindowManagerAtoms (const juce::String& displayName)
    {
        using Display = void;
        juce::DynamicLibrary xlib ("libX11.so.6");
        auto* openDisplay = (Display* (*) (const char*)) xlib.getFunction ("XOpenDisplay");
        auto* internAtom = (unsigned long (*) (Display*, const char*, int)) xlib.getFunction ("XInternAtom");
        auto* closeDisplay = (int (*) (Display*)) xlib.getFunction ("XCloseDisplay");
        if (openDisplay == nullptr || internAtom == nullptr || closeDisplay == nullptr)
            return false;

        auto* display = openDisplay (displayName.toRawUTF8());
        if (display == nullptr)
            return false; // not accepting connections yet

        for (const auto* atom :
             { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE", "KWM_WIN_DECORATION",
               "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", "_MOTIF_WM_HINTS", "_NET_FRAME_EXTENTS", "_NET_WM_ALLOWED_ACTIONS",
               "_NET_WM_PING", "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_HIDDEN",
               "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WORKAREA",
               "_WIN_HINTS" })
            internAtom (display, atom, 0);

        closeDisplay (display);
        return true;
    }

    void stop()
    {
        if (pid <= 0)
            return;
        kill (pid, SIGTERM);
        waitpid (pid, nullptr, 0);
        pid = -1;
    }

    pid_t pid = -1;
};

/** Starts the private display before the first test, and only when a selected test
    needs one: JUCE connects to X once per process, on first use of the desktop. */
class DisplayEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        auto* unitTest = testing::UnitTest::GetInstance();
        for (int i = 0; i < unitTest->total_test_suite_count(); ++i)
        {
            const auto* suite = unitTest->GetTestSuite (i);
            if (suite->should_run() && juce::String (suite->name()).endsWith ("OnDisplay"))
            {
                PrivateXServer::instance().start();
                return;
            }
        }

        // Everything else paints into images and needs no display. With none named,
        // JUCE would connect to ":0.0", and a server that someone else runs there (and
        // may stop mid-run, which kills this process) must stay out of the tests.
        setenv ("DISPLAY", ":65535", 1);
    }
};

[[maybe_unused]] const auto* const displayEnvironment = testing::AddGlobalTestEnvironment (new DisplayEnvironment);
} // namespace

bool privateDisplayRunning() { return PrivateXServer::instance().running(); }

juce::Image paintComponent (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, juce::jmax (1, component.getWidth()), juce::jmax (1, component.getHeight()),
                       true, juce::SoftwareImageType());
    juce::Graphics g (image);
    component.paintEntireComponent (g, true);
    return image;
}

juce::MouseEvent mouseEvent (juce::Component& component, juce::Point<float> position, juce::ModifierKeys mods,
                             int clicks, juce::Point<float> downPosition)
{
    if (downPosition.x < 0.0f && downPosition.y < 0.0f)
        downPosition = position;
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, mods,
                             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                             juce::MouseInputSource::defaultTiltY, &component, &component, now, downPosition, now,
                             clicks, position != downPosition);
}

namespace
{
juce::ModifierKeys withLeftButton (juce::ModifierKeys mods)
{
    if (mods.isAnyMouseButtonDown())
        return mods;
    return juce::ModifierKeys (mods.getRawFlags() | juce::ModifierKeys::leftButtonModifier);
}
} // namespace

void Mouse::press (juce::Point<float> at, juce::ModifierKeys mods)
{
    downAt = at;
    target.mouseDown (mouseEvent (target, at, withLeftButton (mods), 1, at));
}

void Mouse::drag (juce::Point<float> to, juce::ModifierKeys mods)
{
    target.mouseDrag (mouseEvent (target, to, withLeftButton (mods), 1, downAt));
}

void Mouse::release (juce::Point<float> at, juce::ModifierKeys mods)
{
    target.mouseUp (mouseEvent (target, at, mods.withoutMouseButtons(), 1, downAt));
}

void Mouse::click (juce::Point<float> at, juce::ModifierKeys mods)
{
    press (at, mods);
    release (at, mods);
}

void Mouse::doubleClick (juce::Point<float> at)
{
    click (at);
    downAt = at;
    const auto secondPress = mouseEvent (target, at, juce::ModifierKeys::leftButtonModifier, 2, at);
    target.mouseDown (secondPress);
    target.mouseDoubleClick (secondPress);
    target.mouseUp (mouseEvent (target, at, {}, 2, at));
}

bool pumpUntil (const std::function<bool()>& done, int guardMs)
{
    const auto giveUpAt = juce::Time::getMillisecondCounter() + (juce::uint32) guardMs;
    while (! done())
    {
        if (juce::Time::getMillisecondCounter() > giveUpAt)
            return done();
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }
    return true;
}

void pumpPending()
{
    for (int i = 0; i < 10000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}

int colourDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getAlpha() - (int) b.getAlpha()), std::abs ((int) a.getRed() - (int) b.getRed()),
                       std::abs ((int) a.getGreen() - (int) b.getGreen()),
                       std::abs ((int) a.getBlue() - (int) b.getBlue()));
}

int brightestRed (const juce::Image& image, juce::Rectangle<int> area)
{
    int brightest = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            brightest = juce::jmax (brightest, (int) image.getPixelAt (x, y).getRed());
    return brightest;
}

bool hasInk (const juce::Image& image, juce::Rectangle<int> area, int minRed)
{
    return brightestRed (image, area) >= minRed;
}

juce::Range<int> inkColumns (const juce::Image& image, juce::Rectangle<int> area,
                             const std::function<bool (juce::Colour)>& isInk)
{
    int first = -1, last = -1;
    for (int x = area.getX(); x < area.getRight(); ++x)
        for (int y = area.getY(); y < area.getBottom(); ++y)
            if (isInk (image.getPixelAt (x, y)))
            {
                if (first < 0)
                    first = x;
                last = x;
            }
    return { first, last + 1 };
}

juce::Colour blend (juce::Colour under, juce::Colour over, float alpha)
{
    const auto mix = [alpha] (juce::uint8 u, juce::uint8 o)
    { return (juce::uint8) juce::roundToInt ((float) u + ((float) o - (float) u) * alpha / 255.0f); };
    return juce::Colour (mix (under.getRed(), over.getRed()), mix (under.getGreen(), over.getGreen()),
                         mix (under.getBlue(), over.getBlue()), (juce::uint8) 255);
}
} // namespace br::test

void OnDisplay::SetUp()
{
    ASSERT_TRUE (br::test::privateDisplayRunning()) << "no private X display: is Xvfb installed?";
}

namespace br::test
{
SetTip setTip (const juce::String& tip, juce::Rectangle<int> box)
{
    auto glyphs = br::ui::tooltipLayout (tip, box.getWidth(), box.getHeight());
    juce::GlyphArrangement oneLine;
    oneLine.addLineOfText (br::ui::font (13.0f, false, false), tip, 0.0f, 0.0f);

    const auto ink = [] (juce::GlyphArrangement& arrangement)
    {
        std::pair<juce::String, float> charsAndWidth;
        for (int i = 0; i < arrangement.getNumGlyphs(); ++i)
            if (const auto& glyph = arrangement.getGlyph (i); ! glyph.isWhitespace())
            {
                charsAndWidth.first += juce::String::charToString (glyph.getCharacter());
                charsAndWidth.second += glyph.getBounds().getWidth();
            }
        return charsAndWidth;
    };
    const auto set = ink (glyphs);
    const auto unset = ink (oneLine);

    SetTip result;
    result.whole = set.first == unset.first && std::abs (set.second - unset.second) < 0.01f;
    result.fullSize = true;
    result.inside = true;
    const auto area = juce::Rectangle<int> (8, 4, box.getWidth() - 16, box.getHeight() - 8).toFloat().expanded (0.01f);
    for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
    {
        const auto& glyph = glyphs.getGlyph (i);
        if (std::find (result.baselines.begin(), result.baselines.end(), glyph.getBaselineY()) == result.baselines.end())
            result.baselines.push_back (glyph.getBaselineY());
        result.fullSize = result.fullSize && glyph.getBounds().getHeight() == 13.0f;
        result.inside = result.inside && (glyph.isWhitespace() || area.contains (glyph.getBounds()));
    }
    std::sort (result.baselines.begin(), result.baselines.end());
    result.lines = (int) result.baselines.size();
    return result;
}
} // namespace br::test
