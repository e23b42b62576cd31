#include "tools/check/CheckCommand.h"

#include "CorvaneVersion.h"
#include "tools/check/Disk.h"
#include "tools/check/Findings.h"
#include "tools/check/Lint.h"
#include "tools/check/Preview.h"
#include "tools/check/Suggest.h"

namespace corvane {

namespace {

const char kUsage[] =
    "使い方:\n"
    "  corvane-check lint    --mailbox DIR --account NAME [--json]\n"
    "  corvane-check preview --mailbox DIR --folder NAME\\Inbox.box [--all] [--json]\n"
    "  corvane-check explain --mailbox DIR --entry NAME\\Inbox.box\\KEY [--json]\n"
    "  corvane-check suggest --mailbox DIR --account NAME [--holdout] [--ignore-inbox] [--json]\n"
    "  corvane-check --version\n"
    "  lint: corvane.ini をプラグインと同じに読み、問題を行番号つきで示します\n"
    "  preview: フォルダのメールがどこへ移動するかを示します(何も移動しません)\n"
    "  explain: 1 通のメールについて、規則ごとに一致したかを示します\n"
    "  suggest: ユーザーフォルダに整理済みのメールから規則を学び、貼り付けられる形で示します(何も書き換えません)\n"
    "  --holdout: 各フォルダの新しい 1/3 (Date の順) を取り分けて残りから学び、取り分けたメールで適合率と再現率を確かめます\n"
    "  --ignore-inbox: 郵便受けに残したメールにも一致してよいものとします\n"
    "  --all: 未読メールも調べます。--json: スクリプト向けの出力\n"
    "終了コード: 0 問題なし、1 問題あり、2 読めない入力あり、3 引数の誤り\n";

// A folder path or entry name as the host writes it: '/' taken for '\', no trailing separator.
std::string hostPath(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

struct Options {
    std::string command, mailbox, account, folder, entry;
    bool all = false, json = false, holdout = false, ignoreInbox = false, mailboxGiven = false;
};

bool parse(const std::vector<std::string>& args, Options& options, std::string& err) {
    if (args.empty()) {
        err = "コマンドがありません\n";
        return false;
    }
    options.command = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* target = nullptr;
        if (arg == "--all") {
            options.all = true;
        } else if (arg == "--holdout") {
            options.holdout = true;
        } else if (arg == "--ignore-inbox") {
            options.ignoreInbox = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--mailbox") {
            target = &options.mailbox;
            options.mailboxGiven = true;
        } else if (arg == "--account") {
            target = &options.account;
        } else if (arg == "--folder") {
            target = &options.folder;
        } else if (arg == "--entry") {
            target = &options.entry;
        } else {
            err = "知らない引数です: " + arg + "\n";
            return false;
        }
        if (target) {
            if (i + 1 >= args.size()) {
                err = arg + " の値がありません\n";
                return false;
            }
            *target = args[++i];
        }
    }
    if (!options.mailboxGiven) {
        err = "--mailbox がありません\n";
        return false;
    }
    const std::string& command = options.command;
    bool byAccount = command == "lint" || command == "suggest";
    bool ok = (byAccount && !options.account.empty()) || (command == "preview" && !options.folder.empty()) ||
              (command == "explain" && !options.entry.empty());
    if (!ok) {
        if (command != "lint" && command != "preview" && command != "explain" && command != "suggest")
            err = "知らないコマンドです: " + command + "\n";
        else
            err = byAccount ? "--account がありません\n"
                            : command == "preview" ? "--folder がありません\n" : "--entry がありません\n";
        return false;
    }
    return true;
}

}  // namespace

int runCheckCommand(const std::vector<std::string>& args, std::string& out, std::string& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        out = kUsage;
        return ExitClean;
    }
    if (!args.empty() && args[0] == "--version") {
        out = "corvane-check " CORVANE_VERSION "\n";
        return ExitClean;
    }
    Options options;
    if (!parse(args, options, err)) {
        err += kUsage;
        return ExitUsage;
    }
    std::string root = mailboxRootFromArgument(options.mailbox);
    if (options.command == "lint") {
        LintResult result = lintAccount(root, hostPath(options.account));
        out = options.json ? renderLintJson(result) : renderLintText(result);
        return result.findings.exitCode();
    }
    if (options.command == "suggest") {
        SuggestResult result = suggestRules(root, hostPath(options.account), options.holdout, options.ignoreInbox);
        out = options.json ? renderSuggestJson(result) : renderSuggestText(result);
        return result.findings.exitCode();
    }
    if (options.command == "preview") {
        PreviewResult result = previewFolder(root, hostPath(options.folder), options.all);
        out = options.json ? renderPreviewJson(result) : renderPreviewText(result);
        return result.findings.exitCode();
    }
    ExplainResult result = explainEntry(root, hostPath(options.entry));
    out = options.json ? renderExplainJson(result) : renderExplainText(result);
    return result.findings.exitCode();
}

}  // namespace corvane
