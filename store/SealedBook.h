// The sealed book: an account file whose entries and administrator password stand in one blob that
// only the administrator password opens. The administrator name stays in plain text where a plain
// book has it, so the lock, the earlier versions and the name checks treat both kinds alike.
//
// The key comes from the password through Argon2id, with a salt and costs stored in the file; the
// plain book's bytes are sealed with XChaCha20-Poly1305 under it, and everything before the blob
// is bound to it as associated data. All of it goes through libsodium.
#pragma once

#include "xmldom_files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// What a key derivation costs: Argon2id's passes over its memory, and that memory.
struct KdfCost {
    std::uint64_t passes = 0;
    std::size_t memoryBytes = 0;

    bool operator==(const KdfCost&) const = default;
};

// The most a file may ask a login to spend; beyond it the file is refused unread, so a crafted book
// cannot exhaust the machine.
inline constexpr std::size_t kMostKdfMemoryBytes = std::size_t(1) << 30;
inline constexpr std::uint64_t kMostKdfPasses = 64;

using KdfSalt = std::array<unsigned char, 16>;

// A book's key, derived from its administrator password, in memory that is locked against swapping
// and wiped when the key goes. Saves, journal records and the check of a password typed again
// reuse it; nothing derives it twice for one password and salt.
class BookKey {
public:
    ~BookKey();
    BookKey(const BookKey&) = delete;
    BookKey& operator=(const BookKey&) = delete;

    // Derives the key of the password with this salt and cost; null when the memory it needs
    // cannot be had.
    static std::unique_ptr<BookKey> Derive(std::string_view password, const KdfSalt& salt, const KdfCost& cost);
    // A key for a book being sealed now: a fresh salt, and the cost this machine pays in about half
    // a second with at least 64 MiB. Null when the memory cannot be had.
    static std::unique_ptr<BookKey> DeriveNew(std::string_view password);

    const KdfSalt& Salt() const { return m_salt; }
    const KdfCost& Cost() const { return m_cost; }
    // A key of its own for one use of this one: sealing the book, checking a password, the journal.
    void DeriveSubkey(std::uint64_t use, unsigned char (&subkey)[32]) const;

private:
    BookKey(const KdfSalt& salt, const KdfCost& cost);
    bool Allocated() const { return m_key != nullptr; }

    unsigned char* m_key = nullptr; // 32 bytes from sodium_malloc: guarded, locked, wiped when freed
    KdfSalt m_salt{};
    KdfCost m_cost{};
};

// The cost a new key is derived with on this machine, measured once per run.
KdfCost CalibratedKdfCost();

enum class SealedOutcome {
    Opened,        // the plain book's bytes are given
    NotSealed,     // the file is not a sealed book: a plain one, or no book at all
    Damaged,       // a sealed book whose bytes were changed, cut or extended; nothing of it is read
    WrongPassword, // the password does not open it
    TooCostly,     // it asks for more memory or passes than a login may spend
    NewerFormat,   // sealed by a later version of the program
    NoMemory,      // the memory its key needs cannot be had
};

// Whether the file's bytes begin as a sealed book does; such a file is never read as a plain one.
bool LooksSealed(std::string_view file);

// The administrator a sealed book's bytes name in plain text.
std::string_view SealedBookAdmin(std::string_view file);

// Opens a sealed book's bytes with the password: the plain book's bytes go to plain and its key to
// key. The checks that need no key come first, so a damaged file costs no derivation.
SealedOutcome UnsealBook(std::string_view file, std::string_view password, SecretBytes& plain,
                         std::unique_ptr<BookKey>& key);
// As UnsealBook, with a key already derived: WrongPassword when the file was sealed under another.
SealedOutcome UnsealBookWithKey(std::string_view file, const BookKey& key, SecretBytes& plain);
// Seals the plain book's bytes for the administrator under the key, with a fresh nonce: the whole
// file as it is written. False when the memory cannot be had.
bool SealBook(std::string_view admin, std::string_view plain, const BookKey& key, WipingString& file);

// The largest a sealed file of a plain book of that many bytes can be: the seal in Base64, and
// what stands around it.
std::size_t SealedFileBytesFor(std::size_t plainBytes);

// Seals and opens the lines of a session journal for a sealed book, under a key of the book's own.
// The first line of such a journal is plain: it names the key it was sealed under (not the key
// itself) and the journal; each line after it is one line of a plain journal, sealed with its
// place in the journal, so that no line can be dropped from the middle, moved or taken from
// another journal unseen.
class JournalSeal {
public:
    explicit JournalSeal(const BookKey& key);
    ~JournalSeal();
    JournalSeal(const JournalSeal&) = delete;
    JournalSeal& operator=(const JournalSeal&) = delete;

    // Whether the journal's first line is that of a sealed journal.
    static bool IsSealedFirstLine(std::string_view line);
    // The first line of a new journal (without its line break), naming a journal of its own.
    std::string NewFirstLine();
    // Whether the first line names this key; the journal it names is then this one's.
    bool TakeFirstLine(std::string_view line);
    // Appends the plain line (without its line break), sealed as the journal's line number index
    // after the first, and a line break.
    void SealLine(std::string_view plain, std::uint64_t index, WipingString& out) const;
    // Opens the sealed line (without its line break) at that index into plain; false when it does
    // not open.
    bool OpenLine(std::string_view sealed, std::uint64_t index, WipingString& plain) const;
    // The longest sealed line a plain line of plainBytes becomes.
    static std::size_t SealedLineBytes(std::size_t plainBytes);

private:
    unsigned char m_key[32];
    std::array<unsigned char, 16> m_keyName{};
    std::array<unsigned char, 16> m_journalName{};
};

namespace sealed_book_test {
// Makes new keys use this cost instead of the measured one (a zero cost: the measured one again).
void UseCost(const KdfCost& cost);
// Makes the next keys and seals use these salts and nonces, in turn, instead of random ones; for a
// known answer. Empty: random again.
void UseSalt(const KdfSalt* salt);
void UseNonce(const std::array<unsigned char, 24>* nonce);
// The cost the calibration chose, measuring afresh.
KdfCost MeasureKdfCost();
} // namespace sealed_book_test
