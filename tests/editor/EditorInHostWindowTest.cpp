// The editor inside a window that belongs to somebody else, as a plug-in's editor lives
// in a DAW. The "host" is a second X connection of this process with an error handler
// of its own, as a GTK host has beside JUCE's connection; it owns the window the
// editor sits in, and hides, destroys or takes the focus from it as DAWs do.
#include "EditorTestSupport.h"

#include <X11/Xlib.h>
#undef KeyPress // Xlib's event number, not juce::KeyPress

using namespace br::test;

namespace
{
int hostErrors = 0;

/** GDK's handler exits the host on an error nobody trapped; this one counts them. */
int countHostError (Display*, XErrorEvent*)
{
    ++hostErrors;
    return 0;
}

class HostWindow
{
public:
    HostWindow() : display (XOpenDisplay (nullptr))
    {
        if (display == nullptr)
            return;
        window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1200, 700, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False);
        replacedHandler = XSetErrorHandler (countHostError);
    }

    ~HostWindow()
    {
        if (display == nullptr)
            return;
        if (window != 0)
            XDestroyWindow (display, window);
        XSync (display, False);
        XSetErrorHandler (replacedHandler);
        XCloseDisplay (display);
    }

    void hide() { call ([this] { XUnmapWindow (display, window); }); }
    void show() { call ([this] { XMapWindow (display, window); }); }
    void takeFocus() { call ([this] { XSetInputFocus (display, window, RevertToParent, CurrentTime); }); }
    void destroy()
    {
        call ([this] { XDestroyWindow (display, window); });
        window = 0;
    }

    Display* const display;
    Window window = 0;

private:
    template <typename Request>
    void call (Request&& request)
    {
        request();
        XSync (display, False);
    }

    XErrorHandler replacedHandler = nullptr;
};

/** Lies over the whole editor and keeps the area of every frame that draws any of it. */
struct FrameCounter : juce::Component
{
    FrameCounter() { setInterceptsMouseClicks (false, false); }
    void paint (juce::Graphics& g) override { areas.push_back (g.getClipBounds()); }
    int frames() const { return (int) areas.size(); }

    std::vector<juce::Rectangle<int>> areas;
};

class EditorInAHostWindowOnDisplay : public OnDisplay
{
protected:
    void SetUp() override
    {
        OnDisplay::SetUp();
        hostErrors = 0;
        host = std::make_unique<HostWindow>();
        ASSERT_NE (host->display, nullptr);
        editor = std::make_unique<BrellumEditor> (processor);
        editor->addAndMakeVisible (counter);
        counter.setBounds (editor->getLocalBounds());
        editor->setVisible (true);
        editor->addToDesktop (0, (void*) host->window);
        ASSERT_TRUE (pumpUntil ([this] { return editor->isShowing(); }));
        pumpPending();
    }

    void TearDown() override
    {
        editor.reset();
        pumpPending();
        host.reset();
    }

    /** Runs the message loop with audio flowing, so that the LFO moves the sphere and
        the meters, for at least `ms`. */
    void playFor (int ms)
    {
        const auto until = juce::Time::getMillisecondCounter() + (juce::uint32) ms;
        juce::AudioBuffer<float> buffer (2, 480);
        juce::MidiBuffer midi;
        processor.prepareToPlay (48000.0, buffer.getNumSamples());
        pumpUntil ([&]
        {
            buffer.clear();
            processor.processBlock (buffer, midi);
            juce::Thread::sleep (5);
            return juce::Time::getMillisecondCounter() >= until;
        }, ms + 10000);
    }

    /** Lets a frame be drawn: every event Xlib has already read (a FocusIn that came
        with the reply to a focus query) is handed on at its start. */
    void drawAFrame()
    {
        const auto frames = counter.frames();
        editor->repaint();
        ASSERT_TRUE (pumpUntil ([&] { return counter.frames() > frames; }));
        pumpPending();
    }

    void typeKeys (const juce::String& keys)
    {
        for (auto character : keys)
            editor->getPeer()->handleKeyPress (juce::KeyPress (character, {}, character));
        editor->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
        pumpPending();
    }

    TestHome home;
    BrellumProcessor processor;
    std::unique_ptr<HostWindow> host;
    FrameCounter counter;
    std::unique_ptr<BrellumEditor> editor;
};
} // namespace

// Ardour with plug-in windows destroyed on close: the host destroys its window, then
// asks the plug-in to close its editor, whose window went with the host's.
TEST_F (EditorInAHostWindowOnDisplay, AHostThatDestroysItsWindowFirstHearsOfNoError)
{
    host->destroy();
    editor.reset();
    pumpPending();

    EXPECT_EQ (hostErrors, 0);
}

// A double-click into a value box while the host has the focus: the window manager's
// FocusIn comes after the box took the focus, and the keys must still go to the box.
TEST_F (EditorInAHostWindowOnDisplay, TypedKeysGoToTheBoxOpenedWhileTheHostHadTheFocus)
{
    // The user worked in the editor last on the preset bar, then in the host.
    auto& bar = editor->presetBar;
    for (int i = 0; i < 2; ++i) // once more after the window's own FocusIn
    {
        bar.prevButton.grabKeyboardFocus();
        drawAFrame();
    }
    ASSERT_TRUE (bar.prevButton.hasKeyboardFocus (false));

    host->takeFocus();
    ASSERT_TRUE (pumpUntil ([&] { return juce::Component::getCurrentlyFocusedComponent() == nullptr; }));

    const auto program = processor.getCurrentProgram();
    Mouse { editor->mixBox }.doubleClick ({ 10.0f, 10.0f });
    ASSERT_TRUE (editor->mixBox.isEditing());
    pumpPending(); // the late FocusIn

    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    EXPECT_TRUE (focused != nullptr && editor->mixBox.isParentOf (focused)) << "the focus went back to an old component";
    typeKeys ("50");

    EXPECT_FALSE (editor->mixBox.isEditing());
    EXPECT_NEAR (processor.parameters.getRawParameterValue ("mix")->load(), 50.0f, 1.0e-4f);
    EXPECT_EQ (processor.getCurrentProgram(), program) << "Return acted on the preset bar";
}

// Ardour's default hides a closed plug-in window: the editor's own window stays mapped
// inside the hidden one.
TEST_F (EditorInAHostWindowOnDisplay, AHiddenWindowDrawsNothingAndShowsAllOfItselfAgain)
{
    playFor (300);
    ASSERT_GT (counter.frames(), 0) << "the editor should animate while it can be seen";

    host->hide();
    ASSERT_TRUE (pumpUntil ([&] { playFor (50); return ! editor->isShowing(); }));
    const auto framesWhenHidden = counter.frames();
    playFor (1500);
    EXPECT_EQ (counter.frames(), framesWhenHidden) << "frames drawn for a window nobody can see";

    host->show();
    ASSERT_TRUE (pumpUntil ([&] { return editor->isShowing() && counter.frames() > framesWhenHidden; }));
    EXPECT_EQ (counter.areas[(size_t) framesWhenHidden], editor->getLocalBounds())
        << "the first frame after showing is not complete";
    const auto framesWhenShown = counter.frames();
    playFor (300);
    EXPECT_GT (counter.frames(), framesWhenShown) << "the refresh did not resume";
}
