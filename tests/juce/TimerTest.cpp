// juce::Timer as our corrected JUCE runs it: from a timerfd on the message thread's run
// loop. What callers rely on is what JUCE's own timer thread gave them: order, period,
// changes made from inside a callback, and silence after stopTimer.
//
// Times are lower bounds only (a timer never fires early; the guard is a hang guard), so
// a busy machine makes these tests slower, never red.
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace
{
using br::test::pumpUntil;

struct Tick
{
    int timer;
    juce::uint32 atMs;
};

/** A timer that logs its callbacks and then runs `onTick`. */
class LoggingTimer final : public juce::Timer
{
public:
    LoggingTimer (int idIn, std::vector<Tick>& logIn) : id (idIn), log (logIn) {}
    ~LoggingTimer() override { stopTimer(); }

    void timerCallback() override
    {
        log.push_back ({ id, juce::Time::getMillisecondCounter() });
        ++count;
        if (onTick)
            onTick();
    }

    const int id;
    std::vector<Tick>& log;
    int count = 0;
    std::function<void()> onTick;
};

std::vector<juce::uint32> ticksOf (const std::vector<Tick>& log, int timer)
{
    std::vector<juce::uint32> times;
    for (const auto& tick : log)
        if (tick.timer == timer)
            times.push_back (tick.atMs);
    return times;
}

/** Lets the loop run for at least `ms` (more on a busy machine). */
void pumpFor (int ms)
{
    const auto until = juce::Time::getMillisecondCounter() + (juce::uint32) ms;
    pumpUntil ([until] { return juce::Time::getMillisecondCounter() >= until; }, ms + 10000);
}

// The clock counts whole milliseconds and the kernel rounds the other way at times.
constexpr juce::uint32 clockSlackMs = 2;

TEST (Timer, FiresInOrderOfDueTimeAndNeverBeforeItsPeriod)
{
    std::vector<Tick> log;
    LoggingTimer fast (1, log), medium (2, log), slow (3, log);
    const auto start = juce::Time::getMillisecondCounter();
    slow.startTimer (45);
    fast.startTimer (15);
    medium.startTimer (30);

    ASSERT_TRUE (pumpUntil ([&] { return slow.count >= 3; }));

    // Each timer's first tick comes in the order they fall due, whatever order they
    // were started in.
    ASSERT_GE (log.size(), 3u);
    EXPECT_EQ (log[0].timer, 1);
    EXPECT_GE (ticksOf (log, 2).front(), ticksOf (log, 1).front());
    EXPECT_GE (ticksOf (log, 3).front(), ticksOf (log, 2).front());

    for (const auto& [timer, period] : { std::pair { 1, 15u }, { 2, 30u }, { 3, 45u } })
    {
        SCOPED_TRACE (timer);
        auto previous = start;
        for (const auto at : ticksOf (log, timer))
        {
            EXPECT_GE (at - previous + clockSlackMs, period);
            previous = at;
        }
    }
    EXPECT_GE (fast.count, medium.count);
    EXPECT_GE (medium.count, slow.count);
}

TEST (Timer, StartedAndStoppedFromInsideCallbacks)
{
    std::vector<Tick> log;
    LoggingTimer starter (1, log), started (2, log), stopper (3, log), victim (4, log), quitter (5, log);

    // A callback starts another timer, which then runs at its own period.
    starter.onTick = [&] { if (! started.isTimerRunning()) started.startTimer (10); };
    // A callback stops a timer that is due at the same moment, and one stops itself.
    stopper.onTick = [&] { victim.stopTimer(); };
    quitter.onTick = [&] { quitter.stopTimer(); };

    starter.startTimer (20);
    victim.startTimer (40);
    stopper.startTimer (40);
    quitter.startTimer (5);

    ASSERT_TRUE (pumpUntil ([&] { return started.count >= 3 && stopper.count >= 2; }));
    starter.stopTimer();
    stopper.stopTimer();
    started.stopTimer();

    const auto victimTicks = victim.count;
    pumpFor (120);

    EXPECT_LE (victimTicks, 1) << "stopped in the callback of a timer due with it";
    EXPECT_EQ (victim.count, victimTicks);
    EXPECT_EQ (quitter.count, 1);
    const auto startedTicks = ticksOf (log, 2);
    const auto firstStart = ticksOf (log, 1).front();
    ASSERT_FALSE (startedTicks.empty());
    EXPECT_GE (startedTicks.front() - firstStart + clockSlackMs, 10u);
}

TEST (Timer, ALongCallbackDelaysTheOthersWithoutABurst)
{
    std::vector<Tick> log;
    LoggingTimer slowCallback (1, log), steady (2, log);
    bool slept = false;
    slowCallback.onTick = [&]
    {
        if (! std::exchange (slept, true))
            juce::Thread::sleep (80);
    };
    steady.startTimer (10);
    slowCallback.startTimer (25);

    ASSERT_TRUE (pumpUntil ([&] { return slept && steady.count >= 12; }));
    slowCallback.stopTimer();
    steady.stopTimer();

    // After the long callback the steady timer fires once for the time it lost, not
    // once for every period that passed, and then goes on at its period.
    const auto ticks = ticksOf (log, 2);
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GE (ticks[i] - ticks[i - 1] + clockSlackMs, 10u) << "tick " << i;
}

TEST (Timer, NoneFiresAfterItsRemoval)
{
    std::vector<Tick> log;
    LoggingTimer removed (1, log), witness (2, log);
    removed.startTimer (5);
    witness.startTimer (5);
    ASSERT_TRUE (pumpUntil ([&] { return removed.count >= 2; }));

    removed.stopTimer();
    const auto ticks = removed.count;
    const auto witnessTicks = witness.count;
    ASSERT_TRUE (pumpUntil ([&] { return witness.count >= witnessTicks + 5; }));
    EXPECT_EQ (removed.count, ticks);

    // A deleted timer is removed too: nothing calls into freed memory.
    {
        LoggingTimer shortLived (3, log);
        shortLived.startTimer (1);
    }
    pumpFor (30);
    EXPECT_TRUE (ticksOf (log, 3).empty());
}

// Timers may be started and stopped from any thread, as JUCE documents; the message
// thread meanwhile runs the callbacks.
TEST (Timer, StartedAndStoppedFromAnotherThread)
{
    std::vector<Tick> log;
    LoggingTimer busy (1, log);
    std::atomic<bool> done { false };
    std::thread other ([&]
    {
        for (int i = 0; i < 300; ++i)
        {
            busy.startTimer (1 + i % 3);
            std::this_thread::yield();
            if (i % 2 == 0)
                busy.stopTimer();
        }
        busy.startTimer (2);
        done = true;
    });

    ASSERT_TRUE (pumpUntil ([&] { return done.load(); }));
    other.join();
    const auto before = busy.count;
    ASSERT_TRUE (pumpUntil ([&] { return busy.count >= before + 3; }));
    busy.stopTimer();
    const auto after = busy.count;
    pumpFor (20);
    EXPECT_EQ (busy.count, after);
}
} // namespace
