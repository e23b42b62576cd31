// A fresh mailbox directory for each checker test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "MailboxBuilder.h"
#include "tools/check/Findings.h"

namespace corvane {
namespace testmailbox {

class MailboxTest : public testing::Test {
protected:
    MailboxTest() : box(makeRoot()) {}
    ~MailboxTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string root() const { return box.root(); }

    // Findings as "code line key" (line and key only when present), in report order.
    static std::vector<std::string> codes(const std::vector<Finding>& list) {
        std::vector<std::string> out;
        for (const Finding& finding : list) {
            std::string text = finding.code;
            if (finding.line)
                text += " " + std::to_string(finding.line);
            if (!finding.key.empty())
                text += " " + finding.key;
            out.push_back(text);
        }
        return out;
    }

private:
    // mkdtemp makes the name unique across the test processes that ctest runs in parallel;
    // a name built from the object's address collided when two processes had the same layout.
    std::string makeRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-check-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed for " + pattern);
        dir_ = pattern;
        return dir_;
    }

    std::string dir_;

protected:
    MailboxBuilder box;
};

}  // namespace testmailbox
}  // namespace corvane
