// The password health check: how strong each password of a book is, which are weak, which are
// used by more than one entry and which equal the administrator password.
//
// Strength is zxcvbn's estimate (the zxcvbn-c library) of the entropy in bits: it finds dictionary
// words, names, keyboard walks, repeats, sequences and dates in a password and counts how few
// guesses those leave. The entry's own account ID and comment count as words of the user's own, so
// a password built from them is rated as the guess it is. Everything is computed on this machine;
// the library reads no files and opens no connection.
//
// Threads: the check may run on any thread. zxcvbn-c, built with its dictionary compiled in (as
// Debian builds it), keeps no writable state of its own: each call works on its arguments, the
// stack and blocks it allocates and frees itself, so calls on several threads need no lock. The
// check itself touches nothing but its arguments.
#pragma once

#include "AccountBook.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

// The strength bands, from the entropy in bits.
enum class PasswordStrength { Poor, Weak, Good, Excellent };

// Where each band starts, in bits: below 40 Poor, below 65 Weak, below 100 Good, else Excellent.
inline constexpr double kWeakFromBits = 40;
inline constexpr double kGoodFromBits = 65;
inline constexpr double kExcellentFromBits = 100;

// The band of an entropy in bits.
PasswordStrength StrengthOfBits(double bits);

// The band's word for the user: "Poor", "Weak", "Good" or "Excellent".
std::string_view StrengthWord(PasswordStrength strength);

// Whether the band counts as weak: Poor or Weak.
inline bool IsWeak(PasswordStrength strength) {
    return strength <= PasswordStrength::Weak;
}

// One password's estimated strength.
struct PasswordRating {
    double bits = 0;                                // zxcvbn's entropy estimate
    PasswordStrength band = PasswordStrength::Poor; // StrengthOfBits(bits)
};

// Words shorter than this are not given to zxcvbn as the user's own: a one- or two-letter word
// would match pieces of almost any password.
inline constexpr std::size_t kMinUserWordBytes = 3;

// Rates a password. The account ID and the comment are the user's own words: each whole, and each
// run of letters and digits in them of at least kMinUserWordBytes bytes (so "alice" counts for the
// account "alice@example.org"); only their first kMaxTextBytes bytes are used. zxcvbn reads a
// password up to its first NUL byte.
PasswordRating RatePassword(std::string_view password, std::string_view account = {}, std::string_view comment = {});

// One line of the check: one entry's password, never the password itself.
struct EntryHealth {
    std::size_t row = 0;       // the entry's index in the book's list
    PasswordRating rating;     // the password's strength, the entry's account ID and comment as user words
    std::size_t usedBy = 1;    // entries holding this same password, this one included; empty ones count 1
    std::size_t firstUser = 0; // the first row holding this same password; the entry's own row when unshared
    bool sameAsAdmin = false;  // the password equals the administrator password

    bool Weak() const { return IsWeak(rating.band); }
    bool Reused() const { return usedBy > 1; }
    bool HasProblems() const { return Weak() || Reused() || sameAsAdmin; }
};

// What the check found over a whole book.
struct BookHealth {
    PasswordRating admin;             // the administrator password's strength, its account as user word
    std::vector<EntryHealth> entries; // one line per entry, in list order, problems or not
};

// How a caller on another thread follows and stops the check.
struct HealthCheckControl {
    // Told how many entries are rated, of how many: every kHealthProgressStep entries and at the end.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Polled before every entry; once true the check stops.
    const std::atomic<bool>* cancel = nullptr;
};

// How many entries are rated between two progress calls.
inline constexpr std::size_t kHealthProgressStep = 256;

// Checks every password of the book: the administrator's strength, then each entry's strength,
// reuse and equality with the administrator password. Reuse is counted in one pass over a hash of
// the passwords, wiped when dropped. The book must not change while the check reads it: a caller on
// a worker thread gives it a copy of its own (AccountBook copies wipe themselves). False when
// cancelled, with health left empty.
bool CheckBookPasswords(const AccountBook& book, BookHealth& health, const HealthCheckControl& control = {});
