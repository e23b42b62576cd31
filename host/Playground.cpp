#include "host/Playground.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "host/Mailbox.h"
#include "host/StandInHost.h"
#include "plugin/text/HeaderExtraction.h"
#include "tools/check/Checker.h"
#include "tools/sample/SampleMailbox.h"

namespace standin {

namespace {

const int kTreeWidth = 230;
const int kGap = 4;
const size_t kHeadBytes = 0x10000;  // enough for the header block of any sane message
const size_t kViewBytes = 0x100000;  // what a view window shows of a message at most
const int kViewClose = 32771;        // the host's 閉じる in a view's ファイル pop-up
const int kViewCopy = 32781;         // the host's コピー in a view's menus

WNDPROC g_editProc = nullptr;

// The view's text control leaves its right-click to the view, which shows the host's menu.
LRESULT CALLBACK viewTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CONTEXTMENU)
        return SendMessageA(GetParent(window), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetParent(window)), lParam);
    return CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

// A private-profile reader over the host's mailbox root, for the folder walk.
class HostFolderSource : public corvane::FolderTreeSource {
public:
    explicit HostFolderSource(std::string root) : root_(std::move(root)) {}
    std::string readProfileString(const char* file, const char* section, const char* key) const override {
        char value[1024] = {};
        GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
        return value;
    }
    bool toMailboxRelative(const char* fullDir, corvane::PathBuffer& out) const override {
        return corvane::toMailboxRelative(root_.c_str(), fullDir, out);
    }

private:
    std::string root_;
};

std::string headerForDisplay(const std::string& head, const char* name) {
    char value[corvane::kHeaderValueSize] = {};
    if (!corvane::extractHeaderValue(head.c_str(), name, value))
        return "";
    return corvane::decodeHeaderForDisplay(value, 200);
}

void addColumn(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void setCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string cellText(HWND list, int row, int column) {
    char text[1024] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string withTrailingBackslash(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    char full[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length > 0 && length < sizeof full)
        path = full;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path;
}

// A message file as a mail program shows it: up to its first NUL, one CR LF per line, lines
// with ISO-2022-JP or MIME encoded words decoded to Shift-JIS; the rest as it stands.
std::string messageForView(const std::string& bytes) {
    std::string text = bytes.substr(0, bytes.find('\0'));
    std::string shown;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\x1b') != std::string::npos || line.find("=?") != std::string::npos)
            line = corvane::decodeHeaderForDisplay(line);
        shown += line + "\r\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return shown;
}

void complain(const std::string& text) {
    fprintf(stderr, "standhost: %s\n", text.c_str());
    MessageBoxA(nullptr, text.c_str(), "standhost", MB_OK | MB_ICONERROR);
}

}  // namespace

Playground* Playground::current_ = nullptr;

Playground::Playground() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    ACCEL refresh = {FVIRTKEY, VK_F5, kPlaygroundRefresh};
    accelerators_ = CreateAcceleratorTableA(&refresh, 1);
    current_ = this;
}

Playground::~Playground() {
    while (!views_.empty())
        closeMessage(views_.begin()->first);
    closeAll();
    DestroyAcceleratorTable(accelerators_);
    if (current_ == this)
        current_ = nullptr;
}

std::vector<std::string> Playground::accountsOf(const std::string& root) {
    std::vector<std::string> accounts;
    for (const std::string& name : corvane::listDiskDirectories(root))
        if (corvane::diskPathExists(root + name + "\\Account.ini"))
            accounts.push_back(name);
    return accounts;
}

bool Playground::open() {
    StandInHost& host = StandInHost::get();
    if (!host.hasMailbox())
        return false;
    for (const std::string& account : accountsOf(host.mailbox().root()))
        openPane(account);
    return !order_.empty();
}

HWND Playground::openPane(const std::string& account) {
    StandInHost& host = StandInHost::get();
    PlaygroundPane pane;
    pane.account = account;
    HostFolderSource source(host.mailbox().root());
    corvane::listAccountFolders(pane.folders, (host.mailbox().root() + account + "\\").c_str(), source);
    std::string first = pane.folders.empty() ? account + "\\Inbox.box" : pane.folders.front().path;
    for (const corvane::FolderEntry& folder : pane.folders)
        if (folder.kind == corvane::Inbox) {
            first = folder.path;
            break;
        }
    HWND main = host.openFolderWindow(account, first);
    if (!main)
        return nullptr;
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Playground::windowProc)));
    if (!hostProc_)
        hostProc_ = previous;
    pane.main = main;
    SetWindowTextA(main, ("Corvane プレイグラウンド - " + account).c_str());
    SetWindowPos(main, nullptr, 0, 0, 960, 600, SWP_NOMOVE | SWP_NOZORDER);
    addOwnMenuItems(main);
    PlaygroundPane& stored = panes_[main] = std::move(pane);
    order_.push_back(main);
    createControls(stored);
    fillTree(stored);
    fillList(stored);
    return main;
}

