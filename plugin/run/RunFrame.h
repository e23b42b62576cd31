// One run of a command behind its modal progress dialog: the dialog on the host's window
// thread, one worker thread for the work, and everything between them. A kind of run (sorting,
// undo, ...) says only what differs: what it checks before it starts, its work, what it gives
// back when the work is over, and what it reports.
//
// Every way out ends in the same place on the window thread: the worker's own end, a cancel,
// a close of the dialog while the worker runs (Alt+F4, the host closing) and a worker that had
// to be terminated. There the frame releases what the run held (the kind's reclaim, the timer
// resolution) and lets the kind report.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "plugin/common/TimerResolution.h"
#include "plugin/common/WinHandle.h"
#include "plugin/resources/resource.h"

namespace corvane {

// Process-wide settings of every run, replaceable by tests: how long a close waits for the
// worker before it terminates it, and the calls that raise and restore the timer resolution.
struct RunSeams {
    DWORD waitMs = 30000;
    TimerResolution::PeriodCall beginPeriod = nullptr;
    TimerResolution::PeriodCall endPeriod = nullptr;
};
RunSeams& runSeams();

// The dialog resource of a kind of run and its two controls.
struct RunDialog {
    int resourceId = IDD_PROGRESS;
    int progressBarId = IDC_PROGRESS_BAR;
    int cancelButtonId = IDC_PROGRESS_CANCEL;
};

// Keeps one kind of run to one dialog at a time in the process: a second dialog of the kind,
// opened on the same thread while the first runs, ends at once.
struct RunSlot {
    bool busy = false;
};

class RunFrame;

// What the worker thread sees of the frame.
class RunWorker {
public:
    HWND dialog() const { return dialog_; }
    // Whether the run was cancelled (its cancel button, or a close of the dialog).
    bool cancelled() const;
    // Runs serve on the window thread while this thread waits for it. message is the kind's
    // own private message number (from WM_APP); serve may call the host and show boxes.
    template <typename Serve>
    void ask(UINT message, Serve&& serve) {
        struct Call final : Request {
            explicit Call(Serve& s) : body(s) {}
            void serve() override { body(); }
            Serve& body;
        } call(serve);
        send(message, call);
    }
    // Raises the timer resolution for the rest of the run; the frame restores it.
    void raiseTimerResolution();
    // The progress bar: its range 0 .. range (16 bits), position and step.
    void setProgress(size_t range, size_t position, int step);
    // One step of the progress bar, then the 1 ms pause that lets the host's window keep up.
    void stepProgress();
    void showDialog(bool shown);

    struct Request {
        virtual void serve() = 0;

    protected:
        ~Request() = default;
    };

private:
    friend class RunFrame;
    RunWorker() = default;
    void send(UINT message, Request& request);

    HWND dialog_ = nullptr;
    HANDLE cancelEvent_ = nullptr;
    int progressBarId_ = 0;
    RunFrame* frame_ = nullptr;
    std::atomic<Request*> pending_{nullptr};
};

class RunKind {
public:
    virtual ~RunKind() = default;

    // Window thread, as the dialog opens: false ends it at once (the kind has said why, if at
    // all); no worker starts.
    virtual bool prepare(HWND dialog) = 0;
    // Worker thread: the whole work. The frame posts WM_CLOSE to the dialog when it returns.
    virtual void work(RunWorker& worker) = 0;
    // Window thread, once the worker has ended by itself or by force: gives back what the work
    // holds in records that outlive the run (buffers, compiled expressions).
    virtual void reclaim() {}
    // Window thread, last: what the run leaves behind and the boxes that report it.
    virtual void finish(HWND dialog) = 0;
    // The error box shown when the worker had to be terminated.
    virtual const char* forcedEndText() const = 0;
    // The name of the run's cancel event, or none for one of its own.
    virtual const char* cancelEventName() const { return nullptr; }
    // Whether the cancel button cancels; without it the button is disabled from the start.
    virtual bool cancellable() const { return true; }
};

// Shows the kind's dialog modally over owner from instance's resources and runs the kind in it.
void runInDialog(HINSTANCE instance, const RunDialog& resources, HWND owner, RunKind& kind, RunSlot& slot);

}  // namespace corvane
