#include "plugin/rules/RulesFile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/rules/RuleText.h"
#include "plugin/rules/RulesProfile.h"

namespace corvane {

namespace {

const char kRulesFile[] = "corvane.ini";
const char kRuleSection[] = "Rule";
const char kGenericSection[] = "Generic";

// The rules file through the system's private-profile functions.
class PrivateProfile : public ProfileStore {
public:
    explicit PrivateProfile(const char* path) : path_(path) {}
    unsigned readInt(const char* section, const char* key, unsigned defaultValue) const override {
        return GetPrivateProfileIntA(section, key, static_cast<INT>(defaultValue), path_);
    }
    std::string readString(const char* section, const char* key, size_t bufferSize, size_t* length) const override {
        std::vector<char> value(bufferSize);
        DWORD read = GetPrivateProfileStringA(section, key, "", value.data(), static_cast<DWORD>(value.size()), path_);
        *length = read;
        return std::string(value.data(), read);
    }

    void writeString(const char* section, const char* key, const char* value) override {
        WritePrivateProfileStringA(section, key, value, path_);
    }
    std::vector<std::string> keyNames(const char* section) const override {
        std::vector<char> names(4096);
        DWORD length = 0;
        // The call cuts the list to fit and then returns the size less two: grow until it fits.
        while ((length = GetPrivateProfileStringA(section, nullptr, "", names.data(), static_cast<DWORD>(names.size()),
                                                  path_)) >= names.size() - 2 &&
               names.size() < (1u << 24))
            names.resize(names.size() * 4);
        std::vector<std::string> keys;
        for (const char* name = names.data(); name < names.data() + length && *name; name += strlen(name) + 1)
            keys.push_back(name);
        return keys;
    }

private:
    const char* path_;
};

// Whether the section "Generic" of the file holds the key, whatever its value.
bool hasGenericKey(const char* path, const char* key) {
    std::vector<char> keys(8192);
    DWORD length = GetPrivateProfileStringA(kGenericSection, nullptr, "", keys.data(), static_cast<DWORD>(keys.size()), path);
    for (const char* name = keys.data(); name < keys.data() + length && *name; name += strlen(name) + 1)
        if (compareNoCase(name, key) == 0)
            return true;
    return false;
}

bool survivesCodePage(const char* text) {
    if (!*text)
        return true;
    int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wide <= 0)
        return false;
    std::vector<wchar_t> unicode(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, unicode.data(), wide);
    BOOL defaulted = FALSE;
    int narrow = WideCharToMultiByte(CP_ACP, 0, unicode.data(), -1, nullptr, 0, nullptr, &defaulted);
    if (narrow <= 0 || defaulted)
        return false;
    std::string back(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, unicode.data(), -1, &back[0], narrow, nullptr, nullptr);
    return strcmp(back.c_str(), text) == 0;
}

}  // namespace

bool ruleStorable(const DistributeRule& rule) {
    if (!ruleFitsRecord(rule) || !survivesCodePage(rule.searchText) || !survivesCodePage(rule.headerName) ||
        !survivesCodePage(rule.destFolder))
        return false;
    for (const RuleCondition& condition : rule.conditions)
        if (!conditionStorable(condition))
            return false;
    return true;
}

bool conditionStorable(const RuleCondition& condition) {
    return conditionFitsRecord(condition) && survivesCodePage(condition.searchText) &&
           survivesCodePage(condition.headerName);
}

void loadRules(AccountSettings& context) {
    PathBuffer path;
    if (!accountFilePath(context.accountDir, kRulesFile, path))
        return;
    RulesProfile profile;
    profile.unreadMail = context.unreadMail;
    profile.reportResult = context.reportResult;
    readRulesProfile(PrivateProfile(path), profile);
    context.unreadMail = profile.unreadMail;
    context.reportResult = profile.reportResult;
    context.decodeMime = profile.decodeMime;
    for (const DistributeRule& rule : profile.rules)
        context.appendRule(rule);
}

void saveRules(const AccountSettings& context) {
    PathBuffer path;
    if (!accountFilePath(context.accountDir, kRulesFile, path))
        return;
    // A rule that would not read back as itself (the editor and the import refuse such rules
    // already) is left out rather than written as a different rule or as a key that stops
    // every later rule from loading; the rules after it close up.
    PrivateProfile profile(path);
    int written = writeRuleKeys(profile, context.rules, static_cast<size_t>(std::max(context.ruleCount, 0)),
                                [](const DistributeRule& rule) { return ruleStorable(rule); });
    if (written < context.ruleCount)
        deleteRuleKeys(&context, written + 1, context.ruleCount);
    deleteStaleConditions(profile);
    WritePrivateProfileStringA(kGenericSection, "unreadmail", context.unreadMail ? "1" : "0", path);
    WritePrivateProfileStringA(kGenericSection, "reportresult", context.reportResult ? "1" : "0", path);
    if (context.decodeMime || hasGenericKey(path, "decodemime"))
        WritePrivateProfileStringA(kGenericSection, "decodemime", context.decodeMime ? "1" : "0", path);
}

void deleteRuleKeys(const AccountSettings* context, int first, int last) {
    if (!context || last < first)
        return;
    PathBuffer path;
    if (!accountFilePath(context->accountDir, kRulesFile, path))
        return;
    for (int n = first; n <= last; ++n) {
        char key[32];
        formatBuffer(key, "rule%d", n);
        WritePrivateProfileStringA(kRuleSection, key, nullptr, path);
    }
}

}  // namespace corvane
