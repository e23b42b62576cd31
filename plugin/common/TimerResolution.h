// The system timer raised to a 1 ms resolution for part of a run, and put back afterwards.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace corvane {

// The workers pause 1 ms after each message so that the host's window keeps up. With the
// default timer tick of 15.6 ms, Sleep(1) sleeps a whole tick, and 1,000 messages would spend
// about 16 s in pauses instead of 1 s; so a run raises the resolution, and whoever owns the run
// restores it however the run ends.
class TimerResolution {
public:
    using PeriodCall = UINT(WINAPI*)(UINT);

    // begin and end replace winmm's timeBeginPeriod and timeEndPeriod when given (a test
    // counts the calls through them).
    explicit TimerResolution(PeriodCall begin = nullptr, PeriodCall end = nullptr) : begin_(begin), end_(end) {}
    ~TimerResolution() { restore(); }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

    // Raises the resolution once; later calls do nothing until restore.
    void raise() {
        if (!raised_)
            raised_ = (begin_ ? begin_(1) : timeBeginPeriod(1)) == TIMERR_NOERROR;
    }
    void restore() {
        if (!raised_)
            return;
        raised_ = false;
        if (end_)
            end_(1);
        else
            timeEndPeriod(1);
    }

private:
    PeriodCall begin_;
    PeriodCall end_;
    bool raised_ = false;
};

}  // namespace corvane
