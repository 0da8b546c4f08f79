"""Writes a copy of JUCE 7.0.5's juce_events unity file that compiles a corrected copy of
its timer (timers/juce_Timer.cpp) instead of the original.

The fault: JUCE runs every juce::Timer from a thread of its own. At each tick that thread
wakes, posts a message, wakes the message thread, sleeps until the callbacks are done and
wakes again (twice, since handing a timer back to the queue also signals it), and it
wakes at least ten times a second with no timer due at all. An editor that only polls
its processor at 30 Hz, with the tooltip's and the desktop's mouse timers beside it,
thus woke the app some 350 times a second while nothing happened on screen, a cost in
battery and fan noise for an app left open for hours.

The correction keeps the timers' queue and their order as JUCE has them, but lets one
timerfd, watched by the message thread's own run loop (the same one that watches the X
connection, in the app and in plug-ins alike), go off when the first timer is due. Each
tick then wakes the message thread once, and nothing wakes while no timer runs. The
descriptor is registered from the message thread, as JUCE started its thread from there.

Linux only, as the whole product is. The replaced class must match JUCE 7.0.5's to the
byte (its SHA-256 is checked), so a different JUCE fails the build loudly.

Usage: patch_juce_timer.py <juce_events module folder> <output folder>"""
import hashlib
import pathlib
import sys

import juce_patch

module, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
timer_name = "timers/juce_Timer.cpp"

begin = "class Timer::TimerThread"
end = "Timer::TimerThread::LockType Timer::TimerThread::lock;\n"
known_sha256 = "6f52271ea5261469c1e064a0a66cf59a1bef4f2bc2c68849017171e10aab4ea6"

