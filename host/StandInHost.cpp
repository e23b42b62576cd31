#include "host/StandInHost.h"

#include "host/KeyInput.h"

namespace standin {

namespace {

const char kFolderClass[] = "StandInFolderWindow";
const char kViewClass[] = "StandInViewWindow";

void registerClasses() {
    static bool registered = false;
    if (registered)
        return;
    for (const char* name : {kFolderClass, kViewClass}) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = StandInHost::windowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = name;
        RegisterClassA(&wc);
    }
    registered = true;
}

}  // namespace

StandInHost& StandInHost::get() {
    static StandInHost host;
    return host;
}

void StandInHost::reset(const std::string& mailboxRoot) {
    plugin = nullptr;
    while (!windows_.empty())
        destroyWindow(windows_.begin()->first);
    mailbox_ = std::make_unique<Mailbox>(mailboxRoot);
    mailboxRoot_ = mailbox_->root();
    busy = false;
    refuseMove = nullptr;
    onMove = nullptr;
    moveSeconds = 0;
    commands.clear();
    moves.clear();
    callbacksCalled.clear();
    commandsReceived.clear();
    keysReceived.clear();
    calls.clear();
    robot_.clear();
    nextCommandId_ = 40001;
    std::lock_guard<std::mutex> lock(timerMutex_);
    timerLog_.clear();
}

namespace {

typedef UINT(WINAPI* TimerPeriodFn)(UINT);
TimerPeriodFn g_timeBeginPeriod = nullptr;
TimerPeriodFn g_timeEndPeriod = nullptr;

UINT WINAPI watchedTimeBeginPeriod(UINT period) {
    StandInHost::get().noteTimerPeriod('+', period);
    return g_timeBeginPeriod(period);
}

UINT WINAPI watchedTimeEndPeriod(UINT period) {
    StandInHost::get().noteTimerPeriod('-', period);
    return g_timeEndPeriod(period);
}

}  // namespace

bool StandInHost::watchTimerPeriods(PluginModule& module) {
    void* begin = module.redirectImport("winmm.dll", "timeBeginPeriod", reinterpret_cast<void*>(&watchedTimeBeginPeriod));
    void* end = module.redirectImport("winmm.dll", "timeEndPeriod", reinterpret_cast<void*>(&watchedTimeEndPeriod));
    if (begin != reinterpret_cast<void*>(&watchedTimeBeginPeriod))
        g_timeBeginPeriod = reinterpret_cast<TimerPeriodFn>(begin);
    if (end != reinterpret_cast<void*>(&watchedTimeEndPeriod))
        g_timeEndPeriod = reinterpret_cast<TimerPeriodFn>(end);
    return begin && end;
}

std::string StandInHost::timerPeriodLog() {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timerLog_;
}

void StandInHost::noteTimerPeriod(char sign, unsigned period) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    timerLog_ += sign + std::to_string(period);
}

const char* StandInHost::keep(const std::string& text) {
    return strings_.insert(text).first->c_str();
}

HWND StandInHost::createWindow(const char* className, const char* title, std::unique_ptr<HostWindow> data) {
    registerClasses();
    HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 320,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return nullptr;
    windows_[window] = std::move(data);
    return window;
}

HWND StandInHost::createFolderWindow(const std::string& account, const std::string& folderPath) {
    auto data = std::make_unique<HostWindow>();
    data->accountDir = mailboxRoot_ + account + "\\";
    data->folderPath = folderPath;
    return createWindow(kFolderClass, folderPath.c_str(), std::move(data));
}

HWND StandInHost::createViewWindow(const std::string& account) {
    auto data = std::make_unique<HostWindow>();
    data->accountDir = mailboxRoot_ + account + "\\";
    return createWindow(kViewClass, account.c_str(), std::move(data));
}

