// The playground: the stand-in host used by hand. One main window per account of the mailbox,
// each the host's folder window for the plug-in: the account's folder tree on the left, the
// messages of the chosen folder on the right, the host's menus with the plug-in's items. A
// double-click or Enter on a message opens it in a view window of the host. The user answers
// every dialog; nothing is answered for them here.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "plugin/mailbox/FolderTree.h"

namespace standin {

// Menu items of the playground's own, in the ファイル pop-up.
enum PlaygroundCommand {
    kPlaygroundSetup = 33001,
    kPlaygroundAbout = 33002,
    kPlaygroundRefresh = 33003,
    kPlaygroundExit = 32771,  // the host's 終了
};

struct PlaygroundPane {
    HWND main = nullptr;  // the host's folder window
    HWND tree = nullptr;
    HWND list = nullptr;
    std::string account;
    corvane::FolderList folders;
    std::vector<std::string> keys;  // the listed messages, in list order
};

// A message opened in a view window of the host.
struct PlaygroundView {
    HWND window = nullptr;  // the host's view window, known to the plug-in
    HWND text = nullptr;    // the message's text, read only
    std::string account;
    std::string entry;      // the message's entry name when it was opened
};

class Playground {
public:
    Playground();
    ~Playground();

    // Opens a main window for every account of the host's mailbox (the plug-in must have
    // started); false when the mailbox has no account.
    bool open();
    // Shows the windows and runs the message loop until the last one is closed.
    int run();
    // Closes every main window as the host does (the plug-in saves the folder's rules).
    void closeAll();

    const std::vector<HWND>& windows() const { return order_; }
    PlaygroundPane* pane(HWND main);

    // What the user does with the mouse, for tests as well.
    bool selectFolder(HWND main, const std::string& folderPath);
    void selectMessages(HWND main, const std::vector<std::string>& keys);
    void refresh(HWND main);
    // The keys the list view shows, read back from the control.
    std::vector<std::string> listedKeys(HWND main) const;
    std::vector<std::string> treeTitles(HWND main) const;

    // Opens a message of the window's current folder in a view window, as a double-click or
    // Enter on it does: the host's view menu, the plug-in told of the window and of its menu.
    // Null when the key is not listed.
    HWND openMessage(HWND main, const std::string& key);
    // Closes a view window as the host does: the plug-in first, then the window.
    void closeMessage(HWND view);
    PlaygroundView* view(HWND window);
    std::vector<HWND> viewWindows() const;

    // Account names of a mailbox root: the directories that hold an "Account.ini".
    static std::vector<std::string> accountsOf(const std::string& root);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK viewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool onViewCommand(PlaygroundView& view, int id);
    void openFocusedMessage(PlaygroundPane& pane);
    HWND openPane(const std::string& account);
    void addOwnMenuItems(HWND main);
    void createControls(PlaygroundPane& pane);
    void layout(PlaygroundPane& pane);
    void fillTree(PlaygroundPane& pane);
    void fillList(PlaygroundPane& pane);
    void syncSelection(PlaygroundPane& pane);
    LRESULT onNotify(PlaygroundPane& pane, const NMHDR* header);
    bool onCommand(PlaygroundPane& pane, int id);
    void onFolderChosen(PlaygroundPane& pane, LPARAM itemData);
    void onClose(HWND main);

    std::map<HWND, PlaygroundPane> panes_;
    std::vector<HWND> order_;
    std::map<HWND, PlaygroundView> views_;
    WNDPROC hostProc_ = nullptr;
    WNDPROC viewHostProc_ = nullptr;
    HACCEL accelerators_ = nullptr;
    bool quitWhenClosed_ = false;
    bool filling_ = false;
    static Playground* current_;
};

// standhost --playground [--mailbox DIR]: loads the plug-in beside the program, starts it and
// runs the playground on DIR, or on a sample mailbox made in a temporary folder.
int runPlayground(const std::string& exeDir, const std::string& mailboxDir);

}  // namespace standin
