#include "host/Script.h"

#include <map>
#include <sstream>

#include "host/PluginModule.h"
#include "host/StandInHost.h"
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

class ScriptRunner {
public:
    explicit ScriptRunner(std::string exeDir) : exeDir_(std::move(exeDir)) {}

    ScriptResult run(const std::vector<std::string>& lines) {
        StandInHost& host = StandInHost::get();
        host.robot().install();
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
        };
        auto it = verbs.find(args[0]);
        if (it == verbs.end()) {
            say("unknown command: " + args[0]);
            return false;
        }
        if (args[0] != "mailbox" && !host().hasMailbox())
            host().reset(makeTempDirectory("standhost") + "Mailbox\\");
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
        host().robot().install();
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
            host().robot().push(DialogRobot::press(it != names.end() ? it->second : std::stoi(args[i])));
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
