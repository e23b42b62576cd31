#include "plugin/common/ErrorBox.h"

#include "CorvaneVersion.h"
#include "plugin/common/StrUtil.h"

namespace corvane {

const char kPluginName[] = "Corvane";
const char kPluginVersion[] = CORVANE_VERSION;

int ShowErrorBox(HWND owner, const char* text) {
    char caption[1024];
    formatBuffer(caption, "エラー - %s", kPluginName);
    return MessageBoxA(owner, text, caption, MB_OK | MB_ICONSTOP);
}

int ShowInfoBox(HWND owner, const char* text) {
    return MessageBoxA(owner, text, kPluginName, MB_OK | MB_ICONINFORMATION);
}

}  // namespace corvane
