// gantrel.dll loaded as the plug-in loads it, with real top-level windows on this thread:
// menu commands posted to them and key input injected into the desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "contract/StdcallBytes.h"
#include "host/KeyInput.h"

#define HOOK_EXPORT(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "contract/HookExports.h"
#undef HOOK_EXPORT

namespace {

constexpr int kDistributeId = 40001;
constexpr int kUndoId = 40002;

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
};
std::vector<Received> journal;

bool isRecorded(UINT message) {
    switch (message) {
    case WM_COMMAND:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isRecorded(message))
        journal.push_back({window, message, wParam});
    // Alt keys stay away from the default procedure: it would enter the menu loop.
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs this thread's message loop for a while; thread messages are recorded with no window.
void pump(DWORD milliseconds = 150) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr && isRecorded(msg.message))
                journal.push_back({nullptr, msg.message, msg.wParam});
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

// The wParams of one message that reached the window, in order.
std::vector<WPARAM> arrived(HWND window, UINT message) {
    std::vector<WPARAM> found;
    for (const Received& r : journal)
        if (r.window == window && r.message == message)
            found.push_back(r.wParam);
    return found;
}

using Ids = std::vector<WPARAM>;

size_t count(HWND window, UINT message, WPARAM wParam) {
    size_t n = 0;
    for (WPARAM w : arrived(window, message))
        n += w == wParam;
    return n;
}

