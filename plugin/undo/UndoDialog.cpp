#include "plugin/undo/UndoDialog.h"

namespace corvane {

// The run itself is not wired in yet: the dialog ends as soon as it opens.
INT_PTR CALLBACK UndoDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace corvane
