#include "host/Script.h"

#include <sstream>

#include "host/PluginModule.h"
#include "host/StandInHost.h"
#include "tools/sample/SampleMailbox.h"

namespace standin {

namespace {

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

class ScriptRunner {
public:
    explicit ScriptRunner(std::string exeDir) : exeDir_(std::move(exeDir)) {}

    ScriptResult run(const std::vector<std::string>& lines) {
        StandInHost& host = StandInHost::get();
        host.robot().install();
        for (const std::string& line : lines) {
            std::istringstream words(line);
            std::vector<std::string> args;
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
    void say(const std::string& text) { result_.report.push_back(text); }

    void reportBoxes(size_t from) {
        const auto& seen = StandInHost::get().robot().seen();
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

    std::string pluginPath(const std::vector<std::string>& args) const {
        return args.size() > 1 ? args[1] : exeDir_ + "corvane.dll";
    }

    bool step(const std::vector<std::string>& args) {
        StandInHost& host = StandInHost::get();
        const std::string& verb = args[0];
        if (verb == "mailbox") {
            std::string root = args.size() > 1 && args[1] != "temp" ? args[1] : makeTempDirectory("standhost") + "Mailbox\\";
            host.reset(root);
            host.robot().install();
            say("mailbox " + host.mailbox().root());
            return true;
        }
        if (!host.hasMailbox())
            host.reset(makeTempDirectory("standhost") + "Mailbox\\");
        if (verb == "sample-mailbox") {
            int count = args.size() > 1 ? std::stoi(args[1]) : 320;
            sample::SampleMailbox box = sample::buildSampleMailbox(20261207, count);
            for (const sample::SampleFile& file : box.files)
                if (!host.mailbox().writeRelative(file.path, file.bytes))
                    return false;
            say("sample mailbox: " + std::to_string(box.messages.size()) + " messages in " + box.inbox);
            return true;
        }
        if (verb == "account" && args.size() > 1) {
            say("account " + host.mailbox().createAccount(args[1]));
            return true;
        }
        if (verb == "load") {
            if (plugin_.load(pluginPath(args))) {
                say("load ok " + pluginPath(args));
                return true;
            }
            say("load failed error=" + std::to_string(plugin_.loadError()));
            return args.size() > 2 && args[2] == "may-fail";
        }
        if (verb == "expect-load-failure") {
            bool loaded = plugin_.load(pluginPath(args));
            say(loaded ? "load ok (a failure was expected)" : "load refused as expected");
            return !loaded;
        }
        if (!plugin_.loaded()) {
            say("no plug-in loaded for: " + verb);
            return false;
        }
        if (verb == "name") {
            say(std::string("name ") + plugin_.APCGetPlugName());
            return true;
        }
        if (verb == "startup") {
            BOOL result = plugin_.APCStartUp(0);
            std::string ids;
            for (const RegisteredCommand& command : host.commands)
                ids += (ids.empty() ? "" : ",") + std::to_string(command.id);
            say("startup result=" + std::to_string(result) + " commands=" + ids);
            return result == TRUE;
        }
        if (verb == "about") {
            bool esc = args.size() > 1 && args[1] == "esc";
            host.robot().push(DialogRobot::press(esc ? IDCANCEL : IDOK));
            INT_PTR result = plugin_.APCVersionInfo(nullptr);
            say("about result=" + std::to_string(result));
            return result == (esc ? IDCANCEL : IDOK);
        }
        if (verb == "cleanup") {
            plugin_.APCCleanUp();
            say("cleanup");
            return true;
        }
        if (verb == "unload") {
            plugin_.unload();
            say("unload");
            return true;
        }
        say("unknown command: " + verb);
        return false;
    }

    std::string exeDir_;
    PluginModule plugin_;
    ScriptResult result_;
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
