// Helpers shared by the account store tests: fixture paths, a scratch folder, entries and books,
// whole-file reads and a plain Base64 decoder written independently of the codec under test.
#pragma once

#include "AccountFile.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace store_test {

// An entry of the account, with a password made from it.
inline AccountEntry Entry(const std::string& account) {
    AccountEntry entry;
    entry.nIndex = -1;
    CopyFieldText(entry.szAccount, account);
    CopyFieldText(entry.szPassword, "pw-" + account);
    return entry;
}

// The entries' account IDs, in order.
inline std::vector<std::string> Accounts(const AccountEntries& entries) {
    std::vector<std::string> accounts;
    for (const AccountEntry& entry : entries)
        accounts.emplace_back(FieldText(entry.szAccount));
    return accounts;
}

inline std::string FixturePath(const std::string& name) {
    return std::string(ZELVO_TEST_DATA) + "/store/" + name;
}

// A fresh folder for one test, removed with everything in it.
class ScratchFolder : public ScratchDir {
public:
    ScratchFolder() : ScratchDir("zelvo-store") {}
};

// An entry holding the three texts.
inline AccountEntry Entry(std::string_view account, std::string_view password, std::string_view comment) {
    AccountEntry entry;
    CopyFieldText(entry.szAccount, account);
    CopyFieldText(entry.szPassword, password);
    CopyFieldText(entry.szComment, comment);
    return entry;
}

// A book of the administrator "alice" (password "pw") whose entries hold only these passwords.
inline AccountBook BookWithPasswords(const std::vector<std::string>& passwords) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "alice");
    CopyFieldText(book.szAdminPassword, "pw");
    book.vecEntries.resize(passwords.size());
    for (std::size_t i = 0; i < passwords.size(); ++i)
        CopyFieldText(book.vecEntries[i].szPassword, passwords[i]);
    return book;
}

// The administrator's book (password "pw") of these entries, renamed into place as a sync tool
// replaces a file.
inline void SaveBook(const std::string& path, const std::string& admin, const std::vector<std::string>& accounts) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, admin);
    CopyFieldText(book.szAdminPassword, "pw");
    for (const std::string& account : accounts)
        book.vecEntries.push_back(Entry(account));
    ASSERT_TRUE(SaveAccountBook(book, path + ".new", CBase64()));
    std::filesystem::rename(path + ".new", path);
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Decodes character by character: stops at the first character outside the alphabet ("=" included)
// and turns a trailing group of k characters into k-1 bytes.
inline std::string ReferenceDecode(std::string_view text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned long bits = 0;
    int pending = 0;
    for (char c : text) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos) {
            break;
        }
        bits = (bits << 6) | value;
        if (++pending == 4) {
            bytes += static_cast<char>((bits >> 16) & 0xFF);
            bytes += static_cast<char>((bits >> 8) & 0xFF);
            bytes += static_cast<char>(bits & 0xFF);
            bits = 0;
            pending = 0;
        }
    }
    if (pending >= 2) {
        bits <<= 6 * (4 - pending);
        for (int k = 0; k + 1 < pending; ++k) {
            bytes += static_cast<char>((bits >> (16 - 8 * k)) & 0xFF);
        }
    }
    return bytes;
}

} // namespace store_test
