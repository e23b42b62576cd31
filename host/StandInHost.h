// The stand-in host: what the plug-in sees of Quillpost32. It hands out command ids, owns
// folder and view windows, answers the host functions from its mailbox on disk and really
// moves message files when asked to.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/DialogRobot.h"
#include "host/Mailbox.h"
#include "host/PluginModule.h"
#include "plugin/hostapi/HostApi.h"

namespace standin {

struct RegisteredCommand {
    corvane::CommandCallback callback = nullptr;
    int reserved = 0;
    int id = 0;
};

struct HostWindow {
    std::string accountDir;  // full path with a trailing backslash
    std::string folderPath;  // relative to the mailbox root
    std::vector<std::string> selection;
    size_t selectionCursor = 0;
};

struct MoveRequest {
    std::string entry;
    std::string folder;  // empty for the trash
    bool folderGiven = false;
    bool done = false;
};

class StandInHost {
public:
    static StandInHost& get();

    // Starts over with a new mailbox root; windows of an earlier session must be closed.
    void reset(const std::string& mailboxRoot);
    // Reads again what the host keeps of the mailbox on disk, as a host started again on it does
    // (after another host process worked on the same mailbox).
    void reopenMailbox() { mailbox_ = std::make_unique<Mailbox>(mailboxRoot_); }
    Mailbox& mailbox() { return *mailbox_; }
    bool hasMailbox() const { return mailbox_ != nullptr; }
    DialogRobot& robot() { return robot_; }

    // Host windows: real top-level windows of this thread.
    HWND createFolderWindow(const std::string& account, const std::string& folderPath);
    HWND createViewWindow(const std::string& account);
    void destroyWindow(HWND window);
    HostWindow* window(HWND handle);
    void setSelection(HWND folderWindow, std::vector<std::string> entries);
    void setAccount(HWND window, const std::string& account, const std::string& folderPath);

    // The host's side of the window life cycle, calling the plug-in's entry points in the
    // host's order: open (create, then the menu), switch account (load), close.
    PluginModule* plugin = nullptr;
    HWND openFolderWindow(const std::string& account, const std::string& folderPath);
    void switchFolderAccount(HWND folderWindow, const std::string& account, const std::string& folderPath);
    void closeFolderWindow(HWND folderWindow);
    HWND openViewWindow(const std::string& account);
    void closeViewWindow(HWND viewWindow);
    // A folder window's context menu as the host builds it (kind 102), for the caller to free.
    HMENU buildFolderContextMenu(HWND folderWindow);
    HMENU buildViewContextMenu(HWND viewWindow);

    // Menus in the host's shape: a folder menu bar whose pop-up 2 holds the host's items
    // 32826 and 32825, a view menu bar whose pop-up 3 holds 32802.
    static HMENU createFolderMenuBar();
    static HMENU createViewMenuBar();

    // Sends WM_COMMAND with a command id to a window, as a menu choice does.
    void sendCommand(HWND window, int commandId);
    // Pumps this thread's messages until the queue is empty, or for a while.
    static void pumpMessages();
    static void pumpFor(DWORD milliseconds);
    // Real key input, as the keyboard delivers it to the focused window: Alt held around
    // presses of one key (repeats: extra key-downs of a held key); or the key alone.
    static bool sendAltKey(WORD virtualKey, int repeats = 0);
    static bool sendKey(WORD virtualKey);

    // Behaviour switches for tests and scripts.
    bool busy = false;
    std::function<bool(const std::string& entry, const std::string& folder)> refuseMove;
    // Called after each move request has been answered (tests press buttons from here).
    std::function<void(const MoveRequest& request)> onMove;
    // Time spent inside moveMail, onMove included, in seconds.
    double moveSeconds = 0;

    // What the plug-in asked of the host.
    std::vector<RegisteredCommand> commands;
    std::vector<MoveRequest> moves;
    std::vector<std::pair<HWND, int>> callbacksCalled;  // (window, command id)
    std::vector<std::pair<HWND, WPARAM>> commandsReceived;  // every WM_COMMAND a host window got
    std::vector<std::pair<HWND, WPARAM>> keysReceived;      // key-down messages a host window got
    std::map<std::string, int> calls;                   // host function name -> calls

    // The plug-in's calls of timeBeginPeriod and timeEndPeriod, seen through its imports once
    // watchTimerPeriods has redirected them (they still reach winmm): "+N" for a begin and
    // "-N" for an end of N ms, in the order made, from any thread.
    bool watchTimerPeriods(PluginModule& module);
    std::string timerPeriodLog();
    void noteTimerPeriod(char sign, unsigned period);

    // Host function bodies (the exports forward to them).
    int registCallback(corvane::CommandCallback callback, int reserved);
    const char* getAccount(HWND window);
    const char* getMailbox();
    const char* folderGetCurrentFolder(HWND window);
    const char* folderGetSelectEntry(HWND window, BOOL first);
    BOOL moveMail(const char* entry, const char* folder);
    const char* getFolderName(const char* folder);


    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
private:
    HWND createWindow(const char* className, const char* title, std::unique_ptr<HostWindow> data);

    std::unique_ptr<Mailbox> mailbox_;
    std::map<HWND, std::unique_ptr<HostWindow>> windows_;
    std::set<std::string> strings_;  // host strings handed out stay valid for the session
    std::string mailboxRoot_;
    DialogRobot robot_;
    int nextCommandId_ = 40001;
    std::mutex timerMutex_;
    std::string timerLog_;
    const char* keep(const std::string& text);
};

}  // namespace standin
