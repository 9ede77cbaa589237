#include "AccountFile.h"
#include "FilePermissionsBind.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

using namespace std::string_literals;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

struct EntryCase {
    const char* what;
    bool readable;
    bool exists;
};

TEST(AccountFileHelpers, TellReadableFilesFromOtherDirectoryEntries) {
    ScratchFolder folder;
    WriteWholeFile(folder.File("file.xml"), "<a/>");
    ASSERT_EQ(::symlink(folder.File("gone.xml").c_str(), folder.File("dangling.xml").c_str()), 0);
    ASSERT_EQ(::symlink(folder.File("file.xml").c_str(), folder.File("link.xml").c_str()), 0);
    ASSERT_EQ(::mkdir(folder.File("folder.xml").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo(folder.File("fifo.xml").c_str(), 0600), 0);

    const std::pair<const char*, EntryCase> cases[] = {
        {"missing.xml", {"missing file", false, false}},
        {"file.xml", {"readable file", true, true}},
        {"link.xml", {"link to a readable file", true, true}},
        {"dangling.xml", {"link leading nowhere", false, true}},
        {"folder.xml", {"folder", false, true}},
        {"fifo.xml", {"pipe without writer, never blocks", false, true}},
    };
    for (const auto& [name, c] : cases) {
        EXPECT_EQ(AccountFileReadable(folder.File(name)), c.readable) << c.what;
        EXPECT_EQ(DirectoryEntryExists(folder.File(name)), c.exists) << c.what;
    }
}

TEST(AccountFileHelpers, UnreadableFileIsNotReadableButExists) {
    ScratchFolder folder;
    const std::string path = folder.File("locked.xml");
    WriteWholeFile(path, "<a/>");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const FilePermissionsBind bind;
    ASSERT_TRUE(bind.Bound());
    EXPECT_FALSE(AccountFileReadable(path));
    EXPECT_TRUE(DirectoryEntryExists(path));
}

struct PathCase {
    std::string folder;
    std::string account;
    std::string path;
};

const std::string kLongFolder = "/" + std::string(kMaxAccountPathBytes - 1 - 1 - 5 - 4, 'd');

const PathCase kPaths[] = {
    {"/opt/zelvo", "alice", "/opt/zelvo/alice.xml"},
    {"/opt/zelvo/", "alice", "/opt/zelvo/alice.xml"},
    {"/", "alice", "/alice.xml"},
    {"", "alice", "alice.xml"},
    {"/opt/zelvo", "", ""},
    {"/opt/zelvo", "../alice", ""},
    {"/opt/zelvo", "a/b", ""},
    {"/opt/zelvo", "a\0b"s, ""},
    {"/opt\0/x"s, "alice", ""},
    {kLongFolder, "alice", kLongFolder + "/alice.xml"},
    {kLongFolder, "alice2", ""},
};

TEST(AccountFileHelpers, ComposeAccountFilePathsWithinTheLimit) {
    for (const auto& [folder, account, path] : kPaths) {
        EXPECT_EQ(AccountFilePath(folder, account), path) << folder.size() << ' ' << account;
    }
    EXPECT_EQ(AccountFilePath(kLongFolder, "alice").size(), kMaxAccountPathBytes);
}

} // namespace
