#include "plugin/settings/RuleMarksView.h"

#include <algorithm>
#include <map>
#include <vector>

#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/RuleTry.h"

namespace corvane {

namespace {

std::map<HWND, std::vector<RuleMark>>& marksByList() {
    static std::map<HWND, std::vector<RuleMark>> marks;
    return marks;
}

// How each rule fares on the messages of the folder that a run takes, read as a run reads them.
void tallyFolder(const std::string& root, const std::string& folder, const MessageJudge& judge,
                 RuleTallies& tallies) {
    PathBuffer path;
    char* list = formatMessageListPath(root.c_str(), folder.c_str(), path) ? readWholeFile(path) : nullptr;
    FolderMessages messages = listFolderMessages(list, folder);
    freeText(list);
    std::vector<char> buffer(kWorkBufferSize);
    for (size_t i = 0; i < messages.entries.size(); ++i) {
        if (!judge.takes(messages.unread[i]) ||
            !formatMessageFilePath(root.c_str(), messages.entries[i].c_str(), path))
            continue;
        if (const char* text = readFileStart(path, buffer.data()))
            tallies.add(judge.matchEach(text));
    }
}

}  // namespace

VerdictOptions sheetOptions(const SettingsSheetState& state, const FolderContext& context) {
    VerdictOptions options{context.unreadMail != 0, context.decodeMime != 0};
    if (state.optionsPage && IsWindow(state.optionsPage)) {
        options.unreadMail = IsDlgButtonChecked(state.optionsPage, IDC_UNREAD_MAIL) == BST_CHECKED;
        options.decodeMime = IsDlgButtonChecked(state.optionsPage, IDC_DECODE_MIME) == BST_CHECKED;
    }
    return options;
}

void refreshRuleMarks(const SettingsSheetState& state) {
    FolderContext* context = findContextOfState(&state);
    HostApi& host = hostApi();
    if (!state.listView || !context || !host.module)
        return;
    const char* root = host.APAGetMailbox();
    const char* folder = host.APAFolderGetCurrentFolder(state.ownerWindow);
    size_t count = std::min(state.rules.size(), static_cast<size_t>(std::max(state.ruleCount, 0)));
    RuleList rules(state.rules.begin(), state.rules.begin() + static_cast<ptrdiff_t>(count));
    VerdictOptions options = sheetOptions(state, *context);
    std::string rootText = root ? root : "";
    auto folderExists = [&](const char* destination) {
        PathBuffer path;
        return root && formatFolderTestPath(root, destination, path) &&
               GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    };
    RuleTallies tallies(rules.size());
    if (root && folder) {
        MessageJudge judge(rules, options);
        tallyFolder(rootText, folder, judge, tallies);
    }
    marksByList()[state.listView] = markRules(rules, options.decodeMime, folderExists, root && folder ? &tallies : nullptr);
    InvalidateRect(state.listView, nullptr, TRUE);
}

const RuleMark* ruleMarkOf(HWND list, int row) {
    auto found = marksByList().find(list);
    if (found == marksByList().end() || row < 0 || static_cast<size_t>(row) >= found->second.size())
        return nullptr;
    const RuleMark& mark = found->second[static_cast<size_t>(row)];
    return mark.fault == RuleFault::None ? nullptr : &mark;
}

void dropRuleMarks(HWND list) {
    marksByList().erase(list);
}

}  // namespace corvane
