#include "TestSupport.h"

#include "TestPaths.h"

namespace testing_support {

std::string winPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

DWORD openHandles() {
    DWORD count = 0;
    for (uintptr_t value = 4; value < (1u << 18); value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

std::string builtModule(const char* name) {
    return winPath(std::string(CORVANE_BIN_DIR) + name);
}

std::string testHookModule(const char* name) {
    return winPath(std::string(CORVANE_TEST_HOOK_DIR) + name + ".dll");
}

bool copyFileTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

int runProgram(const std::string& commandLine, DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void PluginTest::SetUp() {
    tempDir = standin::makeTempDirectory("corvane-test");
    pluginDir = tempDir + "plugin\\";
    CreateDirectoryA(pluginDir.c_str(), nullptr);
    SetCurrentDirectoryA(tempDir.c_str());
    host.reset(tempDir + "Mailbox\\");
    host.plugin = &plugin;
    host.mailbox().createAccount("Main");
    robot.install();
}

void PluginTest::TearDown() {
    if (started && plugin.loaded())
        plugin.APCCleanUp();
    plugin.unload();
    // A hook library left loaded would be found by name by the next test's plug-in.
    while (HMODULE stale = GetModuleHandleA("gantrel.dll"))
        FreeLibrary(stale);
    EXPECT_EQ(0, robot.unexpected()) << "a dialog opened that the test did not expect";
    EXPECT_EQ(0u, robot.pendingAnswers()) << "an expected dialog did not open";
    robot.uninstall();
    host.reset(tempDir + "Mailbox\\");
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    SetCurrentDirectoryA(system);
    standin::removeDirectoryTree(tempDir);
}

bool PluginTest::loadPlugin() {
    std::string path = pluginDir + "corvane.dll";
    if (!copyFileTo(builtModule("corvane.dll"), path))
        return false;
    return plugin.load(path);
}

void PluginTest::startPlugin() {
    ASSERT_TRUE(loadPlugin());
    ASSERT_EQ(TRUE, plugin.APCStartUp(0));
    started = true;
}

void PluginTest::placeHookBesidePlugin(const char* testHook) {
    ASSERT_TRUE(copyFileTo(testHookModule(testHook), pluginDir + "gantrel.dll"));
}

void PluginTest::placeHookInCurrentFolder(const char* testHook) {
    ASSERT_TRUE(copyFileTo(testHookModule(testHook), tempDir + "gantrel.dll"));
}

std::string PluginTest::hookLog() {
    HMODULE module = GetModuleHandleA("gantrel.dll");
    if (!module)
        return "";
    auto log = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "testHookLog")));
    return log ? log() : "";
}

}  // namespace testing_support
