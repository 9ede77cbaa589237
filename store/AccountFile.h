// The account file: one XML document per account book, named after its administrator account.
// The administrator account name is stored in plain text; every other text as Base64.
#pragma once

#include "AccountBook.h"
#include "Base64.h"
#include "ProgramDocument.h"
#include "xmldom_files.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The largest account file read, and so the largest written: every book the program saves opens
// again. Far above what a book of a million entries of the longest texts takes.
inline constexpr std::size_t kMaxAccountFileBytes = std::size_t(1) << 30;

// The longest file path composed for an account file, in bytes (the platform's limit without the terminator).
inline constexpr std::size_t kMaxAccountPathBytes = 4095;

class BookKey;

// Writes the whole book to the file at path, replacing it atomically. False on any failure, in which
// case a file already there is left untouched. With an expected identity, only a file that still
// has it is replaced (for an absent one: only a path where no file appeared). Why a save failed
// (the system's error, as the file component words it) goes to reason, when one is given. Once the
// new file has its name, the save is done: reason then holds a note when that name is not yet
// durable (its folder could not be synced), and is empty otherwise. With a key, the book is written
// sealed under it.
bool SaveAccountBook(const AccountBook& book, const std::string& path, const CBase64& codec,
                     const FileIdentity* expected = nullptr, std::string* reason = nullptr,
                     const BookKey* key = nullptr);

// Reads the account file at path into the book, which starts empty. True once the file was read to
// its end; false for a file that is missing, unreadable or not an account file, in which case the
// book holds whatever had been read before the failure.
// A sealed book is read only with its key, and never as a plain one.
bool LoadAccountBook(AccountBook& book, const std::string& path, const CBase64& codec, const BookKey* key = nullptr);

// How reading a book with its password went.
enum class BookRead {
    Read,          // the book holds the file's book; a sealed one was opened by the password
    NotABook,      // missing, unreadable, or not an account file
    WrongPassword, // a sealed book the password does not open
    Damaged,       // a sealed book whose bytes were changed, cut or extended
    TooCostly,     // a sealed book that asks for more memory or passes than a login may spend
    NewerFormat,   // sealed by a later version of the program
    NoMemory,      // the memory the sealed book's key needs cannot be had
};

// Reads the account file at path, plain or sealed. A sealed one is opened with the password, its
// key going to key; a plain one is read as LoadAccountBook reads it, its password left for the
// caller to compare, and key is empty. Whatever fails leaves the book empty.
BookRead ReadAccountBook(AccountBook& book, const std::string& path, const CBase64& codec, std::string_view password,
                         std::unique_ptr<BookKey>& key);

// Whether the file at path is a sealed book (it may still prove damaged when opened).
bool IsSealedBookFile(const std::string& path);

// Whether the file at path is a file (not a folder, pipe or device) that can be opened for reading.
bool AccountFileReadable(const std::string& path);

// Whether anything is named by path: a file, a folder, or a link even when it leads nowhere.
bool DirectoryEntryExists(const std::string& path);

// The path of an account's file in a folder: "<folder>/<account>.xml", or the bare file name for
// an empty folder. Empty when the account is empty, holds a "/" or NUL, or the path would exceed
// kMaxAccountPathBytes.
std::string AccountFilePath(const std::string& folder, std::string_view account);

namespace account_file_test {
// Makes the largest account file read and written this many bytes instead (0: kMaxAccountFileBytes).
void LimitAccountFileBytes(std::size_t bytes);
// Reads as LoadAccountBook does, but from the document's whole tree built first, to check that
// reading the file as it is parsed gives the same book.
bool LoadAccountBookFromTree(AccountBook& book, const std::string& path, const CBase64& codec);
} // namespace account_file_test
