#include "plugin/settings/HostRuleImport.h"

#include <string>

#include "plugin/common/ErrorBox.h"
#include "plugin/common/ModalDialog.h"
#include "plugin/common/ModuleInstance.h"
#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/resources/resource.h"
#include "plugin/rules/HostRuleParse.h"
#include "plugin/rules/RuleText.h"
#include "plugin/settings/RuleListView.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

namespace {

const char kHostSection[] = "Distribute";
constexpr int kHostValueBufferSize = 1024;

// The question before an import: OK or Cancel, nothing else.
class ImportConfirmDialog final : public ModalDialog {
    bool onCommand(int id, int) override {
        if (id != IDOK && id != IDCANCEL)
            return false;
        EndDialog(window(), id);
        return true;
    }
};

// Both separators present: a value that failed to split only because a field was too long.
bool hasThreeFields(const char* value) {
    const char* end = findFieldSeparator(value);
    return end && findFieldSeparator(end + 2);
}

enum class HostRuleRead { Rule, Refused, End };

HostRuleRead readHostRule(const char* path, int n, bool matchCase, DistributeRule& rule) {
    char key[32];
    formatBuffer(key, "Rule%d", n);
    char value[kHostValueBufferSize] = {};
    DWORD length = GetPrivateProfileStringA(kHostSection, key, "", value, sizeof value, path);
    if (length == 0)
        return HostRuleRead::End;
    // A value that filled the buffer was cut: its folder would be another folder.
    if (length >= sizeof value - 1)
        return HostRuleRead::Refused;
    if (!parseHostRule(value, rule.headerName, rule.searchText, rule.destFolder))
        return hasThreeFields(value) ? HostRuleRead::Refused : HostRuleRead::End;
    rule.searchTarget = NamedHeader;
    rule.matchCase = matchCase;
    rule.useRegex = 0;
    finishLoadedRule(rule);
    // A folder holding a colon and a blank would not come back from the rules file.
    return ruleFitsRecord(rule) ? HostRuleRead::Rule : HostRuleRead::Refused;
}

}  // namespace

HostImportResult importHostRules(HWND optionsPage) {
    HostImportResult result;
    SettingsSheetState* state = findStateOfPage(optionsPage);
    FolderContext* context = findContextOfState(state);
    if (!state || !context)
        return result;
    PathBuffer path;
    if (accountFilePath(context->accountDir, "Account.ini", path)) {
        bool matchCase = GetPrivateProfileIntA(kHostSection, "CharSize", 3, path) == 1;
        for (int n = 1;; ++n) {
            DistributeRule rule;
            HostRuleRead read = readHostRule(path, n, matchCase, rule);
            if (read == HostRuleRead::End)
                break;
            if (read == HostRuleRead::Refused) {
                ++result.refused;
                continue;
            }
            state->appendRule(rule);
            setRuleRow(state->listView, kNoRow, &rule);
            ++result.imported;
        }
    }
    selectRow(state->listView, state->ruleCount - 1);
    return result;
}

void confirmHostImport(HWND optionsPage) {
    if (showImportConfirmDialog(optionsPage) != IDOK)
        return;
    HostImportResult result = importHostRules(optionsPage);
    char text[1024];
    formatBuffer(text,
                 "%d件の振り分け条件をインポートしました\n\n【重要】\n現在はまだ確定していません."
                 "「振り分け条件」タブで内容を確認し, 正しければ[OK]ボタンを押してください.",
                 result.imported);
    ShowInfoBox(optionsPage, text);
    if (result.refused > 0) {
        formatBuffer(text,
                     "%d件の振り分け条件は、移動先フォルダが長すぎるか「: 」を含むため取り込みませんでした",
                     result.refused);
        ShowErrorBox(optionsPage, text);
    }
}

INT_PTR showImportConfirmDialog(HWND parent) {
    ImportConfirmDialog dialog;
    return dialog.show(moduleInstance(), IDD_IMPORT_CONFIRM, parent);
}

}  // namespace corvane
