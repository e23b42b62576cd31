// Progress and cancel for learning rules: the console front end passes none, the plug-in's
// learning dialog shows the progress and stops the work when the user cancels. Platform-free.
#pragma once

#include <cstddef>

namespace corvane {

enum class LearnStage {
    Reading,    // messages read from the folders
    Preparing,  // messages taken apart into the header values rules are learnt on
    Learning,   // folders learnt
    Deciding,   // messages decided by the existing rules
    Counting,   // proposals counted over the mail, and the held-out mail measured
};

// The most units of work (one message looked at, in any stage) between two polls: what bounds
// how long a cancel waits, whatever the stage.
constexpr size_t kLearnPollUnits = 64;

class LearnMonitor {
public:
    virtual ~LearnMonitor() = default;
    // Polled between messages and between the candidates of a folder. done of total units of the
    // stage are finished; false stops the work, which then returns what it has, marked cancelled.
    virtual bool proceed(LearnStage stage, size_t done, size_t total) = 0;
    // Told just before each poll of a stage that counts its work: the units done since the
    // previous poll. For tests of how often each stage polls.
    virtual void unitsBeforePoll(LearnStage, size_t) {}
};

// Polls monitor when there is one; true to go on.
inline bool proceedWith(LearnMonitor* monitor, LearnStage stage, size_t done, size_t total) {
    return !monitor || monitor->proceed(stage, done, total);
}

// Counts units of work and polls the monitor every kLearnPollUnits of them; once the monitor
// says stop, every later step says stop too.
class LearnPoller {
public:
    explicit LearnPoller(LearnMonitor* monitor) : monitor_(monitor) {}

    // One unit done; false once cancelled.
    bool step(LearnStage stage, size_t done, size_t total) {
        if (++units_ >= kLearnPollUnits)
            return poll(stage, done, total);
        return !cancelled_;
    }
    // Polls now.
    bool poll(LearnStage stage, size_t done, size_t total) {
        if (monitor_ && !cancelled_) {
            monitor_->unitsBeforePoll(stage, units_);
            cancelled_ = !monitor_->proceed(stage, done, total);
        }
        units_ = 0;
        return !cancelled_;
    }
    bool cancelled() const { return cancelled_; }
    LearnMonitor* monitor() const { return monitor_; }

private:
    LearnMonitor* monitor_;
    size_t units_ = 0;
    bool cancelled_ = false;
};

}  // namespace corvane
