// Progress and cancel for learning rules: the console front end passes none, the plug-in's
// learning dialog shows the progress and stops the work when the user cancels. Platform-free.
#pragma once

#include <cstddef>

namespace corvane {

enum class LearnStage {
    Reading,    // messages read from the folders
    Preparing,  // messages taken apart into the header values rules are learnt on
    Learning,   // folders learnt
};

class LearnMonitor {
public:
    virtual ~LearnMonitor() = default;
    // Polled between messages and between the candidates of a folder. done of total units of the
    // stage are finished; false stops the work, which then returns what it has, marked cancelled.
    virtual bool proceed(LearnStage stage, size_t done, size_t total) = 0;
};

// Polls monitor when there is one; true to go on.
inline bool proceedWith(LearnMonitor* monitor, LearnStage stage, size_t done, size_t total) {
    return !monitor || monitor->proceed(stage, done, total);
}

}  // namespace corvane
