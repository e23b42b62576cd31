// The learning dialog's time on the sample mailbox under Wine: the sample inbox sorted by Alt+L
// with its own rules, then the sheet's rules deleted (a user who filed by hand) and the button
// pressed; timed from the press until the proposals show. Not part of the normal run; start it
// with --gtest_also_run_disabled_tests --gtest_filter=LearnDialogBench.* through
// scripts/wine32-run.sh.
#include "SettingsDriver.h"
#include "SortingFixture.h"

#include <cstdio>

#include "tools/sample/SampleMailbox.h"

using namespace sorting;

TEST_F(SortingTest, DISABLED_LearnDialogOnTheSampleMailbox) {
    sample::SampleMailbox box = sample::buildSampleMailbox();
    for (const sample::SampleFile& file : box.files)
        mailbox().writeRelative(file.path, file.bytes);
    openFolder(box.inbox);
    std::vector<std::string> entries;
    for (const sample::SampleMessage& message : box.messages)
        entries.push_back(message.entry);
    select(entries);
    answerBox(IDOK);  // the sample's rules file asks for the result box
    distribute();
    LARGE_INTEGER frequency, start = {}, shown = {};
    QueryPerformanceFrequency(&frequency);
    size_t proposals = 0;
    robot.push(testing_support::drive([&](HWND sheetWindow) {
        testing_support::SheetDriver sheet{sheetWindow};
        while (!sheet.rows().empty()) {
            sheet.select(0);
            sheet.click(IDC_RULE_DELETE);
        }
        sheet.showOptions();
        robot.push(testing_support::drive([&](HWND dialog) {
            QueryPerformanceCounter(&shown);
            proposals = testing_support::LearnDriver{dialog}.rows().size();
            testing_support::LearnDriver{dialog}.cancel();
        }));
        QueryPerformanceCounter(&start);
        sheet.learnFromFiledMail();
        sheet.cancel();
    }));
    plugin.APCSetup(window_);
    ASSERT_GT(shown.QuadPart, start.QuadPart);
    printf("learning dialog on the sample mailbox: %d messages moved by Alt+L, %d proposals, %.2f s from the "
           "button to the proposals\n",
           static_cast<int>(host.moves.size()), static_cast<int>(proposals),
           static_cast<double>(shown.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
}
