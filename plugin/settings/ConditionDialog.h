// The further conditions of a rule in the rule editor: their list view, and the dialog
// "条件の指定" (111) that makes or changes one.
#pragma once

#include <windows.h>

#include <vector>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

// Opens dialog 111 over the editor, starting from condition when edit is set and from a blank
// one otherwise. Returns true when the user's condition was accepted into condition.
bool showConditionDialog(HWND editor, RuleCondition& condition, bool edit);

// Validates dialog 111 with the editor's messages in the editor's order; shows the first
// failure and returns false.
bool acceptConditionDialog(HWND dialog, RuleCondition& condition);

// The list view of further conditions: 対象, 文字列, 含む/含まない.
void insertConditionColumns(HWND list);
void fillConditionList(HWND list, const std::vector<RuleCondition>& conditions, int select);

// The label of a condition's target as the rules page shows it.
const char* conditionTargetText(int32_t target, const char* headerName);

}  // namespace corvane