namespace {

HMENU popupWith(const std::vector<std::pair<UINT, const char*>>& items) {
    HMENU popup = CreatePopupMenu();
    for (const auto& item : items) {
        if (item.first == 0)
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(popup, MF_STRING, item.first, item.second);
    }
    return popup;
}

}  // namespace

HMENU StandInHost::createFolderMenuBar() {
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32770, "新規作成(&N)"}, {0, nullptr}, {32771, "終了(&X)"}})), "ファイル(&F)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32780, "すべて選択(&A)"}})), "編集(&E)");
    AppendMenuA(bar, MF_POPUP,
                reinterpret_cast<UINT_PTR>(popupWith({{32820, "受信(&R)"}, {32826, "振り分け(&L)"}, {32825, "振り分けを戻す(&B)"}})),
                "メール(&M)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32900, "バージョン情報(&A)"}})), "ヘルプ(&H)");
    return bar;
}

HMENU StandInHost::createViewMenuBar() {
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32771, "閉じる(&C)"}})), "ファイル(&F)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32781, "コピー(&C)"}})), "編集(&E)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32790, "文字コード(&J)"}})), "表示(&V)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popupWith({{32801, "返信(&R)"}, {32802, "振り分け(&B)"}})), "メール(&M)");
    return bar;
}

HWND StandInHost::openFolderWindow(const std::string& account, const std::string& folderPath) {
    HWND window = createFolderWindow(account, folderPath);
    if (!window)
        return nullptr;
    HMENU bar = createFolderMenuBar();
    SetMenu(window, bar);
    if (plugin && plugin->loaded()) {
        plugin->APCFolderCreate(window);
        plugin->APCFolderInitMenu(window, bar, 101);
        DrawMenuBar(window);
    }
    return window;
}

void StandInHost::switchFolderAccount(HWND folderWindow, const std::string& account, const std::string& folderPath) {
    setAccount(folderWindow, account, folderPath);
    if (plugin && plugin->loaded())
        plugin->APCFolderLoad(folderWindow, 0);
}

void StandInHost::closeFolderWindow(HWND folderWindow) {
    if (plugin && plugin->loaded())
        plugin->APCFolderClose(folderWindow);
    destroyWindow(folderWindow);
}

HWND StandInHost::openViewWindow(const std::string& account) {
    HWND window = createViewWindow(account);
    if (!window)
        return nullptr;
    HMENU bar = createViewMenuBar();
    SetMenu(window, bar);
    if (plugin && plugin->loaded()) {
        plugin->APCViewCreate(window);
        plugin->APCViewInitMenu(window, bar, 201);
        DrawMenuBar(window);
    }
    return window;
}

void StandInHost::closeViewWindow(HWND viewWindow) {
    if (plugin && plugin->loaded())
        plugin->APCViewClose(viewWindow);
    destroyWindow(viewWindow);
}

HMENU StandInHost::buildFolderContextMenu(HWND folderWindow) {
    HMENU menu = popupWith({{32780, "すべて選択(&A)"}, {32826, "振り分け(&L)"}, {32825, "振り分けを戻す(&B)"}});
    if (plugin && plugin->loaded())
        plugin->APCFolderInitMenu(folderWindow, menu, 102);
    return menu;
}

HMENU StandInHost::buildViewContextMenu(HWND viewWindow) {
    HMENU menu = popupWith({{32781, "コピー(&C)"}, {32802, "振り分け(&B)"}});
    if (plugin && plugin->loaded())
        plugin->APCViewInitMenu(viewWindow, menu, 202);
    return menu;
}

void StandInHost::destroyWindow(HWND handle) {
    windows_.erase(handle);
    if (IsWindow(handle))
        DestroyWindow(handle);
}

HostWindow* StandInHost::window(HWND handle) {
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second.get();
}

void StandInHost::setSelection(HWND folderWindow, std::vector<std::string> entries) {
    if (HostWindow* data = window(folderWindow)) {
        data->selection = std::move(entries);
        data->selectionCursor = 0;
    }
}

