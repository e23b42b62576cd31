// Where the plug-in takes gantrel.dll from, when it lets it go, and that its hooks stay in the
// host's process.
#include "TestSupport.h"
#include "TestPaths.h"

using namespace testing_support;

namespace {

std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\') + 1);
}

std::string moduleFolder(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return folderOf(path);
}

std::string upper(std::string text) {
    CharUpperA(&text[0]);
    return text;
}

// The folder of the loaded gantrel.dll, "" when none is loaded.
std::string loadedHookFolder() {
    HMODULE module = GetModuleHandleA("gantrel.dll");
    return module ? upper(moduleFolder(module)) : "";
}

class HookPlacement : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        hostFolder = moduleFolder(nullptr);
        pathFolder = tempDir + "onpath\\";
        CreateDirectoryA(pathFolder.c_str(), nullptr);
        char path[32768] = {};
        GetEnvironmentVariableA("PATH", path, sizeof path);
        savedPath = path;
        SetEnvironmentVariableA("PATH", (pathFolder + ";" + savedPath).c_str());
    }

    // The copy in the host's folder goes only once nothing holds it.
    void TearDown() override {
        SetEnvironmentVariableA("PATH", savedPath.c_str());
        PluginTest::TearDown();
        DeleteFileA((hostFolder + "gantrel.dll").c_str());
    }

    void place(const std::string& folder, bool present, const std::string& library) {
        const std::string target = folder + "gantrel.dll";
        if (present) {
            ASSERT_TRUE(copyFileTo(library, target)) << target;
        } else {
            DeleteFileA(target.c_str());
        }
    }

    void stopPlugin() {
        plugin.APCCleanUp();
        started = false;
        plugin.unload();
    }

    std::string hostFolder;
    std::string pathFolder;
    std::string savedPath;
};

}  // namespace

TEST_F(HookPlacement, OnlyTheCopiesBesideThePluginAndTheHostAreLoaded) {
    struct Case {
        const char* name;
        bool besidePlugin;
        bool inHostFolder;
        const std::string* loadedFrom;  // none: no copy is loaded
    };
    const Case cases[] = {
        {"beside the plug-in wins", true, true, &pluginDir},
        {"then the host's folder", false, true, &hostFolder},
        {"never the current folder or PATH", false, false, nullptr},
    };
    const std::string library = testHookModule("testhook_beside");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        place(tempDir, true, library);  // the current folder
        place(pathFolder, true, library);
        place(pluginDir, c.besidePlugin, library);
        place(hostFolder, c.inHostFolder, library);
        startPlugin();
        EXPECT_EQ(c.loadedFrom ? upper(*c.loadedFrom) : "", loadedHookFolder());
        stopPlugin();
        EXPECT_EQ("", loadedHookFolder());
    }
}

TEST_F(HookPlacement, ALibraryWhoseHooksCannotEndStaysLoaded) {
    place(pluginDir, true, testHookModule("testhook_stuck"));
    startPlugin();
    ASSERT_NE("", loadedHookFolder());
    plugin.APCCleanUp();
    started = false;
    EXPECT_NE(std::string::npos, hookLog().find("end;"));
    EXPECT_EQ(upper(pluginDir), loadedHookFolder());
}

// A second GUI program gets its key and its message while the plug-in's hooks run, and the
// hook library is never mapped into it; the old hooks for the whole desktop show that it
// would be seen.
TEST_F(HookPlacement, AnotherProgramIsLeftAlone) {
    struct Case {
        const char* name;
        std::string library;
        int probeResult;  // 0: untouched, 1: gantrel.dll mapped into it
    };
    const Case cases[] = {
        {"shipped library", builtModule("gantrel.dll"), 0},
        {"hooks for the whole desktop", testHookModule("gantrel_desktop"), 1},
    };
    const std::string probe = winPath(std::string(CORVANE_TEST_BINARY_DIR) + "hookprobe.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        place(pluginDir, true, c.library);
        startPlugin();
        ASSERT_EQ(upper(pluginDir), loadedHookFolder());
        ShowWindow(host.openFolderWindow("Main", "Main\\Inbox.box"), SW_SHOW);
        EXPECT_EQ(c.probeResult, runProgram('"' + probe + '"'));
        stopPlugin();
    }
}
