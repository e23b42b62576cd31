// The guard that keeps exceptions from reaching the host: every entry point and window
// procedure the host or the system calls runs its body through it.
#pragma once

namespace corvane {

// Runs body and turns any exception into fallback, so that none reaches the host.
template <typename Result, typename Body>
Result guarded(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace corvane
