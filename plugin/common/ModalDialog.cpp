#include "plugin/common/ModalDialog.h"

#include "plugin/common/ExceptionGuard.h"

namespace corvane {

INT_PTR ModalDialog::show(HINSTANCE instance, int templateId, HWND owner) {
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, dialogProcedure,
                           reinterpret_cast<LPARAM>(this));
}

void ModalDialog::attachTo(PROPSHEETPAGEA& page) {
    page.pfnDlgProc = pageProcedure;
    page.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK ModalDialog::dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ModalDialog* opening = message == WM_INITDIALOG ? reinterpret_cast<ModalDialog*>(lParam) : nullptr;
    return route(opening, window, message, wParam, lParam);
}

// A page opens with the PROPSHEETPAGE it was made from, whose lParam is the object.
INT_PTR CALLBACK ModalDialog::pageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ModalDialog* opening = nullptr;
    if (message == WM_INITDIALOG && lParam)
        opening = reinterpret_cast<ModalDialog*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
    return route(opening, window, message, wParam, lParam);
}

// Messages that come before WM_INITDIALOG, or to a window without an object, go to the system.
INT_PTR ModalDialog::route(ModalDialog* opening, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) noexcept {
    if (opening) {
        opening->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(opening));
    }
    ModalDialog* dialog = opening ? opening : reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    return guarded(dialog->failedAnswer(), [&] { return dialog->dispatch(message, wParam, lParam); });
}

INT_PTR ModalDialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInit() ? TRUE : FALSE;
    case WM_COMMAND:
        return onCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_MEASUREITEM:
        return onMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DRAWITEM:
        return onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DESTROY:
        // A dialog that answers it itself does so in onMessage, which it reaches too.
        onDestroy();
        break;
    }
    INT_PTR result = FALSE;
    return onMessage(message, wParam, lParam, result) ? result : FALSE;
}

}  // namespace corvane
