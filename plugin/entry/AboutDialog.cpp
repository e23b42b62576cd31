#include "plugin/entry/AboutDialog.h"

#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/entry/Plugin.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RegexLibrary.h"

namespace corvane {

namespace {

void onInitAboutDialog(HWND dialog) {
    char text[256] = {};
    const HookLibrary& hook = pluginState().hook;
    if (hook.loaded())
        formatBuffer(text, "(Quillpost32ﾌｯｸ：gantrel.dll version %s)", hook.getVersion());
    else
        formatBuffer(text, "(Quillpost32ﾌｯｸ：gantrel.dll 未ｲﾝｽﾄｰﾙ)");
    SetDlgItemTextA(dialog, IDC_ABOUT_HOOK, text);
    formatBuffer(text, "(正規表現ｴﾝｼﾞﾝ：oniguruma version %s)", regexLibraryVersion());
    SetDlgItemTextA(dialog, IDC_ABOUT_REGEX, text);
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        onInitAboutDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

INT_PTR ShowAboutDialog(HWND parent) {
    return DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), parent, aboutDialogProc, 0);
}

}  // namespace corvane
