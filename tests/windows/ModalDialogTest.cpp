// The guard of every dialog and property page: a handler that throws loses its own message,
// and the dialog goes on to the next one instead of the exception unwinding through the
// system's dialog code.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <new>
#include <stdexcept>

#include "TestSupport.h"
#include "plugin/common/ModalDialog.h"
#include "plugin/resources/resource.h"

namespace {

enum class Throws { Nothing, Init, Command, Message };

constexpr int kProbeCommand = 4321;
constexpr UINT kProbeMessage = WM_APP + 1;
constexpr UINT kEndMessage = WM_APP + 2;

// Queues a command, a message of its own and its end as it opens; each handler counts itself
// and throws when the case says so.
class Probe final : public corvane::ModalDialog {
public:
    Probe(Throws throws, bool page) : throws_(throws), page_(page) {}
    int reached = 0;

private:
    bool onInit() override {
        PostMessageA(window(), WM_COMMAND, MAKEWPARAM(kProbeCommand, BN_CLICKED), 0);
        PostMessageA(window(), kProbeMessage, 0, 0);
        PostMessageA(window(), kEndMessage, 0, 0);
        ++reached;
        if (throws_ == Throws::Init)
            throw std::runtime_error("init");
        return true;
    }
    bool onCommand(int id, int) override {
        if (id != kProbeCommand)
            return false;
        ++reached;
        if (throws_ == Throws::Command)
            throw 7;
        return true;
    }
    bool onMessage(UINT message, WPARAM, LPARAM, INT_PTR&) override {
        if (message == kProbeMessage) {
            ++reached;
            if (throws_ == Throws::Message)
                throw std::bad_alloc();
        } else if (message == kEndMessage) {
            if (page_)
                PropSheet_PressButton(GetParent(window()), PSBTN_CANCEL);
            else
                EndDialog(window(), 42);
        }
        return message == kProbeMessage || message == kEndMessage;
    }

    Throws throws_;
    bool page_;
};

class ModalDialogGuard : public ::testing::Test {
protected:
    void SetUp() override {
        resources = LoadLibraryExA(testing_support::builtModule("corvane.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources);
    }
    void TearDown() override { FreeLibrary(resources); }

    INT_PTR showPage(Probe& probe) {
        PROPSHEETPAGEA page = {};
        page.dwSize = sizeof page;
        page.hInstance = resources;
        page.pszTemplate = MAKEINTRESOURCEA(IDD_OPTIONS_PAGE);
        probe.attachTo(page);
        HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
        PROPSHEETHEADERA header = {};
        header.dwSize = sizeof header;
        header.hInstance = resources;
        header.pszCaption = "probe";
        header.nPages = 1;
        header.phpage = &handle;
        return PropertySheetA(&header);
    }

    HMODULE resources = nullptr;
};

TEST_F(ModalDialogGuard, AThrowingHandlerLosesOnlyItsOwnMessage) {
    const Throws cases[] = {Throws::Nothing, Throws::Init, Throws::Command, Throws::Message};
    for (Throws throws : cases) {
        SCOPED_TRACE(static_cast<int>(throws));
        Probe dialog(throws, false);
        EXPECT_EQ(42, dialog.show(resources, IDD_ABOUT, nullptr));
        EXPECT_EQ(3, dialog.reached);
        Probe page(throws, true);
        EXPECT_EQ(0, showPage(page));
        EXPECT_EQ(3, page.reached);
    }
}

}  // namespace
