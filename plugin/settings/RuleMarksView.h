// The marks of the rules page: each working rule checked as corvane-check lint checks it (its
// destination, its expression, its non-ASCII text without decoding) and against the messages of
// the folder window's current folder (earlier rules take everything it matches). A marked row is
// drawn in red with "※" before its target; its reason is the row's tooltip.
#pragma once

#include <windows.h>

#include <string>

#include "plugin/rules/MessageVerdict.h"
#include "plugin/rules/RuleMarks.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

// The unread and decoding options as the sheet holds them: the options page's boxes once it
// exists, else the folder's own, which the page would show.
VerdictOptions sheetOptions(const SettingsSheetState& state, const FolderContext& context);

// The rules page hears from the worker that read the folder with this message, and answers
// WM_RULEMARKS_PENDING with 1 while that worker is still reading.
constexpr UINT WM_RULEMARKS_READY = WM_APP + 20;
constexpr UINT WM_RULEMARKS_PENDING = WM_APP + 21;

// Marks the working rules anew and redraws the list: at once what the rules themselves show,
// and, when a worker has read the current folder, the rules earlier ones shadow there.
void refreshRuleMarks(const SettingsSheetState& state);
// The worker's marks, when it has finished.
void completeRuleMarks(HWND list);
bool ruleMarksPending(HWND list);
// The mark of a row of a rules list, or null for a row without one (or a list without marks).
const RuleMark* ruleMarkOf(HWND list, int row);
void dropRuleMarks(HWND list);

}  // namespace corvane
