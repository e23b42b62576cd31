// A fresh mailbox directory for each checker test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MailboxBuilder.h"
#include "tools/check/Findings.h"

namespace corvane {
namespace testmailbox {

class MailboxTest : public testing::Test {
protected:
    MailboxTest() : box(makeRoot()) {}
    ~MailboxTest() override { std::filesystem::remove_all(dir_); }

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
    std::string makeRoot() {
        static int counter = 0;
        dir_ = (std::filesystem::temp_directory_path() /
                ("corvane-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" + std::to_string(++counter)))
                   .string();
        std::filesystem::remove_all(dir_);
        return dir_;
    }

    std::string dir_;

protected:
    MailboxBuilder box;
};

}  // namespace testmailbox
}  // namespace corvane