void StandInHost::setAccount(HWND handle, const std::string& account, const std::string& folderPath) {
    if (HostWindow* data = window(handle)) {
        data->accountDir = mailboxRoot_ + account + "\\";
        data->folderPath = folderPath;
    }
}

void StandInHost::sendCommand(HWND window, int commandId) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void StandInHost::pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void StandInHost::pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        pumpMessages();
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

namespace {

bool sendInputs(std::vector<INPUT> inputs) {
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    StandInHost::pumpFor(150);
    return sent == inputs.size();
}

}  // namespace

bool StandInHost::sendAltKey(WORD virtualKey, int repeats) {
    std::vector<INPUT> inputs{keyInput(VK_MENU, false), keyInput(virtualKey, false)};
    for (int i = 0; i < repeats; ++i)
        inputs.push_back(keyInput(virtualKey, false));
    inputs.push_back(keyInput(virtualKey, true));
    inputs.push_back(keyInput(VK_MENU, true));
    return sendInputs(inputs);
}

bool StandInHost::sendKey(WORD virtualKey) {
    return sendInputs({keyInput(virtualKey, false), keyInput(virtualKey, true)});
}

LRESULT CALLBACK StandInHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    StandInHost& host = get();
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        host.keysReceived.emplace_back(window, wParam);
        // Alt alone would open the menu bar's modal loop, which nothing here would end.
        return message == WM_SYSKEYDOWN ? 0 : DefWindowProcA(window, message, wParam, lParam);
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;
    }
    if (message == WM_COMMAND) {
        host.commandsReceived.emplace_back(window, wParam);
        int id = LOWORD(wParam);
        for (const RegisteredCommand& command : host.commands) {
            if (command.id == id) {
                host.callbacksCalled.emplace_back(window, id);
                command.callback(window, 0);
                return 0;
            }
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int StandInHost::registCallback(corvane::CommandCallback callback, int reserved) {
    RegisteredCommand command{callback, reserved, nextCommandId_++};
    commands.push_back(command);
    return command.id;
}

const char* StandInHost::getAccount(HWND handle) {
    HostWindow* data = window(handle);
    return data ? keep(data->accountDir) : keep("");
}

const char* StandInHost::getMailbox() {
    return mailboxRoot_.c_str();
}

const char* StandInHost::folderGetCurrentFolder(HWND handle) {
    HostWindow* data = window(handle);
    return data ? keep(data->folderPath) : keep("");
}

const char* StandInHost::folderGetSelectEntry(HWND handle, BOOL first) {
    HostWindow* data = window(handle);
    if (!data)
        return nullptr;
    if (first)
        data->selectionCursor = 0;
    if (data->selectionCursor >= data->selection.size())
        return nullptr;
    return data->selection[data->selectionCursor++].c_str();
}

BOOL StandInHost::moveMail(const char* entry, const char* folder) {
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    MoveRequest request;
    request.entry = entry ? entry : "";
    request.folderGiven = folder != nullptr;
    request.folder = folder ? folder : "";
    if (entry && mailbox_ && !(refuseMove && refuseMove(request.entry, request.folder)))
        request.done = !mailbox_->moveMessage(request.entry, request.folder).empty();
    moves.push_back(request);
    if (onMove)
        onMove(request);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    moveSeconds += static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    return request.done ? TRUE : FALSE;
}

const char* StandInHost::getFolderName(const char* folder) {
    std::string path = folder ? folder : "";
    if (path.find("\\Inbox.box") != std::string::npos)
        return keep("郵便受け");
    if (path.find("\\Outbox.box") != std::string::npos)
        return keep("送信箱");
    if (Mailbox::isTrashPath(path))
        return keep("ごみ箱");
    char title[1024] = {};
    GetPrivateProfileStringA("Property", "Title", "", title, sizeof title,
                             (mailboxRoot_ + path + "\\Entry.ini").c_str());
    return keep(title);
}

}  // namespace standin
