// What the checker reports besides its main listing: inputs it could not read and problems it
// found, each naming its file and, where there is one, the line and key. Platform-free.
#pragma once

#include <string>
#include <vector>


namespace corvane {

enum ExitCode { ExitClean = 0, ExitProblems = 1, ExitUnreadable = 2, ExitUsage = 3 };

struct Finding {
    std::string code;     // stable name for scripts, such as "gap" or "regex-error"
    std::string file;     // the file concerned, as the system names it
    int line = 0;         // 0 when not about one line
    std::string key;      // the key concerned, if any
    int rule = 0;         // the rule number, 0 when not about one rule
    std::string message;  // Japanese, Shift-JIS
};

struct Findings {
    std::vector<Finding> unreadable;
    std::vector<Finding> problems;
    std::vector<Finding> warnings;  // worth knowing, but no problem: the exit code ignores them

    void addUnreadable(const std::string& code, const std::string& file, const std::string& message);
    Finding& addProblem(const std::string& code, const std::string& file, const std::string& message);
    Finding& addWarning(const std::string& code, const std::string& file, const std::string& message);
    int exitCode() const;
};

// One finding as a line of text: "file:line key: message".
std::string findingLine(const Finding& finding);
// The findings as text, problems, warnings and unreadable inputs apart.
std::string renderFindingsText(const Findings& findings);
class JsonWriter;
// Ends a command's JSON object, open in json, with the findings and the exit code, and returns
// the whole text.
std::string finishCheckJson(JsonWriter& json, const Findings& findings);

// The account of a folder path or entry name: its first component.
std::string accountOf(const std::string& path);
// The folder of an entry name: everything before its last separator; empty when it has none.
std::string folderOf(const std::string& entry);

// printf into a std::string.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace corvane
