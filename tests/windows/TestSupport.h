// What the Windows tests share: a fresh mailbox and plug-in folder per test, the plug-in
// loaded as the host loads it, the robot on this thread, and paths to the built modules.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host/PluginModule.h"
#include "host/StandInHost.h"

namespace testing_support {

// A Unix path of the build tree as a Windows path under Wine (Z:\...).
std::string winPath(const std::string& unixPath);
std::string builtModule(const char* name);    // from the build's bin folder
std::string testHookModule(const char* name);  // one of the stand-in hook libraries
bool copyFileTo(const std::string& from, const std::string& to);

// Runs a program and waits for it; returns its exit code, or -1 when it could not start.
int runProgram(const std::string& commandLine, DWORD timeoutMs = 60000);

// Handles open in the process, found by asking about every handle value in turn: Wine does not
// count them for GetProcessHandleCount.
DWORD openHandles();

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies corvane.dll into the test's plug-in folder and loads it from there.
    bool loadPlugin();
    // Loads the plug-in and runs its start-up.
    void startPlugin();
    // A hook library copy named gantrel.dll in the plug-in folder or the current folder.
    void placeHookBesidePlugin(const char* testHook);
    void placeHookInCurrentFolder(const char* testHook);
    // The log of calls that the loaded stand-in hook library recorded, or "" if none is loaded.
    static std::string hookLog();

    standin::StandInHost& host = standin::StandInHost::get();
    standin::DialogRobot& robot = host.robot();
    standin::PluginModule plugin;
    std::string tempDir;    // ends with a backslash
    std::string pluginDir;  // tempDir + "plugin\"
    bool started = false;
};

}  // namespace testing_support
