// The earlier versions a book's saves keep: ordered by the saves that made them whatever the clock
// says, and only the program's own files ever counted or removed.
#include "AccountFile.h"
#include "BookFile.h"
#include "StoreTestSupport.h"
#include "xmldom.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::ReadWholeFile;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

// Names dated far ahead, in the old form and in the numbered one: a clock-ordered clean-up would
// take them for the newest versions.
const char* const kFutureNames[] = {"alice.xml.previous-29991231-235959", "alice.xml.previous-29991231-235959-2",
                                    "alice.xml.previous-999999999-29991231-235959"};

using Plant = void (*)(const std::string& path, const std::string& unrelated);

void PlantLink(const std::string& path, const std::string& unrelated) {
    fs::create_symlink(unrelated, path);
}
void PlantPipe(const std::string& path, const std::string&) {
    ::mkfifo(path.c_str(), 0600);
}
void PlantHardLink(const std::string& path, const std::string& unrelated) {
    fs::create_hard_link(unrelated, path);
}
void PlantOtherUsersFile(const std::string& path, const std::string&) {
    WriteWholeFile(path, "theirs");
    // 65534 is nobody; only a privileged run can hand a file to another user.
    if (::chown(path.c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "another user's file needs a run as root";
}

struct VersionCase {
    const char* label;
    Plant plant;            // puts something under each future name first; null: nothing
    std::size_t saves;      // the first makes the book, each later one replaces it
    std::size_t savesAhead; // the first saves run with the clock five hours ahead of the later ones
    bool lastFails;
    bool journalBase;              // the book has a second name during each save, as the session journal gives it
    std::vector<std::size_t> kept; // which saves' books stay as earlier versions
};

void PrintTo(const VersionCase& c, std::ostream* out) {
    *out << c.label;
}

const VersionCase kVersionCases[] = {
    {"the clock went back", nullptr, 7, 4, false, false, {3, 4, 5}},
    {"links of future names", PlantLink, 5, 0, false, false, {1, 2, 3}},
    {"pipes of future names", PlantPipe, 5, 0, false, false, {1, 2, 3}},
    {"hard links of future names", PlantHardLink, 5, 0, false, false, {1, 2, 3}},
    {"another user's files of future names", PlantOtherUsersFile, 5, 0, false, false, {1, 2, 3}},
    {"the last save failed", nullptr, 6, 0, true, false, {1, 2, 3}},
    {"a session journal's second name", nullptr, 6, 0, false, true, {2, 3, 4}},
};

// Each save reads the clock in the time zone its row asks for; the process's own comes back after.
class EarlierVersions : public testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            m_zone = zone;
    }
    void TearDown() override {
        m_zone ? ::setenv("TZ", m_zone->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    static void UseTimeZone(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    std::optional<std::string> m_zone;
};

TEST_P(EarlierVersions, TheThreeNewestSavesStayAndNothingElseIsTouched) {
    const VersionCase& c = GetParam();
    const ScratchFolder folder;
    const std::string book = folder / "alice.xml";
    const std::string unrelated = folder / "unrelated.txt";
    WriteWholeFile(unrelated, "not a book");
    std::map<std::string, struct stat> planted;
    for (const char* name : kFutureNames) {
        if (!c.plant)
            break;
        c.plant(folder / name, unrelated);
        if (IsSkipped())
            return;
        ASSERT_EQ(::lstat((folder / name).c_str(), &planted[name]), 0);
    }
    BookFile file;
    ASSERT_TRUE(file.ClaimNew(book));
    for (std::size_t save = 0; save < c.saves; ++save) {
        UseTimeZone(save < c.savesAhead ? "UTC-5" : "UTC");
        const bool fails = c.lastFails && save + 1 == c.saves;
        if (fails)
            xmldom_test::FailNextSaveBeforeRename();
        const std::string base = book + ".journal-base";
        if (c.journalBase && save > 0)
            fs::create_hard_link(book, base);
        EXPECT_EQ(file.Save(store_test::BookWithPasswords(std::vector<std::string>(save)), CBase64()).outcome,
                  fails ? BookSaveOutcome::Failed : BookSaveOutcome::Saved)
            << save;
        fs::remove(base);
    }
    std::vector<std::size_t> kept;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        const std::string name = entry.path().filename();
        if (name.rfind("alice.xml.previous-", 0) != 0 || planted.count(name) != 0)
            continue;
        AccountBook version;
        ASSERT_TRUE(LoadAccountBook(version, entry.path(), CBase64())) << name;
        kept.push_back(version.vecEntries.size());
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, c.kept);
    for (const auto& [name, before] : planted) {
        struct stat after {};
        EXPECT_TRUE(::lstat((folder / name).c_str(), &after) == 0 && after.st_ino == before.st_ino) << name;
    }
    EXPECT_EQ(ReadWholeFile(unrelated), "not a book");
}

INSTANTIATE_TEST_SUITE_P(Saves, EarlierVersions, testing::ValuesIn(kVersionCases));

} // namespace
