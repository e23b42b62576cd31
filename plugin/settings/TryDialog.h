// The try of a rule from the rule editor (button 1037): the rule as typed, at its place in the
// sheet's working rules, decided by the run's own judge on every message of the folder window's
// current folder, with the sheet's unread and decoding options. The messages are read on a
// worker thread behind the run frame's progress dialog (with キャンセル); dialog 112 then lists the
// messages the rule takes and, on a double-click, why. Nothing moves and nothing is saved.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "plugin/rules/RuleTry.h"

namespace corvane {

struct TryDialogData {
    // The worker's own copies, taken when the button is pressed.
    std::string mailboxRoot;
    std::string folder;
    RuleList rules;  // the working rules with the tried rule in its place
    size_t tried = 0;
    VerdictOptions options;
    // Progress: messages between two updates of the counts and the bar.
    size_t updateEvery = 32;
    // Published by the worker when it has tried every message, so that a try cut short or
    // terminated leaves nothing half made; owned here from then on.
    std::atomic<RuleTry*> published{nullptr};
    std::unique_ptr<RuleTry> result;
};

// Opens the try over the editor; editMode: the rule replaces the selected row, else it is
// appended. The inputs are checked as OK checks them first.
void showTryDialog(HWND editor, bool editMode);

}  // namespace corvane
