// The rules list of the rules page: one row per working rule, drawn by the page.
#pragma once

#include <windows.h>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

constexpr int kNoRow = -1;

// Adds the three columns: target, search text, destination.
void insertRuleColumns(HWND list);
// Appends a left-aligned report column.
void insertListColumn(HWND list, int index, int width, const char* title);

// Writes the rule's texts (and the destination's icon) into row index, or into a new last
// row when index is kNoRow. False only without a rule.
bool setRuleRow(HWND list, int index, const DistributeRule* rule);

// Draws one row of the owner-drawn list: each cell inset, icons in the later columns.
void drawRuleRow(const DRAWITEMSTRUCT& item);

// The selected row, or kNoRow.
int selectedRow(HWND list);

// Selects and focuses a row and scrolls it into view.
void selectRow(HWND list, int index);

}  // namespace corvane
