#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

void SettingsSheetState::setRules(const RuleList& list) {
    rules = list;
    ruleCount = static_cast<int32_t>(rules.size());
}

void SettingsSheetState::appendRule(const DistributeRule& rule) {
    rules.push_back(rule);
    ruleCount = static_cast<int32_t>(rules.size());
}

void SettingsSheetState::removeRule(int index) {
    if (!validRule(index))
        return;
    rules.erase(rules.begin() + index);
    ruleCount = static_cast<int32_t>(rules.size());
}

void SettingsSheetState::clear() {
    rules.clear();
    ruleCount = 0;
    folders.clear();
    folderCount = 0;
}

SettingsSheetState* SheetRegistry::getOrCreate(HWND sheet) {
    if (!sheet)
        return nullptr;
    std::unique_ptr<SettingsSheetState>& slot = states_[sheet];
    if (!slot) {
        slot = std::make_unique<SettingsSheetState>();
        slot->sheetWindow = sheet;
    }
    return slot.get();
}

SettingsSheetState* SheetRegistry::find(HWND sheet) const {
    auto it = states_.find(sheet);
    return it == states_.end() ? nullptr : it->second.get();
}

void SheetRegistry::drop(HWND sheet) {
    states_.erase(sheet);
}

SheetRegistry& sheetRegistry() {
    static SheetRegistry registry;
    return registry;
}

SettingsSheetState* findStateOfPage(HWND page) {
    return sheetRegistry().find(GetParent(page));
}

FolderContext* findContextOfState(const SettingsSheetState* state) {
    return state && state->ownerWindow ? folderRegistry().find(state->ownerWindow) : nullptr;
}

}  // namespace corvane