// The playground's items at the head of the ファイル pop-up; the host's 終了 ends the program.
void Playground::addOwnMenuItems(HWND main) {
    HMENU file = GetSubMenu(GetMenu(main), 0);
    if (!file)
        return;
    InsertMenuA(file, 0, MF_BYPOSITION | MF_STRING, kPlaygroundSetup, "プラグインの設定(&S)...");
    InsertMenuA(file, 1, MF_BYPOSITION | MF_STRING, kPlaygroundAbout, "バージョン情報(&V)...");
    InsertMenuA(file, 2, MF_BYPOSITION | MF_STRING, kPlaygroundRefresh, "最新の情報に更新(&R)\tF5");
    InsertMenuA(file, 3, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    DrawMenuBar(main);
}

void Playground::createControls(PlaygroundPane& pane) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    pane.tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                    TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                0, 0, 0, 0, pane.main, nullptr, instance, nullptr);
    pane.list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                                pane.main, nullptr, instance, nullptr);
    SendMessageA(pane.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(pane.tree, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(pane.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    addColumn(pane.list, 0, "キー", 90);
    addColumn(pane.list, 1, "未読", 40);
    addColumn(pane.list, 2, "差出人", 240);
    addColumn(pane.list, 3, "件名", 420);
    layout(pane);
}

void Playground::layout(PlaygroundPane& pane) {
    RECT client = {};
    GetClientRect(pane.main, &client);
    int height = client.bottom - client.top;
    MoveWindow(pane.tree, 0, 0, kTreeWidth, height, TRUE);
    MoveWindow(pane.list, kTreeWidth + kGap, 0, std::max(0L, client.right - kTreeWidth - kGap), height, TRUE);
}

// The account's folders with their nesting; the window's current folder is selected.
void Playground::fillTree(PlaygroundPane& pane) {
    HostWindow* window = StandInHost::get().window(pane.main);
    filling_ = true;
    SendMessageA(pane.tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    std::vector<HTREEITEM> parents;  // parents[d]: the last item at depth d + 1
    std::vector<HTREEITEM> containers;
    HTREEITEM current = nullptr;
    for (size_t i = 0; i < pane.folders.size(); ++i) {
        const corvane::FolderEntry& folder = pane.folders[i];
        size_t depth = static_cast<size_t>(std::max(1, folder.depth));
        parents.resize(std::min(parents.size(), depth - 1));
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parents.empty() ? TVI_ROOT : parents.back();
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(folder.title);
        insert.item.lParam = static_cast<LPARAM>(i);
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            SendMessageA(pane.tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        while (parents.size() < depth)
            parents.push_back(item);
        if (folder.hasSubfolders)
            containers.push_back(item);
        if (window && _stricmp(folder.path, window->folderPath.c_str()) == 0)
            current = item;
    }
    for (HTREEITEM item : containers)
        SendMessageA(pane.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    if (current)
        SendMessageA(pane.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(current));
    filling_ = false;
}

// The current folder's messages in the order of its message list.
void Playground::fillList(PlaygroundPane& pane) {
    StandInHost& host = StandInHost::get();
    HostWindow* window = host.window(pane.main);
    filling_ = true;
    SendMessageA(pane.list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(pane.list, LVM_DELETEALLITEMS, 0, 0);
    pane.keys.clear();
    if (window) {
        for (const MessageRecord& record : host.mailbox().readMessageList(window->folderPath)) {
            // The first bytes of the message file, its header block, for the list's columns.
            std::string head;
            corvane::readDiskFile(host.mailbox().messageFile(window->folderPath + "\\" + record.key), head,
                                  kHeadBytes);
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(pane.keys.size());
            item.pszText = const_cast<char*>(record.key.c_str());
            int row = static_cast<int>(SendMessageA(pane.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
            if (row < 0)
                continue;
            setCell(pane.list, row, 1, record.unread ? "●" : "");
            setCell(pane.list, row, 2, headerForDisplay(head, "From:"));
            setCell(pane.list, row, 3, headerForDisplay(head, "Subject:"));
            pane.keys.push_back(record.key);
        }
    }
    SendMessageA(pane.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(pane.list, nullptr, TRUE);
    filling_ = false;
    syncSelection(pane);
}

// The list's selected items become what the host hands the plug-in as the selection.
void Playground::syncSelection(PlaygroundPane& pane) {
    StandInHost& host = StandInHost::get();
    HostWindow* window = host.window(pane.main);
    if (!window)
        return;
    std::vector<std::string> entries;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageA(pane.list, LVM_GETNEXTITEM, row, LVNI_SELECTED));
        if (row < 0)
            break;
        if (static_cast<size_t>(row) < pane.keys.size())
            entries.push_back(window->folderPath + "\\" + pane.keys[row]);
    }
    host.setSelection(pane.main, std::move(entries));
}

PlaygroundPane* Playground::pane(HWND main) {
    auto it = panes_.find(main);
    return it == panes_.end() ? nullptr : &it->second;
}

bool Playground::selectFolder(HWND main, const std::string& folderPath) {
    PlaygroundPane* found = pane(main);
    if (!found)
        return false;
    for (HTREEITEM item = TreeView_GetRoot(found->tree); item;) {
        TVITEMA data = {};
        data.mask = TVIF_PARAM;
        data.hItem = item;
        SendMessageA(found->tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        size_t index = static_cast<size_t>(data.lParam);
        if (index < found->folders.size() && _stricmp(found->folders[index].path, folderPath.c_str()) == 0)
            return SendMessageA(found->tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
        HTREEITEM next = TreeView_GetChild(found->tree, item);
        while (!next && item) {
            next = TreeView_GetNextSibling(found->tree, item);
            if (!next)
                item = TreeView_GetParent(found->tree, item);
        }
        item = next;
    }
    return false;
}

void Playground::selectMessages(HWND main, const std::vector<std::string>& keys) {
    PlaygroundPane* found = pane(main);
    if (!found)
        return;
    for (size_t row = 0; row < found->keys.size(); ++row) {
        bool chosen = std::find(keys.begin(), keys.end(), found->keys[row]) != keys.end();
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = chosen ? LVIS_SELECTED : 0;
        SendMessageA(found->list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    syncSelection(*found);
}

void Playground::refresh(HWND main) {
    PlaygroundPane* found = pane(main);
    if (!found)
        return;
    StandInHost& host = StandInHost::get();
    found->folders.clear();
    HostFolderSource source(host.mailbox().root());
    corvane::listAccountFolders(found->folders, (host.mailbox().root() + found->account + "\\").c_str(), source);
    fillTree(*found);
    fillList(*found);
}

std::vector<std::string> Playground::listedKeys(HWND main) const {
    std::vector<std::string> keys;
    auto it = panes_.find(main);
    if (it == panes_.end())
        return keys;
    int count = static_cast<int>(SendMessageA(it->second.list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
        keys.push_back(cellText(it->second.list, row, 0));
    return keys;
}

std::vector<std::string> Playground::treeTitles(HWND main) const {
    std::vector<std::string> titles;
    auto it = panes_.find(main);
    if (it == panes_.end())
        return titles;
    HWND tree = it->second.tree;
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextVisible(tree, item)) {
        char text[1024] = {};
        TVITEMA data = {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        titles.push_back(text);
    }
    return titles;
}

void Playground::onFolderChosen(PlaygroundPane& pane, LPARAM itemData) {
    size_t index = static_cast<size_t>(itemData);
    if (index >= pane.folders.size())
        return;
    // Same account: the host only changes its current folder; the plug-in asks for it.
    StandInHost::get().setAccount(pane.main, pane.account, pane.folders[index].path);
    fillList(pane);
}

LRESULT Playground::onNotify(PlaygroundPane& pane, const NMHDR* header) {
    if (filling_)
        return 0;
    if (header->hwndFrom == pane.tree && (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW))
        onFolderChosen(pane, reinterpret_cast<const NMTREEVIEWA*>(header)->itemNew.lParam);
    else if (header->hwndFrom == pane.list && header->code == LVN_ITEMCHANGED)
        syncSelection(pane);
    else if (header->hwndFrom == pane.list && (header->code == NM_DBLCLK || header->code == NM_RETURN))
        openFocusedMessage(pane);
    return 0;
}

bool Playground::onCommand(PlaygroundPane& pane, int id) {
    StandInHost& host = StandInHost::get();
    HWND main = pane.main;
    switch (id) {
    case kPlaygroundSetup:
        if (host.plugin && host.plugin->loaded())
            host.plugin->APCSetup(main);
        refresh(main);
        return true;
    case kPlaygroundAbout:
        if (host.plugin && host.plugin->loaded())
            host.plugin->APCVersionInfo(main);
        return true;
    case kPlaygroundRefresh:
        refresh(main);
        return true;
    case kPlaygroundExit:
        closeAll();
        return true;
    }
    for (const RegisteredCommand& command : host.commands)
        if (command.id == id) {
            syncSelection(pane);
            CallWindowProcA(hostProc_, main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
            // Messages may have moved; the window may have gone while the command ran.
            refresh(main);
            return true;
        }
    return false;
}

void Playground::openFocusedMessage(PlaygroundPane& pane) {
    int row = static_cast<int>(SendMessageA(pane.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (row >= 0 && static_cast<size_t>(row) < pane.keys.size())
        openMessage(pane.main, pane.keys[static_cast<size_t>(row)]);
}

HWND Playground::openMessage(HWND main, const std::string& key) {
    PlaygroundPane* found = pane(main);
    StandInHost& host = StandInHost::get();
    HostWindow* folderWindow = host.window(main);
    if (!found || !folderWindow || std::find(found->keys.begin(), found->keys.end(), key) == found->keys.end())
        return nullptr;
    std::string entry = folderWindow->folderPath + "\\" + key;
    std::string bytes;
    corvane::readDiskFile(host.mailbox().messageFile(entry), bytes, kViewBytes);
    // The host's view window: its menu bar, then APCViewCreate and APCViewInitMenu (201).
    HWND window = host.openViewWindow(found->account);
    if (!window)
        return nullptr;
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Playground::viewProc)));
    if (!viewHostProc_)
        viewHostProc_ = previous;
    PlaygroundView& view = views_[window];
    view.window = window;
    view.account = found->account;
    view.entry = entry;
    std::string subject = headerForDisplay(bytes.substr(0, kHeadBytes), "Subject:");
    SetWindowTextA(window, (key + " - " + (subject.empty() ? std::string("(件名なし)") : subject)).c_str());
    view.text = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                    ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                0, 0, 0, 0, window, nullptr, GetModuleHandleA(nullptr), nullptr);
    WNDPROC editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(view.text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&viewTextProc)));
    if (!g_editProc)
        g_editProc = editProc;
    SendMessageA(view.text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageA(view.text, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextA(view.text, messageForView(bytes).c_str());
    RECT place = {};
    GetWindowRect(main, &place);
    SetWindowPos(window, HWND_TOP, place.left + 60, place.top + 60, 720, 480, SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    SetFocus(view.text);
    return window;
}

void Playground::closeMessage(HWND window) {
    if (views_.erase(window))
        StandInHost::get().closeViewWindow(window);
}

PlaygroundView* Playground::view(HWND window) {
    auto it = views_.find(window);
    return it == views_.end() ? nullptr : &it->second;
}

std::vector<HWND> Playground::viewWindows() const {
    std::vector<HWND> windows;
    for (const auto& entry : views_)
        windows.push_back(entry.first);
    return windows;
}

// The view's own menu items. A plug-in command that reaches the view (its appended item,
// without the hook library) goes to a folder window of the view's account, whose selection
// it works on; the hook library does the same for Alt+L and the relabelled item.
bool Playground::onViewCommand(PlaygroundView& view, int id) {
    if (id == kViewClose) {
        closeMessage(view.window);
        return true;
    }
    if (id == kViewCopy) {
        SendMessageA(view.text, WM_COPY, 0, 0);
        return true;
    }
    StandInHost& host = StandInHost::get();
    for (const RegisteredCommand& command : host.commands)
        if (command.id == id) {
            for (HWND main : order_)
                if (pane(main)->account == view.account) {
                    SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
                    break;
                }
            return true;
        }
    return false;
}

LRESULT CALLBACK Playground::viewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Playground* self = current_;
    PlaygroundView* view = self ? self->view(window) : nullptr;
    WNDPROC host = self && self->viewHostProc_ ? self->viewHostProc_ : StandInHost::windowProc;
    if (view) {
        switch (message) {
        case WM_SIZE: {
            RECT client = {};
            GetClientRect(window, &client);
            MoveWindow(view->text, 0, 0, client.right, client.bottom, TRUE);
            return 0;
        }
        case WM_SETFOCUS:
            SetFocus(view->text);
            return 0;
        case WM_SYSCOMMAND:
            // The hook library eats the letter of Alt+L and Alt+P; the Alt left over would
            // open the menu bar as a lone Alt does. Alt with a menu's letter still works.
            if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0)
                return 0;
            break;
        case WM_CONTEXTMENU: {
            // The host's context menu of a view (kind 202); the choice is posted as a menu's is.
            HMENU menu = StandInHost::get().buildViewContextMenu(window);
            POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (at.x == -1 && at.y == -1)
                GetCursorPos(&at);
            TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
            DestroyMenu(menu);
            return 0;
        }
        case WM_COMMAND:
            if (self->onViewCommand(*view, LOWORD(wParam)))
                return 0;
            break;
        case WM_CLOSE:
            self->closeMessage(window);
            return 0;
        }
    }
    return CallWindowProcA(host, window, message, wParam, lParam);
}

void Playground::onClose(HWND main) {
    if (!pane(main))
        return;
    StandInHost::get().closeFolderWindow(main);
    panes_.erase(main);
    order_.erase(std::remove(order_.begin(), order_.end(), main), order_.end());
    if (order_.empty() && quitWhenClosed_)
        PostQuitMessage(0);
}

void Playground::closeAll() {
    while (!views_.empty())
        closeMessage(views_.begin()->first);
    while (!order_.empty())
        onClose(order_.front());
}

LRESULT CALLBACK Playground::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Playground* self = current_;
    PlaygroundPane* pane = self ? self->pane(window) : nullptr;
    WNDPROC host = self && self->hostProc_ ? self->hostProc_ : StandInHost::windowProc;
    if (pane) {
        switch (message) {
        case WM_SIZE:
            self->layout(*pane);
            return 0;
        case WM_SETFOCUS:
            SetFocus(pane->list);
            return 0;
        case WM_NOTIFY:
            return self->onNotify(*pane, reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            if (self->onCommand(*pane, LOWORD(wParam)))
                return 0;
            break;
        case WM_CLOSE:
            self->onClose(window);
            return 0;
        }
    }
    return CallWindowProcA(host, window, message, wParam, lParam);
}

int Playground::run() {
    quitWhenClosed_ = true;
    for (HWND main : order_) {
        ShowWindow(main, SW_SHOW);
        UpdateWindow(main);
    }
    if (!order_.empty())
        SetForegroundWindow(order_.front());
    MSG msg;
    while (!order_.empty() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && pane(root) && TranslateAcceleratorA(root, accelerators_, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    quitWhenClosed_ = false;
    return 0;
}

int runPlayground(const std::string& exeDir, const std::string& mailboxDir) {
    std::string root;
    std::string tempDir;
    if (mailboxDir.empty()) {
        tempDir = makeTempDirectory("playground");
        root = tempDir + "Mailbox\\";
    } else {
        root = withTrailingBackslash(mailboxDir);
        DWORD attributes = GetFileAttributesA(root.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            complain("メールボックスのフォルダがありません: " + root);
            return 2;
        }
    }
    StandInHost& host = StandInHost::get();
    host.reset(root);
    if (!tempDir.empty())
        for (const sample::SampleFile& file : sample::buildSampleMailbox().files)
            host.mailbox().writeRelative(file.path, file.bytes);
    PluginModule plugin;
    if (!plugin.load(exeDir + "corvane.dll")) {
        complain("corvane.dll を読み込めません (エラー " + std::to_string(plugin.loadError()) + ")");
        return 2;
    }
    host.plugin = &plugin;
    int code = 2;
    if (plugin.APCStartUp(0) == TRUE) {
        Playground playground;
        if (playground.open())
            code = playground.run();
        else
            complain("アカウントがありません: " + root);
        playground.closeAll();
        plugin.APCCleanUp();
    } else {
        complain("プラグインを開始できません");
    }
    host.plugin = nullptr;
    plugin.unload();
    if (!tempDir.empty())
        removeDirectoryTree(tempDir);
    return code;
}

}  // namespace standin
