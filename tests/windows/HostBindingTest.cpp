#include <set>

#include "TestPaths.h"
#include "TestSupport.h"
#include "plugin/hostapi/HostApi.h"

using namespace corvane;
using namespace testing_support;

namespace {

struct FakeHost {
    std::set<std::string> missing;
    int lookups = 0;
};

FARPROC fakeLookup(void* context, const char* name) {
    FakeHost* fake = static_cast<FakeHost*>(context);
    ++fake->lookups;
    if (fake->missing.count(name))
        return nullptr;
    return GetProcAddress(GetModuleHandleA(nullptr), name);
}

HMODULE exe() {
    return GetModuleHandleA(nullptr);
}

}  // namespace

TEST(HostBinding, BindsAllThirtyFourByTheirDecoratedNames) {
    ASSERT_EQ(34, kHostFunctionCount);
    EXPECT_STREQ("_APARegistCallback@8", kHostFunctionNames[0]);
    HostApi api;
    FakeHost fake;
    ASSERT_TRUE(bindHostApiWith(api, exe(), fakeLookup, &fake));
    EXPECT_EQ(exe(), api.module);
    EXPECT_EQ(34, fake.lookups);
    EXPECT_NE(nullptr, api.APAJisToSjis);
    EXPECT_NE(nullptr, api.APAMoveMail);
}

TEST(HostBinding, AnyOneMissingNameFailsTheWholeBinding) {
    for (int i = 0; i < kHostFunctionCount; ++i) {
        HostApi api;
        FakeHost fake;
        fake.missing.insert(kHostFunctionNames[i]);
        EXPECT_FALSE(bindHostApiWith(api, exe(), fakeLookup, &fake)) << kHostFunctionNames[i];
        EXPECT_EQ(nullptr, api.module) << kHostFunctionNames[i];
        EXPECT_EQ(i + 1, fake.lookups) << "binding stops at the first missing name";
    }
}

TEST(HostBinding, ABoundTableIsNotBoundAgain) {
    HostApi api;
    FakeHost fake;
    ASSERT_TRUE(bindHostApiWith(api, exe(), fakeLookup, &fake));
    fake.missing.insert(kHostFunctionNames[5]);
    EXPECT_TRUE(bindHostApiWith(api, exe(), fakeLookup, &fake));
    EXPECT_EQ(34, fake.lookups);
}

// The real thing: a host program that lacks one function the plug-in never calls refuses the
// plug-in with the start-up error box, and the host's load fails.
TEST(HostBinding, AnIncompleteHostGetsTheRefusalBoxAndTheLoadFails) {
    std::string dir = standin::makeTempDirectory("corvane-missing");
    std::string script = dir + "script.txt";
    std::string report = dir + "report.txt";
    ASSERT_TRUE(standin::Mailbox::writeFile(script, "expect-load-failure " + builtModule("corvane.dll") + "\n"));
    std::string program = winPath(std::string(CORVANE_TEST_BINARY_DIR) + "standhost_missing.exe");
    EXPECT_EQ(0, runProgram("\"" + program + "\" --script \"" + script + "\" --report \"" + report + "\""));
    std::string text = standin::Mailbox::readFile(report);
    EXPECT_NE(std::string::npos,
              text.find("box caption=\"プラグイン起動エラー\" icon=error "
                        "text=\"プラグイン(Corvane)が起動できません。\\nQuillpost32のバージョンが1.10以上であるか確認してください。\""))
        << text;
    EXPECT_NE(std::string::npos, text.find("load refused as expected")) << text;
    standin::removeDirectoryTree(dir);
}
