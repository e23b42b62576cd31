#include "plugin/run/RunFrame.h"

#include <commctrl.h>
#include <process.h>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ExceptionGuard.h"
#include "plugin/common/ModalDialog.h"

namespace corvane {

namespace {

// Private messages from WM_APP up to this many belong to the kinds' requests; the frame's own
// request comes after them.
constexpr UINT kRequestMessages = 0x40;
constexpr UINT kRaiseTimerMessage = WM_APP + kRequestMessages - 1;

}  // namespace

RunSeams& runSeams() {
    static RunSeams seams;
    return seams;
}

bool RunWorker::cancelled() const {
    return !cancelEvent_ || WaitForSingleObject(cancelEvent_, 0) != WAIT_TIMEOUT;
}

void RunWorker::send(UINT message, Request& request) {
    pending_.store(&request);
    SendMessageA(dialog_, message, 0, reinterpret_cast<LPARAM>(&request));
    pending_.store(nullptr);
}

void RunWorker::setProgress(size_t range, size_t position, int step) {
    SendDlgItemMessageA(dialog_, progressBarId_, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(range)));
    if (position)
        SendDlgItemMessageA(dialog_, progressBarId_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    SendDlgItemMessageA(dialog_, progressBarId_, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void RunWorker::stepProgress() {
    SendDlgItemMessageA(dialog_, progressBarId_, PBM_STEPIT, 0, 0);
    Sleep(1);
}

void RunWorker::showDialog(bool shown) {
    ShowWindow(dialog_, shown ? SW_SHOW : SW_HIDE);
}

// The frame of one dialog, alive from the command until the dialog has ended.
class RunFrame final : public ModalDialog {
public:
    RunFrame(const RunDialog& resources, RunKind& kind, RunSlot& slot)
        : resources_(resources), kind_(kind), slot_(slot), timer_(runSeams().beginPeriod, runSeams().endPeriod) {}
    RunFrame(const RunFrame&) = delete;
    RunFrame& operator=(const RunFrame&) = delete;
    ~RunFrame() {
        if (ownsSlot_)
            slot_.busy = false;
    }

    void raiseTimer() { timer_.raise(); }

private:
    bool onInit() override {
        start(window());
        return true;
    }
    bool onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    // A handler that threw leaves the message answered, as if served.
    INT_PTR failedAnswer() const override { return TRUE; }
    void start(HWND dialog);
    static unsigned __stdcall workerEntry(void* frame);
    bool workerRunning() const;
    bool waitServingRequests() const;
    void close();
    void end();

    RunDialog resources_;
    RunKind& kind_;
    RunSlot& slot_;
    bool ownsSlot_ = false;
    HWND dialog_ = nullptr;
    RunWorker worker_;
    UniqueHandle thread_;
    UniqueHandle cancelEvent_;
    TimerResolution timer_;
    bool closing_ = false;
    bool ended_ = false;
};

void RunWorker::raiseTimerResolution() {
    RunFrame* frame = frame_;
    ask(kRaiseTimerMessage, [frame] { frame->raiseTimer(); });
}

unsigned __stdcall RunFrame::workerEntry(void* argument) {
    RunFrame* frame = static_cast<RunFrame*>(argument);
    guarded([frame] { frame->kind_.work(frame->worker_); });
    PostMessageA(frame->dialog_, WM_CLOSE, 0, 0);
    return 0;
}

void RunFrame::start(HWND dialog) {
    dialog_ = dialog;
    if (slot_.busy) {
        ended_ = true;
        EndDialog(dialog, 1);
        return;
    }
    slot_.busy = ownsSlot_ = true;
    if (!kind_.prepare(dialog)) {
        end();
        return;
    }
    if (!kind_.cancellable())
        EnableWindow(GetDlgItem(dialog, resources_.cancelButtonId), FALSE);
    cancelEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, kind_.cancelEventName()));
    worker_.dialog_ = dialog;
    worker_.cancelEvent_ = cancelEvent_.get();
    worker_.progressBarId_ = resources_.progressBarId;
    worker_.frame_ = this;
    if (cancelEvent_)
        thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, workerEntry, this, 0, nullptr)));
    // Without a worker nobody would ask the dialog to close.
    if (!thread_)
        close();
}

bool RunFrame::workerRunning() const {
    DWORD code = 0;
    return thread_ && (!GetExitCodeThread(thread_.get(), &code) || code == STILL_ACTIVE);
}

// Waits for the worker while serving what it sends to this thread (its requests and its
// progress bar), so that a worker in the middle of a request can still see the cancel and end.
// Posted messages wait in the queue. False when the wait ran out.
bool RunFrame::waitServingRequests() const {
    HANDLE thread = thread_.get();
    DWORD started = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - started;
        DWORD left = elapsed < runSeams().waitMs ? runSeams().waitMs - elapsed : 0;
        DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void RunFrame::close() {
    if (closing_ || ended_)
        return;
    closing_ = true;
    bool forced = false;
    if (workerRunning()) {
        SetEvent(cancelEvent_.get());
        if (!waitServingRequests()) {
            TerminateThread(thread_.get(), 0);
            forced = true;
        }
    }
    kind_.reclaim();
    timer_.restore();
    if (forced)
        ShowErrorBox(dialog_, kind_.forcedEndText());
    kind_.finish(dialog_);
    end();
}

void RunFrame::end() {
    ended_ = true;
    EndDialog(dialog_, 1);
}

bool RunFrame::onCommand(int id, int) {
    if (ended_)
        return false;
    if (id == IDOK || id == IDCANCEL)
        return true;
    if (id == resources_.cancelButtonId && kind_.cancellable() && workerRunning()) {
        SetEvent(cancelEvent_.get());
        return true;
    }
    close();
    return true;
}

bool RunFrame::onMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
    if (ended_)
        return false;
    result = TRUE;
    if (message >= WM_APP && message < WM_APP + kRequestMessages) {
        // Only the request the worker is waiting on is served; any other message of the range
        // carries nothing the frame can trust.
        RunWorker::Request* request = reinterpret_cast<RunWorker::Request*>(lParam);
        if (request && request == worker_.pending_.load())
            request->serve();
        return true;
    }
    if (message != WM_CLOSE && message != WM_DESTROY)
        return false;
    close();
    return true;
}

void runInDialog(HINSTANCE instance, const RunDialog& resources, HWND owner, RunKind& kind, RunSlot& slot) {
    RunFrame frame(resources, kind, slot);
    frame.show(instance, resources.resourceId, owner);
}

}  // namespace corvane
