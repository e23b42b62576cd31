// What the pages of one open settings sheet share, and the registry that finds it by the
// sheet's window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>

#include "plugin/mailbox/FolderTree.h"
#include "plugin/rules/DistributeRule.h"
#include "plugin/windows/FolderRegistry.h"

namespace corvane {

struct SettingsSheetState {
    HWND ownerWindow = nullptr;  // the folder window whose record the sheet edits
    HWND sheetWindow = nullptr;
    HWND rulesPage = nullptr;
    HIMAGELIST imageList = nullptr;
    HWND listView = nullptr;
    RuleList rules;  // the working copy; row n of the list view shows rule n
    int32_t ruleCount = 0;
    FolderList folders;
    int32_t folderCount = 0;
    HWND optionsPage = nullptr;

    void setRules(const RuleList& list);
    void appendRule(const DistributeRule& rule);
    void removeRule(int index);
    void clear();
    bool validRule(int index) const { return index >= 0 && index < ruleCount; }
};

class SheetRegistry {
public:
    // The sheet's state, made if it has none; none for a null window.
    SettingsSheetState* getOrCreate(HWND sheet);
    SettingsSheetState* find(HWND sheet) const;
    void drop(HWND sheet);

private:
    std::map<HWND, std::unique_ptr<SettingsSheetState>> states_;
};

SheetRegistry& sheetRegistry();

// The state of the sheet that a page (a child of the sheet) belongs to, or none.
SettingsSheetState* findStateOfPage(HWND page);

// The record of the folder window that owns the sheet of the state, or none.
FolderContext* findContextOfState(const SettingsSheetState* state);

}  // namespace corvane
