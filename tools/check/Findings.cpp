#include "tools/check/Findings.h"

#include <cstdarg>
#include <cstdio>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "tools/check/JsonWriter.h"

namespace corvane {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length) + 1);
        vsnprintf(&out[0], out.size(), format, args);
        out.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return out;
}

void Findings::addUnreadable(const std::string& code, const std::string& file, const std::string& message) {
    Finding finding;
    finding.code = code;
    finding.file = file;
    finding.message = message;
    unreadable.push_back(finding);
}

Finding& Findings::addProblem(const std::string& code, const std::string& file, const std::string& message) {
    Finding finding;
    finding.code = code;
    finding.file = file;
    finding.message = message;
    problems.push_back(finding);
    return problems.back();
}

Finding& Findings::addWarning(const std::string& code, const std::string& file, const std::string& message) {
    Finding finding;
    finding.code = code;
    finding.file = file;
    finding.message = message;
    warnings.push_back(finding);
    return warnings.back();
}

int Findings::exitCode() const {
    if (!unreadable.empty())
        return ExitUnreadable;
    return problems.empty() ? ExitClean : ExitProblems;
}

std::string findingLine(const Finding& finding) {
    std::string line = finding.file;
    if (finding.line > 0)
        line += formatText(":%d", finding.line);
    if (!finding.key.empty())
        line += " " + finding.key;
    return line + ": " + finding.message;
}

std::string renderFindingsText(const Findings& findings) {
    std::string out;
    for (const Finding& finding : findings.unreadable)
        out += "読めません: " + findingLine(finding) + "\n";
    if (!findings.problems.empty()) {
        out += formatText("問題 %d 件:\n", static_cast<int>(findings.problems.size()));
        for (const Finding& finding : findings.problems)
            out += "  " + findingLine(finding) + "\n";
    }
    if (!findings.warnings.empty()) {
        out += formatText("注意 %d 件:\n", static_cast<int>(findings.warnings.size()));
        for (const Finding& finding : findings.warnings)
            out += "  " + findingLine(finding) + "\n";
    }
    return out;
}

namespace {

void writeFindingList(JsonWriter& json, const std::vector<Finding>& list) {
    json.beginArray();
    for (const Finding& finding : list) {
        json.beginObject();
        json.key("code").value(finding.code);
        json.key("file").value(finding.file);
        json.key("line");
        if (finding.line > 0)
            json.value(finding.line);
        else
            json.null();
        json.key("key");
        if (finding.key.empty())
            json.null();
        else
            json.value(finding.key);
        json.key("rule");
        if (finding.rule > 0)
            json.value(finding.rule);
        else
            json.null();
        json.key("message").value(finding.message);
        json.endObject();
    }
    json.endArray();
}

}  // namespace

std::string finishCheckJson(JsonWriter& json, const Findings& findings) {
    json.key("unreadable");
    writeFindingList(json, findings.unreadable);
    json.key("problems");
    writeFindingList(json, findings.problems);
    json.key("warnings");
    writeFindingList(json, findings.warnings);
    json.key("exit").value(findings.exitCode());
    json.endObject();
    return json.text();
}

std::string accountOf(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (isSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\')
            return path.substr(0, i);
    }
    return path;
}

std::string folderOf(const std::string& entry) {
    const char* last = lastPathComponent(entry.c_str());
    if (!last)
        return std::string();
    return entry.substr(0, static_cast<size_t>(last - entry.c_str()) - 1);
}

}  // namespace corvane
