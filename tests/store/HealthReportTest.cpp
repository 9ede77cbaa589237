#include "HealthReport.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kAdminPassword = "Fjord-Velvet-Quasar-81!";
constexpr std::string_view kSharedStrong = "t9#Vq2!mR7$wKz4@pL8x";

// The administrator's password first, then the weak ones weakest first, then the shared ones by
// password; every shared line names the others, and a strong unshared password is not reported.
TEST(HealthReport, PutsTheWorstFirstAndNamesTheEntriesThatShareAPassword) {
    struct Row {
        std::string_view account, password;
    };
    const Row kRows[] = {
        {"github", kSharedStrong},             // 0: shared, strong
        {"mail", "123456"},                    // 1: the weakest, shared with 5
        {"unique", "Xk9#mQ2$vL7pW4zR-Nebula"}, // 2: fine
        {"shop", kAdminPassword},              // 3: the administrator's
        {"forum", "Hamster-dragon7"},          // 4: weak, but less so
        {"news", "123456"},                    // 5: the weakest, shared with 1
        {"wiki", kSharedStrong},               // 6: shared, strong
        {"code", kSharedStrong},               // 7: shared, strong
    };
    const HealthReportLine kExpected[] = {
        {3, {}}, {1, {5}}, {5, {1}}, {4, {}}, {0, {6, 7}}, {6, {0, 7}}, {7, {0, 6}},
    };
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "alice");
    CopyFieldText(book.szAdminPassword, kAdminPassword);
    for (const Row& row : kRows)
        book.vecEntries.push_back(store_test::Entry(row.account, row.password, ""));
    BookHealth health;
    ASSERT_TRUE(CheckBookPasswords(book, health));

    const std::vector<HealthReportLine> report = OrderHealthReport(health);
    ASSERT_EQ(report.size(), std::size(kExpected));
    for (std::size_t line = 0; line < report.size(); ++line) {
        EXPECT_EQ(report[line].row, kExpected[line].row) << "line " << line;
        EXPECT_EQ(report[line].sharedWith, kExpected[line].sharedWith) << "line " << line;
    }
}

} // namespace
