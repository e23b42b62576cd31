// The system timer raised to a 1 ms resolution for as long as the owner lives.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace corvane {

// The workers pause 1 ms after each message so that the host's window keeps up. With the
// default timer tick of 15.6 ms, Sleep(1) sleeps a whole tick, and 1,000 messages would spend
// about 16 s in pauses instead of 1 s; so a run raises the resolution and restores it however
// it ends.
class TimerResolution {
public:
    TimerResolution() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~TimerResolution() {
        if (raised_)
            timeEndPeriod(1);
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    bool raised_;
};

}  // namespace corvane
