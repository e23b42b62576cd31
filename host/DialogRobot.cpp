#include "host/DialogRobot.h"

#include <algorithm>

namespace standin {

namespace {

DialogRobot* g_robot = nullptr;
const int kMessageBoxTextId = 0xFFFF;

bool isDialogWindow(HWND window) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, "#32770") == 0;
}

std::string windowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// Message boxes come from the system's own template; a plug-in's dialogs carry its instance.
bool isSystemOwned(HWND dialog) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    return instance == nullptr || instance == GetModuleHandleA("user32.dll");
}

BoxIcon iconOf(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            continue;
        HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (!icon)
            continue;
        if (icon == LoadIcon(nullptr, IDI_HAND))
            return BoxIcon::Error;
        if (icon == LoadIcon(nullptr, IDI_EXCLAMATION))
            return BoxIcon::Warning;
        if (icon == LoadIcon(nullptr, IDI_ASTERISK))
            return BoxIcon::Information;
        if (icon == LoadIcon(nullptr, IDI_QUESTION))
            return BoxIcon::Question;
    }
    return BoxIcon::None;
}

}  // namespace

const SeenControl* SeenDialog::control(int id) const {
    for (const SeenControl& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::vector<int> SeenDialog::buttonIds() const {
    std::vector<int> ids;
    for (const SeenControl& c : controls)
        if (_stricmp(c.className.c_str(), "Button") == 0)
            ids.push_back(c.id);
    return ids;
}

void clickButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

DialogRobot::Answer DialogRobot::press(int id) {
    return [id](HWND dialog, SeenDialog& seen) {
        seen.answer = "press " + std::to_string(id);
        clickButton(dialog, id);
    };
}

DialogRobot::Answer DialogRobot::leave() {
    return [](HWND, SeenDialog& seen) { seen.answer = "leave"; };
}

void DialogRobot::install() {
    if (hook_)
        return;
    g_robot = this;
    hook_ = SetWindowsHookExA(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
    showHook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, showProc, nullptr, GetCurrentThreadId());
}

void DialogRobot::uninstall() {
    if (!hook_)
        return;
    UnhookWindowsHookEx(hook_);
    UnhookWindowsHookEx(showHook_);
    hook_ = nullptr;
    showHook_ = nullptr;
    if (g_robot == this)
        g_robot = nullptr;
}

void DialogRobot::clear() {
    answers_.clear();
    standing_.clear();
    seen_.clear();
    created_.clear();
    unexpected_ = 0;
}

SeenDialog DialogRobot::inspect(HWND dialog) {
    SeenDialog seen;
    seen.caption = windowText(dialog);
    seen.style = GetWindowLongA(dialog, GWL_STYLE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SeenControl control;
        control.id = GetDlgCtrlID(child);
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        control.className = className;
        control.text = windowText(child);
        control.style = GetWindowLongA(child, GWL_STYLE);
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        // Back to dialog units, so that tests can compare with the template.
        RECT unit = {0, 0, 4, 8};
        MapDialogRect(dialog, &unit);
        if (unit.right > 0 && unit.bottom > 0) {
            control.rect.left = MulDiv(rect.left, 4, unit.right);
            control.rect.top = MulDiv(rect.top, 8, unit.bottom);
            control.rect.right = MulDiv(rect.right, 4, unit.right);
            control.rect.bottom = MulDiv(rect.bottom, 8, unit.bottom);
        }
        if (control.id == kMessageBoxTextId && isSystemOwned(dialog)) {
            seen.messageBox = true;
            seen.text = control.text;
        }
        seen.controls.push_back(control);
    }
    if (seen.messageBox)
        seen.icon = iconOf(dialog);
    return seen;
}

void DialogRobot::onShow(HWND window) {
    if (!isDialogWindow(window) || (GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        return;
    if (std::find(answered_.begin(), answered_.end(), window) != answered_.end())
        return;
    answered_.push_back(window);
    SeenDialog seen = inspect(window);
    for (auto& rule : standing_) {
        if (rule.first(seen)) {
            rule.second(window, seen);
            seen_.push_back(std::move(seen));
            return;
        }
    }
    if (answers_.empty()) {
        ++unexpected_;
        seen.answer = "unexpected: Esc";
        clickButton(window, IDCANCEL);
    } else {
        Answer answer = std::move(answers_.front());
        answers_.pop_front();
        answer(window, seen);
    }
    seen_.push_back(std::move(seen));
}

LRESULT CALLBACK DialogRobot::cbtProc(int code, WPARAM wParam, LPARAM lParam) {
    DialogRobot* robot = g_robot;
    if (robot) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND) {
            CBT_CREATEWNDA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
            const CREATESTRUCTA* cs = create->lpcs;
            bool dialogClass = cs && (IS_INTRESOURCE(cs->lpszClass)
                                          ? LOWORD(reinterpret_cast<UINT_PTR>(cs->lpszClass)) == 32770
                                          : strcmp(cs->lpszClass, "#32770") == 0);
            if (dialogClass)
                robot->created_.push_back(cs->lpszName && !IS_INTRESOURCE(cs->lpszName) ? cs->lpszName : "");
        } else if (code == HCBT_DESTROYWND) {
            auto& list = robot->answered_;
            list.erase(std::remove(list.begin(), list.end(), window), list.end());
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A dialog is answered when it is first shown: dialogs that end before they show (or that
// stay hidden while boxes come up over them) are not answered.
LRESULT CALLBACK DialogRobot::showProc(int code, WPARAM wParam, LPARAM lParam) {
    DialogRobot* robot = g_robot;
    const CWPRETSTRUCT* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (robot && code == HC_ACTION && message && message->message == WM_SHOWWINDOW && message->wParam)
        robot->onShow(message->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace standin
