// The learning dialog, opened by button 1019 of the options page: rules learnt from how the
// user already files mail. The mail is read and learnt from on a worker thread behind the run
// frame's progress dialog (110, with キャンセル); the proposals then show in dialog 109 with check
// boxes, and 追加 appends the checked ones to the sheet's working rules and the rules page's rows
// as the host-rule import does, so they take effect only with the sheet's OK.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <string>

#include "plugin/learning/FiledMailLearning.h"

namespace corvane {

struct LearnDialogData {
    HWND optionsPage = nullptr;
    // The worker's own copies, taken when the button is pressed: nothing it reads belongs to the
    // sheet or the folder window, which may close while it runs.
    std::string mailboxRoot;
    FiledMailSettings settings;
    // Published by the worker when it has finished, so that a worker that had to be terminated
    // leaves no half-made result; owned by the dialog from then on.
    std::atomic<FiledMailLearning*> published{nullptr};
    std::atomic<bool> outOfMemory{false};  // the worker ran out of memory: said in a box, never silently
    std::unique_ptr<FiledMailLearning> learning;
    HIMAGELIST images = nullptr;  // the folder icons of the proposals list (not owned)
    int added = 0;
};

// Runs the learning and, unless it was cancelled, the proposals dialog over the options page.
// Returns the number of rules added to the working rules.
int showLearnDialog(HWND optionsPage);

}  // namespace corvane