HWND createWindow(const char* title, int x, HWND owner = nullptr) {
    // Owned windows are pop-ups, as dialogs and property sheets are.
    const DWORD style = (owner ? WS_POPUP : WS_OVERLAPPED) | WS_CAPTION | WS_VISIBLE;
    return CreateWindowExA(0, "GantrelTestWindow", title, style, x, 40, 200, 120, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// A control inside a window, like the message list of a host folder window.
HWND createChild(HWND parent) {
    return CreateWindowExA(0, "GantrelTestWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                           parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void type(std::vector<INPUT> inputs) {
    const UINT events = static_cast<UINT>(inputs.size());
    EXPECT_EQ(events, SendInput(events, inputs.data(), sizeof(INPUT)));
    pump();
}

// Alt held around presses of one key; extraPresses more key-downs make an auto-repeat.
void typeWithAlt(WORD virtualKey, int extraPresses = 0) {
    std::vector<INPUT> inputs{keyInput(VK_MENU, false), keyInput(virtualKey, false)};
    for (int i = 0; i < extraPresses; ++i)
        inputs.push_back(keyInput(virtualKey, false));
    inputs.push_back(keyInput(virtualKey, true));
    inputs.push_back(keyInput(VK_MENU, true));
    type(inputs);
}

class GantrelTest : public testing::Test {
protected:
    // The windows live for the whole run: under Wine without a window manager each
    // DestroyWindow waits two seconds for the unmap, and the process end destroys them anyway.
    static void SetUpTestSuite() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GantrelTestWindow";
        RegisterClassA(&windowClass);
        folder = createWindow("folder", 20);
        view = createWindow("view", 240);
        stranger = createWindow("stranger", 460);
        folderControl = createChild(folder);
        dialog = createWindow("dialog", 680, folder);
    }

    // Each case loads the library afresh, so that it starts with an empty list and no hooks.
    void SetUp() override {
        ASSERT_TRUE(folder && view && stranger && folderControl && dialog);
        library = LoadLibraryA("gantrel.dll");
        ASSERT_NE(nullptr, library);
#define HOOK_EXPORT(name, bytes, result, params)                                        \
    name = reinterpret_cast<name##Fn>(                                                  \
        reinterpret_cast<void*>(GetProcAddress(library, "_" #name "@" #bytes)));        \
    ASSERT_NE(nullptr, name) << #name;
#include "contract/HookExports.h"
#undef HOOK_EXPORT
        ASSERT_TRUE(beginHook(kDistributeId, kUndoId));
        EXPECT_EQ(1, appendHookWnd(nullptr, folder));
        EXPECT_EQ(2, appendHookWnd(folder, view));
        pump();
        journal.clear();
    }

    void TearDown() override {
        if (endHook) {
            EXPECT_TRUE(endHook());
        }
        pump(50);
        if (library)
            FreeLibrary(library);
        journal.clear();
    }

    void postCommand(HWND window, WPARAM item) {
        PostMessageA(window, WM_COMMAND, item, 0);
        pump(50);
    }

    // The window gets the keyboard focus, as a user's click would give it.
    void focus(HWND window) {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        SetFocus(window);
        pump(100);
        ASSERT_EQ(window, GetFocus());
        journal.clear();
    }

    HMODULE library = nullptr;
#define HOOK_EXPORT(name, bytes, result, params) name##Fn name = nullptr;
#include "contract/HookExports.h"
#undef HOOK_EXPORT
    static inline HWND folder = nullptr;
    static inline HWND view = nullptr;
    static inline HWND stranger = nullptr;
    static inline HWND folderControl = nullptr;  // child of folder
    static inline HWND dialog = nullptr;         // owned by folder
};

TEST_F(GantrelTest, ExportsAndHookLifecycle) {
    EXPECT_STREQ("1.0", getVersion());
    // A second start only replaces the ids.
    EXPECT_TRUE(beginHook(kDistributeId + 10, kUndoId + 10));
    postCommand(folder, 32826);
    EXPECT_EQ(Ids{kDistributeId + 10}, arrived(folder, WM_COMMAND));
    EXPECT_TRUE(endHook());
    EXPECT_TRUE(endHook());
    journal.clear();
    postCommand(folder, 32826);
    EXPECT_EQ(Ids{32826}, arrived(folder, WM_COMMAND));
}

TEST_F(GantrelTest, ListAppendsAndRemovesFirstMatch) {
    EXPECT_EQ(2, removeHookWnd(stranger));
    EXPECT_EQ(3, appendHookWnd(nullptr, folder));
    EXPECT_EQ(2, removeHookWnd(folder));
    postCommand(folder, 32826);  // the second entry of the folder still holds
    EXPECT_EQ(1, removeHookWnd(folder));
    postCommand(folder, 32825);
    EXPECT_EQ((Ids{kDistributeId, 32825}), arrived(folder, WM_COMMAND));
}

// Far more windows than the list's first storage holds: the entries keep their order while it
// grows, and removal still moves the later ones forward.
TEST_F(GantrelTest, ListGrowsAndKeepsItsOrder) {
    constexpr int kUnused = 100;  // handles of no window, registered between the real ones
    const auto unused = [](int i) { return reinterpret_cast<HWND>(0x7FFF0000 + 4 * i); };
    for (int i = 0; i < kUnused; ++i)
        ASSERT_EQ(3 + i, appendHookWnd(nullptr, unused(i)));
    EXPECT_EQ(3 + kUnused, appendHookWnd(nullptr, stranger));
    postCommand(stranger, 32825);
    EXPECT_EQ(Ids{kUndoId}, arrived(stranger, WM_COMMAND));

    EXPECT_EQ(2 + kUnused, removeHookWnd(folder));
    for (int i = 0; i < kUnused; i += 2)
        removeHookWnd(unused(i));
    EXPECT_EQ(1 + kUnused / 2, removeHookWnd(stranger));
    journal.clear();
    postCommand(view, 32802);
    postCommand(folder, 32826);
    postCommand(stranger, 32825);
    EXPECT_EQ((Ids{kDistributeId, 32826}), arrived(folder, WM_COMMAND));
    EXPECT_EQ(Ids{32825}, arrived(stranger, WM_COMMAND));
}

// Hooks installed, nobody registered: as in the host before its first window opens.
TEST_F(GantrelTest, EmptyListOnlyPassesEventsOn) {
    EXPECT_EQ(1, removeHookWnd(folder));
    EXPECT_EQ(0, removeHookWnd(view));
    EXPECT_EQ(0, removeHookWnd(view));
    focus(folder);
    typeWithAlt('L');
    typeWithAlt('P');
    postCommand(folder, 32826);
    postCommand(view, 32802);
    EXPECT_EQ(1u, count(folder, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(1u, count(folder, WM_SYSKEYDOWN, 'P'));
    EXPECT_EQ(Ids{32826}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(Ids{32802}, arrived(view, WM_COMMAND));
}

TEST_F(GantrelTest, RelabelledMenuItemsBecomeCommands) {
    postCommand(folder, 32826);
    postCommand(folder, 32825);
    postCommand(folder, 40000);
    EXPECT_EQ((Ids{kDistributeId, kUndoId, 40000}), arrived(folder, WM_COMMAND));

    journal.clear();
    postCommand(view, 32802);
    EXPECT_EQ(Ids{}, arrived(view, WM_COMMAND));
    EXPECT_EQ(Ids{kDistributeId}, arrived(folder, WM_COMMAND));

    // A folder window's own entry has no owner: the command lands in the thread's queue.
    journal.clear();
    postCommand(folder, 32802);
    EXPECT_EQ(Ids{}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(Ids{kDistributeId}, arrived(nullptr, WM_COMMAND));

    journal.clear();
    for (WPARAM item : {32826, 32825, 32802})
        postCommand(stranger, item);
    EXPECT_EQ((Ids{32826, 32825, 32802}), arrived(stranger, WM_COMMAND));
}

TEST_F(GantrelTest, AltLAndAltPInAFolderWindowPostOneCommand) {
    focus(folder);
    typeWithAlt('L');
    EXPECT_EQ(Ids{kDistributeId}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(0u, count(folder, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(0u, count(folder, WM_SYSKEYUP, 'L'));
    EXPECT_EQ(1u, count(folder, WM_SYSKEYDOWN, VK_MENU));

    journal.clear();
    typeWithAlt('P');
    EXPECT_EQ(Ids{kUndoId}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(0u, count(folder, WM_SYSKEYDOWN, 'P'));
}

TEST_F(GantrelTest, FocusInAControlCountsForItsTopLevelWindow) {
    focus(folderControl);
    typeWithAlt('L');
    EXPECT_EQ(Ids{kDistributeId}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(0u, count(folderControl, WM_SYSKEYDOWN, 'L'));
}

TEST_F(GantrelTest, WindowOwnedByAFolderWindowIsNotTheFolderWindow) {
    focus(dialog);
    typeWithAlt('L');
    EXPECT_EQ(1u, count(dialog, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(Ids{}, arrived(folder, WM_COMMAND));
}

TEST_F(GantrelTest, HeldAltLPostsOnce) {
    focus(folder);
    typeWithAlt('L', 4);
    EXPECT_EQ(Ids{kDistributeId}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(0u, count(folder, WM_SYSKEYDOWN, 'L'));
}

TEST_F(GantrelTest, ViewWindowSendsAltLToItsFolderAndSwallowsAltP) {
    focus(view);
    typeWithAlt('L');
    typeWithAlt('P');
    EXPECT_EQ(Ids{kDistributeId}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(Ids{}, arrived(view, WM_COMMAND));
    EXPECT_EQ(0u, count(view, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(0u, count(view, WM_SYSKEYDOWN, 'P'));
}

TEST_F(GantrelTest, OtherKeysAndWindowsPassThrough) {
    focus(folder);
    type({keyInput('L', false), keyInput('L', true)});
    EXPECT_EQ(1u, count(folder, WM_KEYDOWN, 'L'));
    EXPECT_EQ(1u, count(folder, WM_CHAR, 'l'));
    typeWithAlt('K');
    EXPECT_EQ(1u, count(folder, WM_SYSKEYDOWN, 'K'));

    focus(stranger);
    typeWithAlt('L');
    typeWithAlt('P');
    EXPECT_EQ(1u, count(stranger, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(1u, count(stranger, WM_SYSKEYDOWN, 'P'));
    EXPECT_EQ(Ids{}, arrived(folder, WM_COMMAND));
    EXPECT_EQ(Ids{}, arrived(stranger, WM_COMMAND));
}

TEST_F(GantrelTest, AfterEndHookAltLReachesTheWindow) {
    ASSERT_TRUE(endHook());
    focus(folder);
    typeWithAlt('L');
    EXPECT_EQ(1u, count(folder, WM_SYSKEYDOWN, 'L'));
    EXPECT_EQ(Ids{}, arrived(folder, WM_COMMAND));
}

// A top-level window on a thread of its own, with its own message loop, as a host may make
// one. What reached the window is read after the thread ended.
class WindowThread {
public:
    WindowThread() {
        ready_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, run, this, 0, &id_);
        WaitForSingleObject(ready_, 10000);
    }
    ~WindowThread() { stop(); CloseHandle(ready_); }
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    HWND window() const { return window_; }

    // The thread's window takes the focus, on its own thread.
    void focus() {
        PostMessageA(window_, kFocusMessage, 0, 0);
        WaitForSingleObject(ready_, 10000);
    }

    void stop() {
        if (thread_ == nullptr)
            return;
        PostThreadMessageA(id_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 20000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    std::vector<WPARAM> commands;  // WM_COMMAND wParams, in order
    int altLPresses = 0;           // WM_SYSKEYDOWN 'L' that reached the window

private:
    static constexpr UINT kFocusMessage = WM_APP + 5;

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowThread*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message == WM_COMMAND)
            self->commands.push_back(wParam);
        if (self && message == WM_SYSKEYDOWN && wParam == 'L')
            ++self->altLPresses;
        if (self && message == kFocusMessage) {
            SetForegroundWindow(window);
            SetFocus(window);
            SetEvent(self->ready_);
        }
        if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR)
            return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI run(void* parameter) {
        auto* self = static_cast<WindowThread*>(parameter);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GantrelThreadWindow";
        RegisterClassA(&windowClass);
        self->window_ = CreateWindowExA(0, "GantrelThreadWindow", "thread", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                        20, 200, 200, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetEvent(self->ready_);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return 0;
    }

    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
    HWND window_ = nullptr;
};

}  // namespace

// A window that another thread of the host makes gets the hooks of its thread when it is
// appended while the hooks run, and only then; ending the hooks takes them off that thread too.
TEST_F(GantrelTest, WindowOfASecondThreadGetsTheHotkeysWhileTheHooksRun) {
    struct Case {
        const char* name;
        bool appendedWhileHooking;
        bool endedBeforeTyping;
        std::vector<WPARAM> commands;
        int altLPresses;
    };
    const Case cases[] = {
        {"appended while the hooks run", true, false, {kDistributeId, kDistributeId}, 0},
        {"appended before they begin", false, false, {32826}, 1},
        {"hooks ended while its thread runs", true, true, {32826}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowThread other;
        ASSERT_NE(nullptr, other.window());
        if (!c.appendedWhileHooking) {
            ASSERT_TRUE(endHook());
        }
        appendHookWnd(nullptr, other.window());
        if (c.endedBeforeTyping) {
            EXPECT_TRUE(endHook());
        } else {
            ASSERT_TRUE(beginHook(kDistributeId, kUndoId));
        }
        other.focus();
        typeWithAlt('L');
        PostMessageA(other.window(), WM_COMMAND, 32826, 0);
        pump();
        other.stop();
        EXPECT_EQ(c.commands, other.commands);
        EXPECT_EQ(c.altLPresses, other.altLPresses);
        // The hooks of the ended thread went with it: they count as removed.
        EXPECT_TRUE(endHook());
        removeHookWnd(other.window());
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
