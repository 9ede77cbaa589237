#include "AccountBook.h"

#include <algorithm>
#include <cstring>

AccountBook g_AccountBook;

bool CopyFieldText(TextField& field, std::string_view text) {
    const std::size_t terminator = text.find('\0');
    if (terminator != std::string_view::npos) {
        text = text.substr(0, terminator);
    }
    if (text.size() > kMaxTextBytes) {
        field[0] = '\0';
        return false;
    }
    // An empty view may have no storage at all, which memcpy must not be given.
    if (!text.empty()) {
        std::memcpy(field, text.data(), text.size());
    }
    field[text.size()] = '\0';
    return true;
}

std::string_view FieldText(const TextField& field) {
    const void* terminator = std::memchr(field, '\0', kMaxTextBytes);
    const std::size_t length =
        terminator ? static_cast<std::size_t>(static_cast<const char*>(terminator) - field) : kMaxTextBytes;
    return {field, length};
}

EntryTexts TextsOf(const AccountEntry& entry) {
    return {FieldText(entry.szAccount), FieldText(entry.szPassword), FieldText(entry.szComment)};
}

bool SameEntryTexts(const AccountEntries& a, const AccountEntries& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const AccountEntry& x, const AccountEntry& y) { return TextsOf(x) == TextsOf(y); });
}

void AccountBook::Clear() {
    WipeBytes(szAdminAccount, sizeof szAdminAccount);
    WipeBytes(szAdminPassword, sizeof szAdminPassword);
    // The allocator zeros the whole storage, spare capacity included, as it gives it back.
    AccountEntries().swap(vecEntries);
}
