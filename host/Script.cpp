#include "host/Script.h"

#include <map>
#include <memory>
#include <sstream>

#include "host/PluginModule.h"
#include "host/StandInHost.h"
#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "tools/check/Checker.h"
#include "tools/sample/SampleMailbox.h"

namespace standin {

namespace {

typedef std::vector<std::string> Args;

const char* iconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error: return "error";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Information: return "information";
    case BoxIcon::Question: return "question";
    default: return "none";
    }
}

std::string escapeText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

// At most maxBytes of a Shift-JIS text, never half a character.
std::string sjisPrefix(const std::string& text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + (corvane::isSjisLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > maxBytes || next > text.size())
            break;
        end = next;
    }
    return text.substr(0, end);
}

// FNV-1a: enough to tell whether a message file changed.
std::string hashOf(const std::string& bytes) {
    unsigned long long hash = 1469598103934665603ULL;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ULL;
    char text[20];
    snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

// Every message file below a directory: path relative to root -> hash of its bytes.
void hashMessages(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((root + relative + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            hashMessages(root, relative + name + "\\", out);
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qpm") == 0)
            out[relative + name] = hashOf(Mailbox::readFile(root + relative + name));
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// Screenshots of the dialogs a script passes through: when a dialog has been shown and
// painted, the script asks the screen grabber outside Wine for a picture of its rectangle
// (a request file in the screenshot folder) and waits for it before it answers the dialog.
class Photographer {
public:
    static Photographer& get() {
        static Photographer photographer;
        return photographer;
    }
    void enable(const std::string& folder) { folder_ = folder; }
    bool enabled() const { return !folder_.empty(); }

    DialogRobot::Answer then(DialogRobot::Answer next) {
        if (!enabled())
            return next;
        return [this, next](HWND dialog, SeenDialog& seen) {
            pending_[dialog] = next;
            seen.answer = "screenshot, then answered";
            SetTimer(dialog, kTimer, 400, onTimer);
        };
    }

private:
    static const UINT_PTR kTimer = 0x5CA7;

    static void CALLBACK onTimer(HWND dialog, UINT, UINT_PTR id, DWORD) {
        KillTimer(dialog, id);
        Photographer& self = get();
        auto it = self.pending_.find(dialog);
        if (it == self.pending_.end())
            return;
        DialogRobot::Answer next = std::move(it->second);
        self.pending_.erase(it);
        self.shoot(dialog);
        SeenDialog ignored;
        if (next)
            next(dialog, ignored);
    }

    void shoot(HWND dialog) {
        RECT rect = {};
        GetWindowRect(dialog, &rect);
        char name[32];
        snprintf(name, sizeof name, "demo-%02d", ++count_);
        std::string request = folder_ + ".request";
        char text[128];
        snprintf(text, sizeof text, "%ldx%ld+%ld+%ld %s\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                 rect.top, name);
        Mailbox::writeFile(request, text);
        for (int i = 0; i < 100 && GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(50);
        DeleteFileA(request.c_str());
    }

    std::string folder_;
    std::map<HWND, DialogRobot::Answer> pending_;
    int count_ = 0;
};

bool isProgressDialog(const SeenDialog& seen) {
    return !seen.messageBox && seen.control(1021) != nullptr;
}

class ScriptRunner {
public:
    explicit ScriptRunner(std::string exeDir) : exeDir_(std::move(exeDir)) {}

    ScriptResult run(const std::vector<std::string>& lines) {
        StandInHost& host = StandInHost::get();
        prepareRobot();
        for (const std::string& line : lines) {
            std::istringstream words(line);
            Args args;
            for (std::string word; words >> word;) {
                if (word[0] == '#')
                    break;
                args.push_back(word);
            }
            if (args.empty())
                continue;
            size_t seenBefore = host.robot().seen().size();
            if (!step(args)) {
                result_.ok = false;
                say("failed: " + line);
            }
            reportBoxes(seenBefore);
            if (!result_.ok)
                break;
        }
        host.robot().uninstall();
        return result_;
    }

private:
    typedef bool (ScriptRunner::*Verb)(const Args&);

    void say(const std::string& text) { result_.report.push_back(text); }
    StandInHost& host() { return StandInHost::get(); }

    // Progress dialogs run on their own; the first of each run is photographed when asked.
    void prepareRobot() {
        host().robot().install();
        host().robot().always(isProgressDialog, [](HWND dialog, SeenDialog& seen) {
            Photographer::get().then(DialogRobot::leave())(dialog, seen);
        });
    }

    void reportBoxes(size_t from) {
        const auto& seen = host().robot().seen();
        for (size_t i = from; i < seen.size(); ++i) {
            const SeenDialog& box = seen[i];
            std::string line = std::string(box.messageBox ? "box" : "dialog") + " caption=\"" +
                               escapeText(box.caption) + "\"";
            if (box.messageBox)
                line += " icon=" + std::string(iconName(box.icon)) + " text=\"" + escapeText(box.text) + "\"";
            say(line + " answer=" + box.answer);
            if (!box.messageBox)
                for (const SeenControl& control : box.controls)
                    if (!control.text.empty())
                        say("  control " + std::to_string(control.id) + " \"" + escapeText(control.text) + "\"");
        }
    }

    bool step(const Args& args) {
        static const std::map<std::string, Verb> verbs = {
            {"mailbox", &ScriptRunner::mailbox},       {"sample-mailbox", &ScriptRunner::sampleMailbox},
            {"account", &ScriptRunner::account},       {"load", &ScriptRunner::load},
            {"expect-load-failure", &ScriptRunner::expectLoadFailure},
            {"name", &ScriptRunner::name},             {"startup", &ScriptRunner::startup},
            {"about", &ScriptRunner::about},           {"cleanup", &ScriptRunner::cleanup},
            {"unload", &ScriptRunner::unload},         {"open-folder", &ScriptRunner::openFolder},
            {"close-folder", &ScriptRunner::closeFolder}, {"select-all", &ScriptRunner::selectAll},
            {"answer", &ScriptRunner::answer},         {"key", &ScriptRunner::key},
            {"command", &ScriptRunner::command},       {"snapshot", &ScriptRunner::snapshot},
            {"compare-snapshot", &ScriptRunner::compareSnapshot}, {"moves", &ScriptRunner::moves},
            {"expect-unanswered", &ScriptRunner::expectUnanswered},
            {"screenshots", &ScriptRunner::screenshots}, {"preview", &ScriptRunner::preview},
            {"check-moves", &ScriptRunner::checkMoves}, {"option", &ScriptRunner::option},
            {"stop-at-move", &ScriptRunner::stopAtMove},
        };
        auto it = verbs.find(args[0]);
        if (it == verbs.end()) {
            say("unknown command: " + args[0]);
            return false;
        }
        if (args[0] != "mailbox" && !host().hasMailbox()) {
            host().reset(makeTempDirectory("standhost") + "Mailbox\\");
            prepareRobot();
        }
        host().plugin = &plugin_;
        return (this->*(it->second))(args);
    }

    bool needPlugin(const Args& args) {
        if (plugin_.loaded())
            return true;
        say("no plug-in loaded for: " + args[0]);
        return false;
    }

    std::string pluginPath(const Args& args) const { return args.size() > 1 ? args[1] : exeDir_ + "corvane.dll"; }

    bool mailbox(const Args& args) {
        std::string root = args.size() > 1 && args[1] != "temp" ? args[1] : makeTempDirectory("standhost") + "Mailbox\\";
        host().reset(root);
        prepareRobot();
        say("mailbox " + host().mailbox().root());
        return true;
    }

    bool sampleMailbox(const Args& args) {
        int count = args.size() > 1 ? std::stoi(args[1]) : 320;
        sample::SampleMailbox box = sample::buildSampleMailbox(20261207, count);
        for (const sample::SampleFile& file : box.files)
            if (!host().mailbox().writeRelative(file.path, file.bytes))
                return false;
        say("sample mailbox: " + std::to_string(box.messages.size()) + " messages in " + box.inbox);
        return true;
    }

    bool account(const Args& args) {
        if (args.size() < 2)
            return false;
        say("account " + host().mailbox().createAccount(args[1]));
        return true;
    }

    // option ACCOUNT KEY VALUE: one option of the account's "corvane.ini" set, as the options
    // page leaves it once the folder window closes.
    bool option(const Args& args) {
        if (args.size() < 4)
            return false;
        std::string path = host().mailbox().root() + args[1] + "\\corvane.ini";
        if (!WritePrivateProfileStringA("Generic", args[2].c_str(), args[3].c_str(), path.c_str()))
            return false;
        say("option " + args[2] + "=" + args[3]);
        return true;
    }

    bool load(const Args& args) {
        if (plugin_.load(pluginPath(args))) {
            say("load ok " + pluginPath(args));
            return true;
        }
        say("load failed error=" + std::to_string(plugin_.loadError()));
        return false;
    }

    bool expectLoadFailure(const Args& args) {
        bool loaded = plugin_.load(pluginPath(args));
        say(loaded ? "load ok (a failure was expected)" : "load refused as expected");
        return !loaded;
    }

    bool name(const Args& args) {
        if (!needPlugin(args))
            return false;
        say(std::string("name ") + plugin_.APCGetPlugName());
        return true;
    }

    bool startup(const Args& args) {
        if (!needPlugin(args))
            return false;
        BOOL result = plugin_.APCStartUp(0);
        std::string ids;
        for (const RegisteredCommand& command : host().commands)
            ids += (ids.empty() ? "" : ",") + std::to_string(command.id);
        say("startup result=" + std::to_string(result) + " commands=" + ids);
        return result == TRUE;
    }

    bool about(const Args& args) {
        if (!needPlugin(args))
            return false;
        bool esc = args.size() > 1 && args[1] == "esc";
        host().robot().push(DialogRobot::press(esc ? IDCANCEL : IDOK));
        INT_PTR result = plugin_.APCVersionInfo(nullptr);
        say("about result=" + std::to_string(result));
        return result == (esc ? IDCANCEL : IDOK);
    }

    bool cleanup(const Args& args) {
        if (!needPlugin(args))
            return false;
        plugin_.APCCleanUp();
        say("cleanup");
        return true;
    }

    bool unload(const Args&) {
        plugin_.unload();
        say("unload");
        return true;
    }

    bool openFolder(const Args& args) {
        if (args.size() < 3)
            return false;
        folder_ = host().openFolderWindow(args[1], args[2]);
        if (!folder_)
            return false;
        ShowWindow(folder_, SW_SHOW);
        StandInHost::pumpFor(100);
        say("folder window " + args[2]);
        return true;
    }

    bool closeFolder(const Args&) {
        if (!folder_)
            return false;
        host().closeFolderWindow(folder_);
        folder_ = nullptr;
        say("folder window closed");
        return true;
    }

    bool selectAll(const Args&) {
        HostWindow* window = folder_ ? host().window(folder_) : nullptr;
        if (!window)
            return false;
        std::vector<std::string> entries;
        for (const MessageRecord& record : host().mailbox().readMessageList(window->folderPath))
            entries.push_back(window->folderPath + "\\" + record.key);
        say("selected " + std::to_string(entries.size()) + " messages");
        host().setSelection(folder_, std::move(entries));
        return true;
    }

    // answer ok|cancel|yes|no|leave|ID ...: how the robot answers the next dialogs, in order.
    bool answer(const Args& args) {
        static const std::map<std::string, int> names = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "leave") {
                host().robot().push(DialogRobot::leave());
                continue;
            }
            auto it = names.find(args[i]);
            host().robot().push(
                Photographer::get().then(DialogRobot::press(it != names.end() ? it->second : std::stoi(args[i]))));
        }
        return true;
    }

    // key alt+l | alt+p: real key input to the focused folder window.
    bool key(const Args& args) {
        if (!folder_ || args.size() < 2 || args[1].size() != 5 || args[1].compare(0, 4, "alt+") != 0)
            return false;
        WORD letter = static_cast<WORD>(toupper(static_cast<unsigned char>(args[1][4])));
        SetForegroundWindow(folder_);
        SetActiveWindow(folder_);
        SetFocus(folder_);
        StandInHost::pumpFor(100);
        size_t calls = host().callbacksCalled.size();
        if (!StandInHost::sendAltKey(letter))
            return false;
        StandInHost::pumpFor(150);
        say("key " + args[1] + ": " + std::to_string(host().callbacksCalled.size() - calls) + " command(s) ran");
        return host().callbacksCalled.size() > calls;
    }

    // command distribute | undo: the plug-in's menu item, as the host sends it.
    bool command(const Args& args) {
        if (!folder_ || args.size() < 2 || host().commands.size() < 2)
            return false;
        host().sendCommand(folder_, host().commands[args[1] == "undo" ? 1 : 0].id);
        say("command " + args[1]);
        return true;
    }

    bool snapshot(const Args& args) {
        std::map<std::string, std::string>& files = snapshots_[args.size() > 1 ? args[1] : ""];
        files.clear();
        hashMessages(host().mailbox().root(), "", files);
        say("snapshot " + (args.size() > 1 ? args[1] : std::string()) + ": " + std::to_string(files.size()) +
            " message files");
        moveMark_ = host().moves.size();
        return true;
    }

    // Every message file as it was at the snapshot: same folder, same bytes.
    bool compareSnapshot(const Args& args) {
        const std::map<std::string, std::string>& before = snapshots_[args.size() > 1 ? args[1] : ""];
        std::map<std::string, std::string> now;
        hashMessages(host().mailbox().root(), "", now);
        int differences = 0;
        for (const auto& file : before)
            if (now.count(file.first) == 0 || now.at(file.first) != file.second) {
                if (++differences <= 10)
                    say("  differs: " + file.first);
            }
        for (const auto& file : now)
            if (before.count(file.first) == 0 && ++differences <= 10)
                say("  new: " + file.first);
        say("compare with snapshot: " + std::to_string(now.size()) + " files, " + std::to_string(differences) +
            " differences");
        return differences == 0;
    }

    // The moves the host was asked for since the last snapshot, as a table.
    bool moves(const Args&) {
        const std::vector<MoveRequest>& all = host().moves;
        std::map<std::string, int> perFolder;
        for (size_t i = moveMark_; i < all.size(); ++i) {
            const MoveRequest& move = all[i];
            std::string target = move.folderGiven ? move.folder : "(ごみ箱)";
            say("  " + move.entry + " -> " + target + (move.done ? "" : "  [refused]"));
            ++perFolder[target];
        }
        for (const auto& folder : perFolder)
            say("  " + std::to_string(folder.second) + " to " + folder.first);
        return true;
    }

    // screenshots: photograph the dialogs from here on, when a grabber runs (the folder is the
    // Unix path in CORVANE_SCREENSHOT_DIR, seen through Wine's Z: drive).
    bool screenshots(const Args&) {
        const char* folder = getenv("CORVANE_SCREENSHOT_DIR");
        if (!folder || !*folder) {
            say("screenshots: no grabber");
            return true;
        }
        std::string path = std::string("Z:") + folder + "\\";
        for (char& c : path)
            if (c == '/')
                c = '\\';
        Photographer::get().enable(path);
        say("screenshots into " + std::string(folder));
        return true;
    }

    // preview: what the rules will do with the current folder's messages, worked out apart
    // from the plug-in by the rules checker, to be compared with the real run.
    bool preview(const Args&) {
        HostWindow* window = folder_ ? host().window(folder_) : nullptr;
        if (!window)
            return false;
        prediction_ = corvane::previewFolder(host().mailbox().root(), window->folderPath, false);
        int moving = 0;
        for (const corvane::MessageVerdict& verdict : prediction_.messages)
            moving += verdict.outcome == corvane::Outcome::Moves;
        say("preview: " + std::to_string(prediction_.messages.size()) + " messages, " + std::to_string(moving) +
            " to move" + (prediction_.refusal.empty() ? "" : ", refused: " + prediction_.refusal));
        return prediction_.refusal.empty();
    }

    // check-moves: the host's moves since the snapshot, message by message, against the
    // preview: a table of what moved where by which rule, and a failure on any difference.
    bool checkMoves(const Args&) {
        std::map<std::string, const MoveRequest*> moved;
        for (size_t i = moveMark_; i < host().moves.size(); ++i)
            moved[host().moves[i].entry] = &host().moves[i];
        int differences = 0, count = 0;
        std::map<int, int> perRule;
        say("  key       rule  destination                      subject");
        for (const corvane::MessageVerdict& verdict : prediction_.messages) {
            auto it = moved.find(verdict.entry);
            bool predicted = verdict.outcome == corvane::Outcome::Moves;
            std::string actual;
            if (it != moved.end())
                actual = it->second->folderGiven ? it->second->folder : "(trash)";
            std::string expected = predicted ? verdict.destination : "";
            if (predicted && corvane::classifyFolderPath(expected.c_str()) == corvane::Trash)
                expected = "(trash)";
            bool same = actual == expected && (it == moved.end() || it->second->done);
            if (!same)
                ++differences;
            if (predicted || !same) {
                char line[512];
                snprintf(line, sizeof line, "  %-8s  %4d  %-32s %s%s", verdict.key.c_str(), verdict.rule,
                         (actual.empty() ? "(stays)" : actual).c_str(), sjisPrefix(verdict.subject, 40).c_str(),
                         same ? "" : "   <- DIFFERS from the preview");
                say(line);
                ++count;
                ++perRule[verdict.rule];
            }
            moved.erase(verdict.entry);
        }
        for (const auto& extra : moved) {
            say("  unexpected move: " + extra.first);
            ++differences;
        }
        for (const auto& rule : perRule)
            say("  rule " + std::to_string(rule.first) + ": " + std::to_string(rule.second) + " messages");
        say("moves checked: " + std::to_string(count) + " moved, " + std::to_string(differences) + " differences");
        return differences == 0;
    }

    // stop-at-move N before|after EVENT: the host's N-th move (from 1) stops the process, before
    // or after its file moves: the named event is set and the window thread waits for ever, so
    // that a test can kill the process there as a crash would.
    bool stopAtMove(const Args& args) {
        if (args.size() < 4)
            return false;
        int stopAt = std::stoi(args[1]);
        std::string event = args[3];
        auto calls = std::make_shared<int>(0);
        auto stop = [event] {
            HANDLE handle = OpenEventA(EVENT_MODIFY_STATE, FALSE, event.c_str());
            if (handle)
                SetEvent(handle);
            for (;;)
                Sleep(INFINITE);
        };
        if (args[2] == "after")
            host().onMove = [=](const MoveRequest&) {
                if (++*calls == stopAt)
                    stop();
            };
        else
            host().refuseMove = [=](const std::string&, const std::string&) {
                if (++*calls == stopAt)
                    stop();
                return false;
            };
        say("stop at move " + args[1] + " " + args[2]);
        return true;
    }

    bool expectUnanswered(const Args&) {
        say("robot: " + std::to_string(host().robot().pendingAnswers()) + " answers left, " +
            std::to_string(host().robot().unexpected()) + " unexpected dialogs");
        return host().robot().pendingAnswers() == 0 && host().robot().unexpected() == 0;
    }

    std::string exeDir_;
    PluginModule plugin_;
    ScriptResult result_;
    HWND folder_ = nullptr;
    std::map<std::string, std::map<std::string, std::string>> snapshots_;
    size_t moveMark_ = 0;
    corvane::PreviewResult prediction_;
};

}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

ScriptResult runScript(const std::vector<std::string>& lines, const std::string& exeDir) {
    return ScriptRunner(exeDir).run(lines);
}

}  // namespace standin
