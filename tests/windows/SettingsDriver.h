// Drives the settings sheet and the rule editor from inside their own modal loops: a robot
// answer starts a one-shot timer, and the timer runs the test's body with the dialog, so that
// the body may click buttons that open further dialogs and boxes and wait for them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "host/DialogRobot.h"

namespace testing_support {

standin::DialogRobot::Answer drive(std::function<void(HWND)> body);

// As drive, and a dialog the body leaves open is a failure that close then ends.
standin::DialogRobot::Answer driveToEnd(std::function<void(HWND)> body, std::function<void(HWND)> close);

// The threads of this process, and whether a dialog of the caption showed.
DWORD threadCount();
bool seenCaption(const std::vector<standin::SeenDialog>& seen, const std::string& caption);

// What a condition dialog (or the editor's own condition) gets: the target radio, header, text and two boxes.
struct ConditionInput {
    int radio;
    const char* header;
    const char* text;
    bool negate;
    bool regex;
};

struct SheetDriver {
    HWND sheet = nullptr;

    HWND rulesPage() const;
    HWND list() const;
    // Returns when the page's worker has read the folder and its marks are whole.
    void settleMarks() const;
    // Clicks a button of the rules page and returns when its work (and any dialog) is done.
    void click(int id) const;
    void doubleClick() const;
    void select(int row) const;
    int selected() const;
    // "target|text|destination" for each row.
    std::vector<std::string> rows() const;
    int image(int row) const;  // the destination cell's image
    int columns() const;
    HWND showOptions() const;
    // Clicks the options page's import button and returns when the import and its boxes are done.
    void importHostRules() const;
    // Clicks the options page's learning button and returns when the learning dialog has ended.
    void learnFromFiledMail() const;
    void ok() const;
    void cancel() const;
};

struct EditorDriver {
    HWND dialog = nullptr;

    void target(int radio) const;  // checks one radio and clicks it
    void header(const char* text) const;
    void search(const char* text) const;
    void folder(const char* title) const;
    void check(int id, bool on) const;
    bool checked(int id) const;
    bool enabled(int id) const;
    int folderSelection() const;
    std::vector<std::string> folderItems() const;  // "title depth kind"
    // Clicks 試す... and returns when the try and its dialogs are over.
    void tryRule() const;
    void ok() const;
    void cancel() const;
    // Clicks a button and returns when its work (and any dialog it opens) is done.
    void click(int id) const;
    // The further conditions list: "target|text|含む or 含まない" for each row.
    std::vector<std::string> conditions() const;
    void selectCondition(int row) const;
    std::string text(int id) const;
    void fill(const ConditionInput& input) const;
};

// The learning dialog's proposals list: check boxes and the rows as the rules page shows them.
struct LearnDriver {
    HWND dialog = nullptr;

    HWND list() const;
    // "target|text|destination|count" for each row.
    std::vector<std::string> rows() const;
    std::vector<bool> checks() const;
    void check(int row, bool on) const;
    std::string text(int id) const;
    void add() const;
    void cancel() const;
};

// The try of a rule (112): the messages it takes and the count line.
struct TryDriver {
    HWND dialog = nullptr;

    // "key|From|Subject|earlier rule" for each row.
    std::vector<std::string> rows() const;
    std::string text(int id) const;
    // Selects the row and double-clicks it: why shows below the list.
    void doubleClick(int row) const;
    void close() const;
};

}  // namespace testing_support
