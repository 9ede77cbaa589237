// The sealed book: a book locked with its administrator password opens with that password alone,
// any change to its bytes is refused without reading any of it, and nothing of it reaches the
// folder in a form that can be read without the password.
#include "OpenBook.h"
#include "SealedBook.h"
#include "StoreTestSupport.h"

#include <sodium.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using store_test::Accounts;
using store_test::Entry;
using store_test::ReadWholeFile;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

std::string SealedFixture() {
    return std::string(ZELVO_TEST_DATA) + "/sealed/alice.xml";
}

// Keys cost next to nothing here; what a real key costs is measured in bench/.
class SealedBook : public ::testing::Test {
protected:
    void SetUp() override { sealed_book_test::UseCost({1, 8192}); }
    void TearDown() override {
        sealed_book_test::UseCost({});
        sealed_book_test::UseSalt(nullptr);
        sealed_book_test::UseNonce(nullptr);
    }

    // A saved plain book of alice ("pw") with the entries, opened in this folder's session.
    OpenBook& OpenWith(const std::vector<std::string>& accounts) {
        AccountBook saved;
        CopyFieldText(saved.szAdminAccount, "alice");
        CopyFieldText(saved.szAdminPassword, "pw");
        for (const std::string& account : accounts)
            saved.vecEntries.push_back(Entry(account, "secret-" + account, "note-" + account));
        EXPECT_TRUE(SaveAccountBook(saved, path, CBase64()));
        EXPECT_EQ(session.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
        return session;
    }
    // A second run's login to the book.
    OpenOutcome LoginAgain(const char* password, AccountBook& into) {
        OpenBook next(into);
        return next.Open(folder.Path(), "alice", password, CBase64());
    }

    ScratchFolder folder;
    std::string path = folder.Path() + "/alice.xml";
    AccountBook book;
    OpenBook session{book};
};

// Every file in the folder, as text.
std::vector<std::pair<std::string, std::string>> FolderFiles(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.emplace_back(entry.path().filename().string(), ReadWholeFile(entry.path().string()));
    return files;
}

// Whether a secret stands in any file of the folder, as it is or in Base64.
void ExpectNoSecretIn(const std::string& folder, const std::vector<std::string>& secrets) {
    for (const auto& [name, text] : FolderFiles(folder))
        for (const std::string& secret : secrets) {
            std::string encoded;
            CBase64().Encode(secret, encoded);
            EXPECT_EQ(text.find(secret), std::string::npos) << secret << " in " << name;
            EXPECT_EQ(text.find(encoded), std::string::npos) << secret << " in Base64 in " << name;
        }
}

TEST_F(SealedBook, OpensWithItsPasswordAloneAndDecryptsToThePlainBytes) {
    OpenWith({"a", "b"});
    std::string reason;
    ASSERT_TRUE(session.Seal(nullptr, CBase64(), &reason)) << reason;
    ASSERT_TRUE(session.ChangeAdminPassword("Admin-Passphrase-7731", nullptr, &reason)) << reason;
    session.Record(JournalChange::Insert, 2, Entry("c", "secret-c", "note-c"), nullptr, &reason);
    EXPECT_TRUE(IsSealedBookFile(path));
    // Killed here: the sealed journal holds the insert. Nothing of the book, nor the administrator
    // password, stands readable in the folder: not the book, its earlier versions, nor the journal.
    session.Close();
    ExpectNoSecretIn(folder.Path(), {"secret-a", "note-b", "secret-c", "note-c", "Admin-Passphrase-7731"});
    AccountBook wrong;
    EXPECT_EQ(LoginAgain("admin-Passphrase-7731", wrong), OpenOutcome::WrongPassword);
    EXPECT_TRUE(wrong.vecEntries.empty());
    ASSERT_EQ(session.Open(folder.Path(), "alice", "Admin-Passphrase-7731", CBase64()), OpenOutcome::Opened);
    EXPECT_TRUE(session.Recovery().recovered);
    EXPECT_EQ(Accounts(book.vecEntries), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_TRUE(session.Unseal(nullptr, CBase64(), &reason)) << reason;
    // Decrypted, the file is exactly what a plain save of the same book writes.
    const std::string plainCopy = folder.Path() + "/copy.xml";
    ASSERT_TRUE(SaveAccountBook(book, plainCopy, CBase64()));
    EXPECT_EQ(ReadWholeFile(path), ReadWholeFile(plainCopy));
}

TEST_F(SealedBook, ChangingThePasswordSealsAnewSoOnlyTheNewOneOpens) {
    OpenWith({"a"});
    std::string reason;
    ASSERT_TRUE(session.Seal(nullptr, CBase64(), &reason));
    ASSERT_TRUE(session.ChangeAdminPassword("new pw", nullptr, &reason)) << reason;
    session.Close();
    AccountBook next;
    EXPECT_EQ(LoginAgain("pw", next), OpenOutcome::WrongPassword);
    // Undone, the password change seals the book anew as well: a kill after it keeps the undo.
    ASSERT_EQ(session.Open(folder.Path(), "alice", "new pw", CBase64()), OpenOutcome::Opened);
    JournalRecord undo;
    undo.change = JournalChange::AdminPassword;
    CopyFieldText(undo.entry.szPassword, "pw");
    ASSERT_TRUE(session.RecordStep({undo}, nullptr, &reason)) << reason;
    session.Close();
    EXPECT_EQ(LoginAgain("new pw", next), OpenOutcome::WrongPassword);
    EXPECT_EQ(LoginAgain("pw", next), OpenOutcome::Opened);
}

// A known answer: fixed salt, nonce and cost give these bytes, and these bytes this book. A change
// of format, derivation or seal fails here first.
TEST_F(SealedBook, AKnownBookHasKnownBytes) {
    const KdfSalt salt{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::array<unsigned char, 24> nonce{24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13,
                                              12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1};
    sealed_book_test::UseSalt(&salt);
    sealed_book_test::UseNonce(&nonce);
    AccountBook known;
    CopyFieldText(known.szAdminAccount, "alice");
    CopyFieldText(known.szAdminPassword, "pw");
    known.vecEntries.push_back(Entry("abc", "p@ss", ""));
    const std::unique_ptr<BookKey> key = BookKey::DeriveNew("pw");
    ASSERT_TRUE(key && SaveAccountBook(known, path, CBase64(), nullptr, nullptr, key.get()));
    EXPECT_EQ(ReadWholeFile(path), ReadWholeFile(SealedFixture()));
    std::unique_ptr<BookKey> opened;
    AccountBook read;
    ASSERT_EQ(ReadAccountBook(read, SealedFixture(), CBase64(), "pw", opened), BookRead::Read);
    EXPECT_EQ(Accounts(read.vecEntries), (std::vector<std::string>{"abc"}));
}

// The file with the digest it would need to pass that check: of everything but its blob.
std::string Redigest(std::string file) {
    const std::size_t blobStart = file.find("\">", file.find("<Sealed ")) + 2;
    const std::size_t blobEnd = file.find("</Sealed>");
    const std::size_t digest = file.rfind("  <Digest>");
    const std::string digested = file.substr(0, blobStart) + file.substr(blobEnd, digest - blobEnd);
    unsigned char hash[32];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(digested.data()), digested.size(),
                       nullptr, 0);
    char hex[65];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return file.replace(digest + 10, 64, hex);
}

// Every way a sealed file can be altered: it is refused with its reason, nothing of it is read, and
// it stays byte for byte as it was.
TEST_F(SealedBook, AnAlteredFileIsRefusedUnreadAndUntouched) {
    OpenWith({"a", "b"});
    std::string reason;
    ASSERT_TRUE(session.Seal(nullptr, CBase64(), &reason));
    session.Close();
    const std::string sealed = ReadWholeFile(path);
    const auto cost = [&](const std::string& attribute, const std::string& value) {
        const std::size_t at = sealed.find(attribute + "=\"") + attribute.size() + 2;
        return Redigest(std::string(sealed).replace(at, sealed.find('"', at) - at, value));
    };
    std::vector<std::pair<std::string, OpenOutcome>> files = {
        {sealed + "\n", OpenOutcome::Damaged},
        {sealed.substr(0, sealed.size() - 1), OpenOutcome::Damaged},
        {cost("Memory", "1073741825"), OpenOutcome::TooCostly},
        {cost("Passes", "65"), OpenOutcome::TooCostly},
        {cost("Format", "2"), OpenOutcome::NewerFormat},
        // Another salt with a digest to match: the key differs, and the password cannot open it.
        {cost("Salt", "AAAAAAAAAAAAAAAAAAAAAA=="), OpenOutcome::WrongPassword},
    };
    // The blob sealed under another header (another book's, or this one's saved again) fails the seal
    // even when the digest is made to match.
    ASSERT_TRUE(session.Open(folder.Path(), "alice", "pw", CBase64()) == OpenOutcome::Opened &&
                session.Seal(nullptr, CBase64(), &reason));
    session.Close();
    const std::string resealed = ReadWholeFile(path);
    const std::size_t blob = sealed.find("\">", sealed.find("<Sealed")) + 2;
    files.push_back({Redigest(resealed.substr(0, blob) + sealed.substr(blob)), OpenOutcome::WrongPassword});
    files.push_back({Redigest(sealed.substr(0, blob) + resealed.substr(blob)), OpenOutcome::WrongPassword});
    for (std::size_t at = 0; at < sealed.size(); ++at) {
        std::string flipped = sealed;
        flipped[at] = char(flipped[at] ^ 0x04);
        files.push_back({flipped, OpenOutcome::Damaged});
    }
    for (const auto& [file, expected] : files) {
        WriteWholeFile(path, file);
        AccountBook read;
        const OpenOutcome outcome = LoginAgain("pw", read);
        // A flip in the administrator's name makes another book of it, or none.
        if (outcome != expected && (outcome == OpenOutcome::NotABook || outcome == OpenOutcome::NoSuchBook))
            continue;
        EXPECT_EQ(outcome, expected) << file.substr(0, 400);
        EXPECT_TRUE(read.vecEntries.empty());
        EXPECT_EQ(ReadWholeFile(path), file);
    }
}

} // namespace

namespace {

// The journal's lines, each with its line break; what a damage does to them.
using Lines = std::vector<std::string>;
struct SealedJournalCase {
    const char* name;
    std::function<void(Lines&, const Lines& otherBooks)> damage;
    std::vector<std::string> opened; // the rows the next login has
    std::size_t notRecovered;        // changes the login says could not come back
    bool setAside;                   // the journal was set aside, whole
};

Lines SplitLines(const std::string& text) {
    Lines lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1)
        lines.push_back(text.substr(start, (end = text.find('\n', start)) - start + 1));
    return lines;
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

class SealedJournal : public SealedBook, public ::testing::WithParamInterface<SealedJournalCase> {
protected:
    // A sealed book of alice with rows a and b, and a session that inserts c, d and e before it is
    // killed; its journal, as lines: the key's line, the header, then one line per insert.
    Lines KilledSealedSession(const std::string& in) {
        const std::string bookPath = in + "/alice.xml";
        AccountBook saved;
        CopyFieldText(saved.szAdminAccount, "alice");
        CopyFieldText(saved.szAdminPassword, "pw");
        saved.vecEntries = {Entry("a"), Entry("b")};
        EXPECT_TRUE(SaveAccountBook(saved, bookPath, CBase64()));
        AccountBook held;
        OpenBook killed(held);
        std::string reason;
        EXPECT_EQ(killed.Open(in, "alice", "pw", CBase64()), OpenOutcome::Opened);
        EXPECT_TRUE(killed.Seal(nullptr, CBase64(), &reason)) << reason;
        for (std::size_t row = 2; const char* account : {"c", "d", "e"})
            EXPECT_TRUE(killed.Record(JournalChange::Insert, row++, Entry(account), nullptr, &reason)) << reason;
        return SplitLines(ReadWholeFile(BookJournal::PathFor(bookPath)));
    }
};

TEST_P(SealedJournal, RecoversWhatAuthenticatesAndNothingAfter) {
    const SealedJournalCase& c = GetParam();
    ScratchFolder other;
    const Lines otherBooks = KilledSealedSession(other.Path());
    Lines lines = KilledSealedSession(folder.Path());
    ASSERT_EQ(lines.size(), 5u);
    c.damage(lines, otherBooks);
    const std::string journal = BookJournal::PathFor(path);
    WriteWholeFile(journal, Joined(lines));
    ASSERT_EQ(session.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
    EXPECT_EQ(Accounts(book.vecEntries), c.opened);
    const SessionRecovery& recovery = session.Recovery();
    EXPECT_EQ(recovery.changesNotRecovered, c.notRecovered);
    EXPECT_EQ(!recovery.setAsidePath.empty(), c.setAside);
    if (c.setAside) {
        EXPECT_EQ(ReadWholeFile(recovery.setAsidePath), Joined(lines)) << "never cut, never deleted";
    }
    // The journal goes on, sealed, after a cut or a set-aside: a change after the login comes back
    // from it too.
    std::string reason;
    ASSERT_TRUE(session.Record(JournalChange::Insert, book.vecEntries.size(), Entry("f"), nullptr, &reason)) << reason;
    session.Close();
    ExpectNoSecretIn(folder.Path(), {"pw-c", "pw-d", "pw-e", "pw-f"});
    AccountBook next;
    ASSERT_EQ(LoginAgain("pw", next), OpenOutcome::Opened);
    std::vector<std::string> withF = c.opened;
    withF.push_back("f");
    EXPECT_EQ(Accounts(next.vecEntries), withF);
}

void Flip(std::string& line) {
    line[line.size() / 2] = line[line.size() / 2] == 'A' ? 'B' : 'A';
}

INSTANTIATE_TEST_SUITE_P(
    Damages, SealedJournal,
    ::testing::Values(
        SealedJournalCase{"Whole", [](Lines&, const Lines&) {}, {"a", "b", "c", "d", "e"}, 0, false},
        SealedJournalCase{"TornLastLine",
                          [](Lines& l, const Lines&) { l[4].resize(l[4].size() / 2); },
                          {"a", "b", "c", "d"},
                          0,
                          false},
        SealedJournalCase{"FlippedLastLine", [](Lines& l, const Lines&) { Flip(l[4]); }, {"a", "b", "c", "d"}, 1, true},
        SealedJournalCase{"FlippedMiddleLine", [](Lines& l, const Lines&) { Flip(l[3]); }, {"a", "b", "c"}, 2, true},
        SealedJournalCase{
            "MiddleLineDropped", [](Lines& l, const Lines&) { l.erase(l.begin() + 3); }, {"a", "b", "c"}, 1, true},
        SealedJournalCase{"LinesSwapped", [](Lines& l, const Lines&) { std::swap(l[2], l[3]); }, {"a", "b"}, 3, true},
        SealedJournalCase{
            "LineOfAnotherJournal", [](Lines& l, const Lines& o) { l[3] = o[3]; }, {"a", "b", "c"}, 2, true},
        SealedJournalCase{"AnotherBooksJournal", [](Lines& l, const Lines& o) { l = o; }, {"a", "b"}, 0, true}),
    [](const ::testing::TestParamInfo<SealedJournalCase>& info) { return info.param.name; });

} // namespace

namespace {

// A kill at each point where Encrypt Book makes something durable: the book still opens with its
// password, plain or sealed, with every entry, the journal's unsaved one included.
TEST_F(SealedBook, AKillAtAnyStepOfEncryptingLeavesABookThatOpensWithEveryEntry) {
    bool finished = false;
    for (int killAt = 1; !finished && killAt < 100; ++killAt) {
        ScratchFolder run;
        const std::string bookPath = run.Path() + "/alice.xml";
        AccountBook saved;
        CopyFieldText(saved.szAdminAccount, "alice");
        CopyFieldText(saved.szAdminPassword, "pw");
        saved.vecEntries = {Entry("a"), Entry("b")};
        ASSERT_TRUE(SaveAccountBook(saved, bookPath, CBase64()));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AccountBook held;
            OpenBook killed(held);
            std::string reason;
            if (killed.Open(run.Path(), "alice", "pw", CBase64()) != OpenOutcome::Opened ||
                !killed.Record(JournalChange::Insert, 2, Entry("c"), nullptr, &reason))
                ::_exit(2);
            int syncs = 0;
            file_sync_test::Watch([&](SyncKind) {
                if (++syncs == killAt)
                    ::_exit(0);
            });
            // The window's rows: the book's, and the insert the journal holds.
            const RowSource rows = [](AccountEntries& into) { into = {Entry("a"), Entry("b"), Entry("c")}; };
            ::_exit(killed.Seal(rows, CBase64(), &reason) ? 1 : 3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << "killed at sync " << killAt;
        finished = WEXITSTATUS(status) == 1;
        AccountBook next;
        OpenBook login(next);
        ASSERT_EQ(login.Open(run.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened) << "killed at sync " << killAt;
        EXPECT_EQ(Accounts(next.vecEntries), (std::vector<std::string>{"a", "b", "c"})) << "killed at sync " << killAt;
    }
    EXPECT_TRUE(finished);
}

} // namespace

namespace {

// Encrypt takes every copy beside the book with it; Decrypt brings back those its key opens. A copy
// sealed under another password stays as it is, and is counted.
TEST_F(SealedBook, TheCopiesBesideTheBookFollowItsLock) {
    OpenWith({"a", "b"});
    AccountBook kept;
    CopyFieldText(kept.szAdminAccount, "alice");
    CopyFieldText(kept.szAdminPassword, "pw");
    kept.vecEntries = {Entry("k")};
    const std::string keptPath = path + ".kept-20260101-000000";
    const std::string aside = path + ".journal-set-aside-20260101-000000";
    ASSERT_TRUE(SaveAccountBook(kept, keptPath, CBase64()) && SaveAccountBook(kept, aside + "-base", CBase64()));
    WipingString journal;
    BookJournal::AppendHeader(journal, FileIdentity{}, "alice", "pw");
    BookJournal::AppendRecord(journal, JournalChange::Insert, 1, Entry("j"));
    WriteWholeFile(aside, std::string(journal));
    std::string reason;
    ASSERT_TRUE(session.Seal(nullptr, CBase64(), &reason)) << reason;
    EXPECT_EQ(session.CopiesLeftAsTheyWere(), 0u);
    ExpectNoSecretIn(folder.Path(), {"pw-k", "pw-j", "secret-a"});
    const std::unique_ptr<BookKey> other = BookKey::DeriveNew("another password");
    const std::string otherKey = path + ".previous-000099-20260101-000000";
    ASSERT_TRUE(SaveAccountBook(kept, otherKey, CBase64(), nullptr, nullptr, other.get()));
    ASSERT_TRUE(session.Unseal(nullptr, CBase64(), &reason)) << reason;
    EXPECT_EQ(session.CopiesLeftAsTheyWere(), 1u);
    EXPECT_TRUE(IsSealedBookFile(otherKey));
    for (const std::string& copy : {keptPath, aside + "-base"}) {
        AccountBook read;
        EXPECT_TRUE(LoadAccountBook(read, copy, CBase64())) << copy;
        EXPECT_EQ(Accounts(read.vecEntries), (std::vector<std::string>{"k"})) << copy;
    }
    JournalReader reader;
    JournalHeader header;
    JournalRecord record;
    ASSERT_EQ(reader.Open(aside, header), JournalReadOutcome::Read);
    ASSERT_EQ(reader.Next(record), JournalStep::Record);
    EXPECT_EQ(FieldText(record.entry.szAccount), "j");
}

} // namespace
