// The rule editor (dialog 101): a new rule, or a change of the selected one.
#pragma once

#include <windows.h>

#include "plugin/rules/DistributeRule.h"
#include "plugin/settings/SettingsSheetState.h"

namespace corvane {

struct RuleDialogData {
    bool editMode = false;
    DistributeRule rule;  // edit mode: the rule shown; after OK: the accepted rule
};

// Opens the editor over a rules page (the sheet becomes its owner). Returns IDOK when a rule
// was accepted into data.rule, IDCANCEL otherwise.
INT_PTR showRuleDialog(HWND parent, RuleDialogData& data);

// Enables the controls that belong to the target and sets the two check boxes; a state of
// -1 leaves its box alone, and a target outside 0 .. 2 changes no enabling.
void updateRuleDialogEnabling(HWND dialog, int target, int caseState, int regexState);

// Fills the destination list from the sheet's folders and selects index (-1 or past the end:
// nothing selected). Returns the list.
HWND fillFolderCombo(HWND dialog, const SettingsSheetState& state, int index);

void drawFolderComboItem(const DRAWITEMSTRUCT& item);

// The header names offered in a header box, and the box's text set to text.
void fillHeaderNames(HWND dialog, const char* text);
// The target of the checked radio (1005, 1006, else NamedHeader), and the radio of a target (0
// for a target outside 0 .. 2).
int checkedTarget(HWND dialog);
int targetRadio(int target);

// The editor's and the condition dialog's own checks, each showing its failure and returning
// false: a named header needs a header name, every target a search text (both read into the
// record's 1024 bytes), and an expression must compile.
bool readSearchTexts(HWND dialog, int32_t target, char (&header)[1024], char (&search)[1024]);
bool regexAccepted(HWND dialog, const char* pattern);

// Validates the inputs and builds the rule, its further conditions included; shows the first failure and returns false.
bool acceptRuleDialog(HWND dialog, DistributeRule& rule);

}  // namespace corvane
