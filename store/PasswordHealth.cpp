#include "PasswordHealth.h"

#include <zxcvbn.h>

#include <array>
#include <string>
#include <unordered_map>

namespace {

// An account ID and a comment as zxcvbn's user dictionary: NUL-terminated copies of their words
// in a fixed buffer, with the null-ended list of them zxcvbn takes. Wiped when dropped.
class UserWords {
public:
    UserWords(std::string_view account, std::string_view comment) {
        AddText(account);
        AddText(comment);
    }
    UserWords(const UserWords&) = delete;
    UserWords& operator=(const UserWords&) = delete;
    ~UserWords() { WipeBytes(m_storage.data(), m_storage.size()); }

    const char** List() { return m_list.data(); }

private:
    // Per text: the whole text and its words, each with a terminator, fit in twice its bytes plus
    // terminator; its words are at most one per kMinUserWordBytes bytes and one separator.
    static constexpr std::size_t kTexts = 2;
    static constexpr std::size_t kWordsPerText = 1 + (kMaxTextBytes + 1) / (kMinUserWordBytes + 1);

    static bool IsWordByte(char c) {
        const auto byte = static_cast<unsigned char>(c);
        // Bytes of 128 and above belong to UTF-8 letters, so such words stay whole.
        return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
               byte >= 0x80;
    }

    void AddText(std::string_view text) {
        text = text.substr(0, kMaxTextBytes);
        std::size_t start = 0;
        bool wholeIsOneWord = true;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && IsWordByte(text[i]))
                continue;
            if (i < text.size())
                wholeIsOneWord = false;
            AddWord(text.substr(start, i - start));
            start = i + 1;
        }
        if (!wholeIsOneWord)
            AddWord(text);
    }

    void AddWord(std::string_view word) {
        if (word.size() < kMinUserWordBytes)
            return;
        char* copy = m_storage.data() + m_used;
        word.copy(copy, word.size());
        copy[word.size()] = '\0';
        m_used += word.size() + 1;
        m_list[m_count++] = copy;
    }

    std::array<char, kTexts * 2 * (kMaxTextBytes + 1)> m_storage{};
    std::size_t m_used = 0;
    std::array<const char*, kTexts * kWordsPerText + 1> m_list{};
    std::size_t m_count = 0;
};

PasswordRating Rate(const char* password, UserWords& words) {
    const double bits = ZxcvbnMatch(password, words.List(), nullptr);
    return {bits, StrengthOfBits(bits)};
}

PasswordRating RateEntry(const AccountEntry& entry) {
    UserWords words(FieldText(entry.szAccount), FieldText(entry.szComment));
    return Rate(entry.szPassword, words);
}

// Each non-empty password of the entries with how many entries hold it and the first that does. Keys
// view the entries' own fields, so no password is copied; the table's storage, hashes included, is
// wiped when freed.
struct PasswordUse {
    std::size_t count = 0;
    std::size_t firstRow = 0;
};
using PasswordCounts =
    std::unordered_map<std::string_view, PasswordUse, std::hash<std::string_view>, std::equal_to<std::string_view>,
                       WipingAllocator<std::pair<const std::string_view, PasswordUse>>>;

void CountReuse(const AccountEntries& entries, std::vector<EntryHealth>& lines) {
    PasswordCounts counts;
    counts.reserve(entries.size());
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (entries[row].szPassword[0] == '\0')
            continue;
        PasswordUse& use = counts[FieldText(entries[row].szPassword)];
        if (use.count++ == 0)
            use.firstRow = row;
    }
    for (std::size_t row = 0; row < entries.size(); ++row) {
        lines[row].firstUser = row;
        if (entries[row].szPassword[0] == '\0')
            continue;
        const PasswordUse& use = counts.find(FieldText(entries[row].szPassword))->second;
        lines[row].usedBy = use.count;
        lines[row].firstUser = use.firstRow;
    }
}

} // namespace

PasswordStrength StrengthOfBits(double bits) {
    if (bits < kWeakFromBits)
        return PasswordStrength::Poor;
    if (bits < kGoodFromBits)
        return PasswordStrength::Weak;
    if (bits < kExcellentFromBits)
        return PasswordStrength::Good;
    return PasswordStrength::Excellent;
}

std::string_view StrengthWord(PasswordStrength strength) {
    switch (strength) {
    case PasswordStrength::Poor:
        return "Poor";
    case PasswordStrength::Weak:
        return "Weak";
    case PasswordStrength::Good:
        return "Good";
    case PasswordStrength::Excellent:
        return "Excellent";
    }
    return {};
}

PasswordRating RatePassword(std::string_view password, std::string_view account, std::string_view comment) {
    std::string terminated(password); // zxcvbn needs a terminator; the copy is wiped below
    UserWords words(account, comment);
    const PasswordRating rating = Rate(terminated.c_str(), words);
    WipeString(terminated);
    return rating;
}

bool CheckBookPasswords(const AccountBook& book, BookHealth& health, const HealthCheckControl& control) {
    health = {};
    const AccountEntries& entries = book.vecEntries;
    const std::size_t total = entries.size();
    {
        UserWords adminWords(FieldText(book.szAdminAccount), {});
        health.admin = Rate(book.szAdminPassword, adminWords);
    }
    health.entries.resize(total);
    CountReuse(entries, health.entries);

    const std::string_view adminPassword = FieldText(book.szAdminPassword);
    for (std::size_t row = 0; row < total; ++row) {
        if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed)) {
            health = {};
            return false;
        }
        EntryHealth& line = health.entries[row];
        const std::string_view password = FieldText(entries[row].szPassword);
        line.row = row;
        line.rating = RateEntry(entries[row]);
        line.sameAsAdmin = !password.empty() && password == adminPassword;
        const std::size_t done = row + 1;
        if (control.progress && (done % kHealthProgressStep == 0 || done == total))
            control.progress(done, total);
    }
    return true;
}
