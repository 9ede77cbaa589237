// The account book: the administrator record that protects one user's credentials and the
// ordered list of those credentials. One book per process, a plain record in static storage.
#pragma once

#include "wipe.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The most bytes a stored text may have; every text field holds that many plus its terminator.
inline constexpr std::size_t kMaxTextBytes = 128;

// A fixed text field: up to kMaxTextBytes bytes of text and the terminating NUL.
using TextField = char[kMaxTextBytes + 1];

// Copies the text, up to its first NUL byte, into the field. A text longer than kMaxTextBytes is
// refused: the field is left empty and false returned.
bool CopyFieldText(TextField& field, std::string_view text);

// The text held in a field, up to its terminator.
std::string_view FieldText(const TextField& field);

// One stored credential; trivially copyable, copied by value in and out of the book.
struct AccountEntry {
    std::int32_t nIndex = 0;   // the item number it was read from; -1 when collected from the list
    TextField szAccount = {};  // the account ID
    TextField szPassword = {}; // the credential's password, in plain text
    TextField szComment = {};  // free comment, may be empty
};

// The three texts of an entry, the ones Insert compares to tell an entry from an existing one.
struct EntryTexts {
    std::string_view account;
    std::string_view password;
    std::string_view comment;

    bool operator==(const EntryTexts&) const = default;
};

// The texts the entry holds.
EntryTexts TextsOf(const AccountEntry& entry);

// The entries of a book; their storage is zeroed whenever it is given back.
using AccountEntries = std::vector<AccountEntry, WipingAllocator<AccountEntry>>;

// Whether both hold the same texts in the same order; item numbers are not compared.
bool SameEntryTexts(const AccountEntries& a, const AccountEntries& b);

// The administrator record and the entries, in list order. Its secrets are wiped when it is
// cleared or destroyed.
struct AccountBook {
    TextField szAdminAccount = {};  // empty while no book is open; also names the book's file
    TextField szAdminPassword = {}; // the administrator password, in plain text
    AccountEntries vecEntries;      // the entries in list order

    AccountBook() = default;
    AccountBook(const AccountBook&) = default;
    AccountBook& operator=(const AccountBook&) = default;
    ~AccountBook() { Clear(); }

    // Zeros every byte of both administrator fields and of every entry, and releases the entries'
    // storage, zeroed as well.
    void Clear();
};

// The process's one account book.
extern AccountBook g_AccountBook;
