#include "tools/check/AccountRules.h"

#include "tools/check/Disk.h"
#include "tools/check/Findings.h"

namespace corvane {

AccountRules readAccountRules(const std::string& root, const std::string& account, Findings& findings) {
    AccountRules rules;
    rules.account = account;
    std::string accountDir = root + account + "\\";
    rules.iniPath = nativeDiskPath(accountDir + "corvane.ini");
    std::string text;
    ReadStatus status = readDiskFile(accountDir + "corvane.ini", text);
    if (status != ReadStatus::Ok) {
        if (!diskIsDirectory(accountDir))
            findings.addUnreadable("no-account", nativeDiskPath(accountDir),
                                   "アカウントのディレクトリがありません");
        else
            findings.addUnreadable(status == ReadStatus::Missing ? "missing-file" : "read-error", rules.iniPath,
                                   status == ReadStatus::Missing ? "ファイルがありません(規則なしとして扱われます)"
                                                                 : "ファイルを読み込めません");
        rules.file.reset(new ProfileFile(std::string()));
    } else {
        rules.read = true;
        rules.file.reset(new ProfileFile(text));
    }
    rules.load = loadRuleSet(*rules.file);
    return rules;
}

}  // namespace corvane
