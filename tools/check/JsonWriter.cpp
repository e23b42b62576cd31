#include "tools/check/JsonWriter.h"

#include "plugin/common/StrUtil.h"
#include "tools/check/TextDisplay.h"

namespace corvane {

std::string jsonString(const std::string& text) {
    std::string safe = displayBytes(text);
    std::string out = "\"";
    for (size_t i = 0; i < safe.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(safe[i]);
        if (isSjisLeadByte(c) && i + 1 < safe.size()) {
            out += safe[i];
            out += safe[++i];
            continue;
        }
        if (c == '"' || c == '\\')
            out += '\\';
        out += static_cast<char>(c);
    }
    return out + "\"";
}

void JsonWriter::newline() {
    out_ += '\n';
    out_.append(hasMembers_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (hasMembers_.empty())
        return;
    if (hasMembers_.back())
        out_ += ',';
    hasMembers_.back() = true;
    newline();
}

void JsonWriter::beginObject() {
    beforeValue();
    out_ += '{';
    hasMembers_.push_back(false);
}

void JsonWriter::endObject() {
    bool members = hasMembers_.back();
    hasMembers_.pop_back();
    if (members)
        newline();
    out_ += '}';
}

void JsonWriter::beginArray() {
    beforeValue();
    out_ += '[';
    hasMembers_.push_back(false);
}

void JsonWriter::endArray() {
    endObject();
    out_.back() = ']';
}

JsonWriter& JsonWriter::key(const char* name) {
    beforeValue();
    out_ += jsonString(name);
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

void JsonWriter::value(const std::string& text) {
    beforeValue();
    out_ += jsonString(text);
}

void JsonWriter::value(const char* text) {
    value(std::string(text ? text : ""));
}

void JsonWriter::value(long long number) {
    beforeValue();
    out_ += std::to_string(number);
}

void JsonWriter::value(bool flag) {
    beforeValue();
    out_ += flag ? "true" : "false";
}

void JsonWriter::null() {
    beforeValue();
    out_ += "null";
}

}  // namespace corvane
