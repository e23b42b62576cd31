// The host functions, exported from the executable under their decorated names (see the
// module definition the build writes). Each counts its calls; the ones the plug-in never calls
// answer as a host without that feature would.
#include <mutex>
#include <type_traits>

#include "host/StandInHost.h"

using standin::StandInHost;
using namespace corvane;

namespace {

// The distribution worker calls the mailbox-root function from its own thread.
std::mutex g_callsMutex;

StandInHost& counted(const char* name) {
    StandInHost& host = StandInHost::get();
    std::lock_guard<std::mutex> lock(g_callsMutex);
    ++host.calls[name];
    return host;
}

}  // namespace

extern "C" {

int WINAPI APARegistCallback(CommandCallback callback, int reserved) {
    return counted("APARegistCallback").registCallback(callback, reserved);
}
BOOL WINAPI APAIsBusy() {
    return counted("APAIsBusy").busy ? TRUE : FALSE;
}
const char* WINAPI APAGetAccount(HWND window) {
    return counted("APAGetAccount").getAccount(window);
}
const char* WINAPI APAGetMailbox() {
    return counted("APAGetMailbox").getMailbox();
}
const char* WINAPI APAFolderGetCurrentFolder(HWND window) {
    return counted("APAFolderGetCurrentFolder").folderGetCurrentFolder(window);
}
const char* WINAPI APAFolderGetSelectEntry(HWND window, BOOL first) {
    return counted("APAFolderGetSelectEntry").folderGetSelectEntry(window, first);
}
BOOL WINAPI APAMoveMail(const char* entry, const char* folder) {
    return counted("APAMoveMail").moveMail(entry, folder);
}
const char* WINAPI APAGetFolderName(const char* folder) {
    return counted("APAGetFolderName").getFolderName(folder);
}

UINT_PTR WINAPI APASetTimer(HWND, UINT_PTR, UINT) { counted("APASetTimer"); return 0; }
BOOL WINAPI APAKillTimer(UINT_PTR) { counted("APAKillTimer"); return FALSE; }
BOOL WINAPI APAExecQuillpost(const char*) { counted("APAExecQuillpost"); return FALSE; }
BOOL WINAPI APAImportFile(HWND, const char*, int) { counted("APAImportFile"); return FALSE; }
BOOL WINAPI APASaveMail(HWND, const char*, const char*, int) { counted("APASaveMail"); return FALSE; }
BOOL WINAPI APAMarkMail(HWND, const char*, int) { counted("APAMarkMail"); return FALSE; }
BOOL WINAPI APADeleteMail(const char*) { counted("APADeleteMail"); return FALSE; }
const char* WINAPI APAFolderGetCurrentEntry(HWND) { counted("APAFolderGetCurrentEntry"); return nullptr; }
BOOL WINAPI APAFolderChangePassword(HWND, const char*) { counted("APAFolderChangePassword"); return FALSE; }
BOOL WINAPI APAFolderMailTo(HWND, const char*) { counted("APAFolderMailTo"); return FALSE; }
BOOL WINAPI APAFolderReply(HWND, int) { counted("APAFolderReply"); return FALSE; }
BOOL WINAPI APAFolderForward(HWND, int) { counted("APAFolderForward"); return FALSE; }
HWND WINAPI APAFolderOpenMail(HWND, const char*, int) { counted("APAFolderOpenMail"); return nullptr; }
const char* WINAPI APASendGetText(HWND, int) { counted("APASendGetText"); return nullptr; }
const char* WINAPI APASendGetHeader(HWND) { counted("APASendGetHeader"); return nullptr; }
BOOL WINAPI APASendSetText(HWND, const char*) { counted("APASendSetText"); return FALSE; }
BOOL WINAPI APASendSetHeader(HWND, const char*) { counted("APASendSetHeader"); return FALSE; }
HWND WINAPI APASendGetEditor(HWND) { counted("APASendGetEditor"); return nullptr; }
const char* WINAPI APAViewGetText(HWND) { counted("APAViewGetText"); return nullptr; }
const char* WINAPI APAViewGetHeader(HWND) { counted("APAViewGetHeader"); return nullptr; }
BOOL WINAPI APAViewSetText(HWND, const char*) { counted("APAViewSetText"); return FALSE; }
const char* WINAPI APAViewGetPath(HWND) { counted("APAViewGetPath"); return nullptr; }
HWND WINAPI APAViewGetEditor(HWND) { counted("APAViewGetEditor"); return nullptr; }
BOOL WINAPI APAViewChangeMail(HWND, const char*) { counted("APAViewChangeMail"); return FALSE; }
int WINAPI APASjisToJis(const char*, char*, int) { counted("APASjisToJis"); return 0; }
int WINAPI APAJisToSjis(const char*, char*, int) { counted("APAJisToSjis"); return 0; }

}  // extern "C"

// Every definition above must have the type the plug-in binds, and so the argument bytes of
// its decorated export name.
#define HOST_FUNCTION(name, bytes, result, params) \
    static_assert(std::is_same<decltype(&::name), name##Fn>::value, #name " has the wrong type");
#include "plugin/hostapi/HostFunctions.h"
#undef HOST_FUNCTION
