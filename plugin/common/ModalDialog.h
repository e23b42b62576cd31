// The one way the plug-in runs a dialog or a property page: the window keeps the dialog's
// object (DWLP_USER, set as it opens), the procedure hands each message to the object's named
// handlers, and whatever a handler throws stops at the procedure, so no exception unwinds
// through the system's dialog code.
#pragma once

#include <windows.h>
#include <prsht.h>

namespace corvane {

class ModalDialog {
public:
    ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Shows the dialog templateId of instance modally over owner; what EndDialog gave, or -1.
    INT_PTR show(HINSTANCE instance, int templateId, HWND owner);
    // Makes page a page of this object: its procedure and its lParam.
    void attachTo(PROPSHEETPAGEA& page);

protected:
    ~ModalDialog() = default;
    HWND window() const { return window_; }

    // WM_INITDIALOG, window() set: true lets the system give the focus.
    virtual bool onInit() { return true; }
    // WM_COMMAND; true when answered.
    virtual bool onCommand(int /*id*/, int /*code*/) { return false; }
    // WM_NOTIFY; true when answered (a property page sets DWLP_MSGRESULT itself).
    virtual bool onNotify(const NMHDR& /*header*/) { return false; }
    virtual bool onMeasureItem(MEASUREITEMSTRUCT& /*item*/) { return false; }
    virtual bool onDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
    virtual void onDestroy() {}
    // Any other message; true when answered, with what the procedure returns in result.
    virtual bool onMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }
    // What the procedure answers for a message whose handler threw.
    virtual INT_PTR failedAnswer() const { return FALSE; }

private:
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK pageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR route(ModalDialog* opening, HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

}  // namespace corvane
