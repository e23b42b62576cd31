// A small JSON writer for the checker's --json output. Strings are Shift-JIS texts made safe
// by displayBytes; the whole output is converted for the console like every other text.
// Platform-free.
#pragma once

#include <string>
#include <vector>

namespace corvane {

class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the current object.
    JsonWriter& key(const char* name);
    void value(const std::string& text);
    void value(const char* text);
    void value(long long number);
    void value(int number) { value(static_cast<long long>(number)); }
    void value(size_t number) { value(static_cast<long long>(number)); }
    void value(bool flag);
    void null();
    // The document, ending with a line feed.
    std::string text() const { return out_ + "\n"; }

private:
    void beforeValue();
    void newline();
    std::string out_;
    std::vector<bool> hasMembers_;
    bool afterKey_ = false;
};

// A JSON string literal of a Shift-JIS text: displayBytes first, then '"' and '\' escaped,
// a '\' that is the second byte of a double-byte character left alone.
std::string jsonString(const std::string& text);

}  // namespace corvane
