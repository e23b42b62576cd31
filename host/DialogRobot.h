// Records every dialog and message box that opens on the host's window thread and answers it
// as the test or script says, so that modal UI never blocks an unattended run.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace standin {

enum class BoxIcon { None, Error, Warning, Information, Question };

struct SeenControl {
    int id = 0;
    std::string className;
    std::string text;
    LONG style = 0;
    RECT rect = {};  // in dialog units, relative to the client area
};

struct SeenDialog {
    std::string caption;
    bool messageBox = false;
    std::string text;  // a message box's text
    BoxIcon icon = BoxIcon::None;
    LONG style = 0;
    std::vector<SeenControl> controls;
    std::string answer;  // what the robot did, for reports

    const SeenControl* control(int id) const;
    std::vector<int> buttonIds() const;
};

class DialogRobot {
public:
    using Answer = std::function<void(HWND dialog, SeenDialog& seen)>;

    // Hooks the calling thread. Only one robot may be installed at a time.
    void install();
    void uninstall();
    ~DialogRobot() { uninstall(); }

    // Answers are used in order, one per dialog that opens. With none left, the robot
    // answers with Esc (IDCANCEL) and notes the dialog as unexpected.
    void push(Answer answer) { answers_.push_back(std::move(answer)); }
    // Dialogs that match are answered by answer each time they show, before the queue is used
    // and without counting as unexpected (for windows whose moment of showing is not fixed).
    void always(std::function<bool(const SeenDialog&)> match, Answer answer) {
        standing_.push_back({std::move(match), std::move(answer)});
    }
    static Answer press(int id);
    static Answer leave();  // records the dialog and lets it run on its own

    const std::vector<SeenDialog>& seen() const { return seen_; }
    const std::vector<std::string>& created() const { return created_; }
    int unexpected() const { return unexpected_; }
    size_t pendingAnswers() const { return answers_.size(); }
    void clear();

    static SeenDialog inspect(HWND dialog);

private:
    static LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK showProc(int code, WPARAM wParam, LPARAM lParam);
    void onShow(HWND window);

    HHOOK hook_ = nullptr;
    HHOOK showHook_ = nullptr;
    std::deque<Answer> answers_;
    std::vector<std::pair<std::function<bool(const SeenDialog&)>, Answer>> standing_;
    std::vector<SeenDialog> seen_;
    std::vector<std::string> created_;
    std::vector<HWND> answered_;
    int unexpected_ = 0;
};

// Posts a button click to a dialog, as the user's click or key would send it.
void clickButton(HWND dialog, int id);

}  // namespace standin
