#include "tools/check/ProfileFile.h"

#include "plugin/common/StrUtil.h"
#include "plugin/text/Cp932.h"

namespace corvane {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool sameName(const std::string& a, const char* b) {
    return compareNoCase(a.c_str(), b) == 0;
}

std::string withoutQuotes(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

unsigned profileInteger(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && (isSpace(value[i]) || value[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        negative = value[i++] == '-';
    unsigned result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<unsigned>(value[i] - '0');
    return negative ? 0u - result : result;
}

ProfileFile::ProfileFile(const std::string& file) {
    size_t pos = 0;
    if (file.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    // The profile functions read the file as code page 932 text into Unicode and give values
    // back in the code page: every byte pair comes back in its chosen form.
    std::string text = cp932::profileRoundTrip(file.data() + pos, file.size() - pos);
    pos = 0;
    std::string section;
    int sectionIndex = -1;
    std::vector<std::string> seenSections;
    int number = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = trim(text.substr(pos, end - pos));
        pos = end + 1;
        ProfileLine line;
        line.number = ++number;
        if (raw.empty()) {
            line.kind = ProfileLine::Blank;
        } else if (raw[0] == ';') {
            line.kind = ProfileLine::Comment;
        } else if (raw[0] == '[' && raw.find(']') != std::string::npos) {
            section = trim(raw.substr(1, raw.rfind(']') - 1));
            sectionIndex = 0;
            for (const std::string& seen : seenSections)
                if (sameName(seen, section.c_str()))
                    ++sectionIndex;
            seenSections.push_back(section);
            line.kind = ProfileLine::Section;
        } else if (sectionIndex < 0) {
            line.kind = ProfileLine::Other;
        } else {
            line.kind = ProfileLine::Key;
            size_t equals = raw.find('=');
            line.hasEquals = equals != std::string::npos;
            line.key = trim(raw.substr(0, equals));
            if (line.hasEquals)
                line.value = withoutQuotes(trim(raw.substr(equals + 1)));
        }
        line.section = section;
        line.sectionIndex = sectionIndex;
        lines_.push_back(line);
    }
}

const ProfileLine* ProfileFile::find(const char* section, const char* key) const {
    for (const ProfileLine& line : lines_)
        if (line.kind == ProfileLine::Key && line.sectionIndex == 0 && sameName(line.section, section) &&
            sameName(line.key, key))
            return &line;
    return nullptr;
}

bool ProfileFile::isEffective(const ProfileLine& line) const {
    return line.kind == ProfileLine::Key && find(line.section.c_str(), line.key.c_str()) == &line;
}

std::string ProfileFile::readString(const char* section, const char* key, size_t bufferSize, size_t* length) const {
    const ProfileLine* line = find(section, key);
    std::string value = line ? line->value : std::string();
    if (bufferSize == 0)
        value.clear();
    else if (value.size() > bufferSize - 1)
        value.resize(bufferSize - 1);
    if (length)
        *length = value.size();
    return value;
}

unsigned ProfileFile::readInt(const char* section, const char* key, unsigned defaultValue) const {
    const ProfileLine* line = find(section, key);
    if (!line || line->value.empty())
        return defaultValue;
    return profileInteger(line->value);
}

}  // namespace corvane
