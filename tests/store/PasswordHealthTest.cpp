#include "PasswordHealth.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PasswordHealth, BitsFallIntoTheBandsAtTheirBounds) {
    const std::pair<double, std::string_view> kBands[] = {
        {0, "Poor"},  {39.99, "Poor"}, {40, "Weak"},       {64.99, "Weak"},
        {65, "Good"}, {99.99, "Good"}, {100, "Excellent"}, {600, "Excellent"},
    };
    for (const auto& [bits, word] : kBands)
        EXPECT_EQ(StrengthWord(StrengthOfBits(bits)), word) << bits;
    EXPECT_EQ(RatePassword("password").band, PasswordStrength::Poor);
    EXPECT_EQ(RatePassword("x8#Kq!2mZ@p9Lr$w4Vn&").band, PasswordStrength::Excellent);
}

TEST(PasswordHealth, TheAccountAndTheCommentWeakenAPasswordMadeOfThem) {
    struct UserWordsCase {
        std::string_view password, account, comment;
    };
    const UserWordsCase cases[] = {
        {"alice2024", "alice", ""},
        {"Alice2024!", "alice@example.org", ""},
        {"alice2024", "", "mail for alice"},
        {"Zephyrine#Quokka", "zephyrine", "quokka"},
    };
    for (const auto& [password, account, comment] : cases) {
        EXPECT_LT(RatePassword(password, account, comment).bits, RatePassword(password).bits)
            << password << " for " << account << " / " << comment;
    }
}

TEST(PasswordHealth, FindsWeakReusedAndAdministratorPasswordsEntryByEntry) {
    struct Line {
        std::string_view account, password;
        bool weak;
        std::size_t usedBy;
        bool sameAsAdmin;
    };
    const Line kLines[] = {
        {"github", "t9#Vq2!mR7$wKz4@pL8x", false, 1, false},
        {"mail", "summer2019", true, 3, false},
        {"bank", "summer2019", true, 3, false},
        {"shop", "Fjord-Velvet-Quasar-81!", false, 1, true},
        {"forum", "", true, 1, false},
        {"wiki", "", true, 1, false},
        {"news", "summer2019", true, 3, false},
    };
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "alice");
    CopyFieldText(book.szAdminPassword, "Fjord-Velvet-Quasar-81!");
    for (const Line& line : kLines)
        book.vecEntries.push_back(store_test::Entry(line.account, line.password, ""));
    BookHealth health;
    ASSERT_TRUE(CheckBookPasswords(book, health));
    ASSERT_EQ(health.entries.size(), std::size(kLines));
    for (std::size_t row = 0; row < std::size(kLines); ++row) {
        const EntryHealth& found = health.entries[row];
        EXPECT_EQ(found.row, row);
        EXPECT_EQ(found.Weak(), kLines[row].weak) << row << ": " << found.rating.bits;
        EXPECT_EQ(found.usedBy, kLines[row].usedBy) << row;
        EXPECT_EQ(found.sameAsAdmin, kLines[row].sameAsAdmin) << row;
    }
    EXPECT_FALSE(IsWeak(health.admin.band)) << health.admin.bits;
}

TEST(PasswordHealth, ReportsProgressByStepsAndStopsWhenCancelled) {
    AccountBook book;
    book.vecEntries.assign(1000, store_test::Entry("account", "password", ""));
    struct Run {
        std::size_t stopAt;
        std::vector<std::size_t> reported;
    };
    const Run runs[] = {{2000, {256, 512, 768, 1000}}, {256, {256}}};
    for (const auto& [stopAt, expected] : runs) {
        std::atomic<bool> cancel = false;
        std::vector<std::size_t> reported;
        const HealthCheckControl control{[&](std::size_t done, std::size_t) {
                                             reported.push_back(done);
                                             cancel = done >= stopAt;
                                         },
                                         &cancel};
        BookHealth health;
        const bool completes = stopAt > 1000;
        EXPECT_EQ(CheckBookPasswords(book, health, control), completes);
        EXPECT_EQ(reported, expected);
        EXPECT_EQ(health.entries.size(), completes ? 1000u : 0u);
    }
}

} // namespace
