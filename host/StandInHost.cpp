#include "host/StandInHost.h"

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
    calls.clear();
    robot_.clear();
    nextCommandId_ = 40001;
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
    data->view = true;
    data->accountDir = mailboxRoot_ + account + "\\";
    return createWindow(kViewClass, account.c_str(), std::move(data));
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

LRESULT CALLBACK StandInHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    StandInHost& host = get();
    if (message == WM_COMMAND) {
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
    if (path.find("\\Trash.box") != std::string::npos || path.find('\\') == std::string::npos)
        return keep("ごみ箱");
    char title[1024] = {};
    GetPrivateProfileStringA("Property", "Title", "", title, sizeof title,
                             (mailboxRoot_ + path + "\\Entry.ini").c_str());
    return keep(title);
}

}  // namespace standin
