#include "plugin/entry/AboutDialog.h"

#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/entry/Plugin.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RegexLibrary.h"

namespace corvane {

namespace {

class AboutDialog final : public ModalDialog {
    bool onInit() override;
    bool onCommand(int id, int) override {
        if (id != IDOK && id != IDCANCEL)
            return false;
        EndDialog(window(), id);
        return true;
    }
};

bool AboutDialog::onInit() {
    HWND dialog = window();
    char text[256] = {};
    const HookLibrary& hook = pluginState().hook;
    if (hook.loaded())
        formatBuffer(text, "(Quillpost32ﾌｯｸ：gantrel.dll version %s)", hook.getVersion());
    else
        formatBuffer(text, "(Quillpost32ﾌｯｸ：gantrel.dll 未ｲﾝｽﾄｰﾙ)");
    SetDlgItemTextA(dialog, IDC_ABOUT_HOOK, text);
    formatBuffer(text, "(正規表現ｴﾝｼﾞﾝ：oniguruma version %s)", regexLibraryVersion());
    SetDlgItemTextA(dialog, IDC_ABOUT_REGEX, text);
    return true;
}

}  // namespace

INT_PTR showAboutDialog(HWND parent) {
    AboutDialog dialog;
    return dialog.show(moduleInstance(), IDD_ABOUT, parent);
}

}  // namespace corvane