corrected_class = r'''class Timer::TimerThread  : private DeletedAtShutdown,
                            private AsyncUpdater
{
public:
    using LockType = CriticalSection;

    TimerThread()  : timerFd (timerfd_create (CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
    {
        jassert (timerFd >= 0);
        timers.reserve (32);
        triggerAsyncUpdate(); // the descriptor joins the message thread's run loop from there
    }

    ~TimerThread() override
    {
        cancelPendingUpdate();

        if (registered)
            LinuxEventLoop::unregisterFdCallback (timerFd);

        if (timerFd >= 0)
            ::close (timerFd);

        jassert (instance == this || instance == nullptr);

        if (instance == this)
            instance = nullptr;
    }

    void callTimers()
    {
        auto timeout = Time::getMillisecondCounter() + 100;

        const LockType::ScopedLockType sl (lock);
        catchUp();

        while (! timers.empty())
        {
            auto& first = timers.front();

            if (first.countdownMs > 0)
                break;

            auto* timer = first.timer;
            first.countdownMs = timer->timerPeriodMs;
            shuffleTimerBackInQueue (0);

            const LockType::ScopedUnlockType ul (lock);

            JUCE_TRY
            {
                timer->timerCallback();
            }
            JUCE_CATCH_EXCEPTION

            // avoid getting stuck in a loop if a timer callback repeatedly takes too long
            if (Time::getMillisecondCounter() > timeout)
                break;
        }

        catchUp();
        arm();
    }

    void callTimersSynchronously()
    {
        callTimers();
    }

    static void add (Timer* tim) noexcept
    {
        if (instance == nullptr)
            instance = new TimerThread();

        instance->addTimer (tim);
    }

    static void remove (Timer* tim) noexcept
    {
        if (instance != nullptr)
            instance->removeTimer (tim);
    }

    static void resetCounter (Timer* tim) noexcept
    {
        if (instance != nullptr)
            instance->resetTimerCounter (tim);
    }

    static TimerThread* instance;
    static LockType lock;

private:
    struct TimerCountdown
    {
        Timer* timer;
        int countdownMs;
    };

    std::vector<TimerCountdown> timers;

    const int timerFd;
    bool registered = false;  // message thread only
    uint32 lastTime = Time::getMillisecondCounter(); // what the countdowns count from

    /*  Counts every countdown down by the time since the last call, so that all of
        them count from now. Called with the lock held. */
    void catchUp()
    {
        const auto now = Time::getMillisecondCounter();
        const auto elapsed = (int) (now >= lastTime ? (now - lastTime)
                                                    : (std::numeric_limits<uint32>::max() - (lastTime - now)));
        lastTime = now;

        if (elapsed > 0)
            for (auto& t : timers)
                t.countdownMs -= elapsed;
    }

    /*  Sets the descriptor to go off when the first timer is due, or not at all when
        none runs. Called with the lock held, after catchUp(). */
    void arm()
    {
        itimerspec when {};

        if (! timers.empty())
        {
            const auto ms = jmax (1, timers.front().countdownMs);
            when.it_value.tv_sec = ms / 1000;
            when.it_value.tv_nsec = (long) (ms % 1000) * 1000000L;
        }

        timerfd_settime (timerFd, 0, &when, nullptr);
    }

    //==============================================================================
    void addTimer (Timer* t)
    {
        // Trying to add a timer that's already here - shouldn't get to this point,
        // so if you get this assertion, let me know!
        jassert (std::none_of (timers.begin(), timers.end(),
                               [t] (TimerCountdown i) { return i.timer == t; }));

        catchUp();
        auto pos = timers.size();

        timers.push_back ({ t, t->timerPeriodMs });
        t->positionInQueue = pos;
        shuffleTimerForwardInQueue (pos);
        arm();
    }

    void removeTimer (Timer* t)
    {
        auto pos = t->positionInQueue;
        auto lastIndex = timers.size() - 1;

        jassert (pos <= lastIndex);
        jassert (timers[pos].timer == t);

        for (auto i = pos; i < lastIndex; ++i)
        {
            timers[i] = timers[i + 1];
            timers[i].timer->positionInQueue = i;
        }

        timers.pop_back();
        catchUp();
        arm();
    }

    void resetTimerCounter (Timer* t) noexcept
    {
        auto pos = t->positionInQueue;

        jassert (pos < timers.size());
        jassert (timers[pos].timer == t);

        catchUp();
        auto lastCountdown = timers[pos].countdownMs;
        auto newCountdown = t->timerPeriodMs;

        if (newCountdown != lastCountdown)
        {
            timers[pos].countdownMs = newCountdown;

            if (newCountdown > lastCountdown)
                shuffleTimerBackInQueue (pos);
            else
                shuffleTimerForwardInQueue (pos);

            arm();
        }
    }

    void shuffleTimerBackInQueue (size_t pos)
    {
        auto numTimers = timers.size();

        if (pos < numTimers - 1)
        {
            auto t = timers[pos];

            for (;;)
            {
                auto next = pos + 1;

                if (next == numTimers || timers[next].countdownMs >= t.countdownMs)
                    break;

                timers[pos] = timers[next];
                timers[pos].timer->positionInQueue = pos;

                ++pos;
            }

            timers[pos] = t;
            t.timer->positionInQueue = pos;
        }
    }

    void shuffleTimerForwardInQueue (size_t pos)
    {
        if (pos > 0)
        {
            auto t = timers[pos];

            while (pos > 0)
            {
                auto& prev = timers[(size_t) pos - 1];

                if (prev.countdownMs <= t.countdownMs)
                    break;

                timers[pos] = prev;
                timers[pos].timer->positionInQueue = pos;

                --pos;
            }

            timers[pos] = t;
            t.timer->positionInQueue = pos;
        }
    }

    void handleAsyncUpdate() override
    {
        if (timerFd < 0 || registered)
            return;

        registered = true;
        LinuxEventLoop::registerFdCallback (timerFd, [this] (int fd)
        {
            uint64 expirations = 0;
            [[maybe_unused]] const auto bytes = ::read (fd, &expirations, sizeof (expirations));
            callTimers();
        });
    }

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TimerThread)
};

Timer::TimerThread* Timer::TimerThread::instance = nullptr;
Timer::TimerThread::LockType Timer::TimerThread::lock;
'''

timer = (module / timer_name).read_text(encoding='utf-8')
if timer.count(begin) != 1 or timer.count(end) != 1:
    sys.exit("%s does not look like JUCE 7.0.5's: its timer thread class is not where expected" % timer_name)
start, stop = timer.index(begin), timer.index(end) + len(end)
if hashlib.sha256(timer[start:stop].encode('utf-8')).hexdigest() != known_sha256:
    sys.exit("%s does not look like JUCE 7.0.5's: its timer thread class differs" % timer_name)
timer = timer[:start] + corrected_class + timer[stop:]
timer = juce_patch.apply(timer, [("namespace juce\n{\n", "#include <sys/timerfd.h>\n#include <unistd.h>\n\nnamespace juce\n{\n")],
                         timer_name)

juce_patch.write_module(module, output, "juce_events.cpp", {timer_name: timer})
