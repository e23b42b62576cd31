// The main job as a test: the demo's own script, run by the stand-in host inside this test
// program. It sorts the sample inbox with Alt+L, compares every move the plug-in asked of the
// host with the rules checker's preview of the same folder, undoes the run with Alt+P and
// compares every message file with its state before.
#include <fstream>
#include <sstream>

#include "TestPaths.h"
#include "TestSupport.h"
#include "host/Script.h"

using namespace testing_support;

TEST(Demo, TheMainJobPassesAndThePreviewPredictsEveryMove) {
    std::ifstream file(std::string(CORVANE_SOURCE_DIR) + "/scripts/demo.script");
    ASSERT_TRUE(file) << "demo script";
    std::stringstream text;
    text << file.rdbuf();
    std::string binDir = builtModule("");
    standin::ScriptResult result = standin::runScript(standin::splitLines(text.str()), binDir);
    std::string report;
    for (const std::string& line : result.report)
        report += line + "\n";
    EXPECT_TRUE(result.ok) << report;
    EXPECT_NE(std::string::npos, report.find(", 0 differences\nrobot: 0 answers left")) << report;
    EXPECT_NE(std::string::npos, report.find("compare with snapshot: 320 files, 0 differences")) << report;
    EXPECT_NE(std::string::npos, report.find("text=\"218件振り分けました\"")) << report;
    EXPECT_NE(std::string::npos, report.find("text=\"218通を元に戻しました\"")) << report;
    // The script made its mailbox in a folder of its own: <temp folder>\Mailbox\.
    std::string root = standin::StandInHost::get().mailbox().root();
    standin::StandInHost::get().reset(standin::makeTempDirectory("corvane-demo-end") + "Mailbox\\");
    standin::removeDirectoryTree(root.substr(0, root.size() - std::string("Mailbox\\").size()));
}
