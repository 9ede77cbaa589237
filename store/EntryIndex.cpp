#include "EntryIndex.h"

#include "KeyedHash.h"

EntryIndex::Key::Key(const EntryTexts& texts) : accountEnd(texts.account.size()) {
    passwordEnd = accountEnd + texts.password.size();
    joined.reserve(passwordEnd + texts.comment.size());
    joined.insert(joined.end(), texts.account.begin(), texts.account.end());
    joined.insert(joined.end(), texts.password.begin(), texts.password.end());
    joined.insert(joined.end(), texts.comment.begin(), texts.comment.end());
}

EntryTexts EntryIndex::Key::Texts() const {
    const std::string_view all(joined.data(), joined.size());
    return {all.substr(0, accountEnd), all.substr(accountEnd, passwordEnd - accountEnd), all.substr(passwordEnd)};
}

// The three texts and then their first two lengths, so that texts split differently never meet.
std::size_t EntryIndex::Hash::operator()(const EntryTexts& texts) const {
    const std::uint64_t lengths[] = {texts.account.size(), texts.password.size()};
    const std::string_view split(reinterpret_cast<const char*>(lengths), sizeof lengths);
    return std::size_t(SipHash24(ProcessHashKey(), {texts.account, texts.password, texts.comment, split}));
}

std::uint64_t EntryIndex::LoginHash(std::string_view account, std::string_view password) {
    const std::uint64_t length = account.size();
    const std::string_view split(reinterpret_cast<const char*>(&length), sizeof length);
    return SipHash24(ProcessHashKey(), {account, password, split});
}

EntryIndex::EntryIndex(const AccountEntries& entries) {
    Reserve(entries.size());
    for (const AccountEntry& entry : entries)
        Add(TextsOf(entry));
}

void EntryIndex::Add(const EntryTexts& texts) {
    Add(texts, LoginHash(texts.account, texts.password));
}

void EntryIndex::Add(const EntryTexts& texts, std::uint64_t loginHash) {
    const auto found = m_counts.find(texts);
    if (found != m_counts.end())
        ++found->second;
    else
        m_counts.emplace(Key(texts), 1);
    ++m_logins[loginHash];
    ++m_rows;
}

bool EntryIndex::Remove(const EntryTexts& texts) {
    const auto found = m_counts.find(texts);
    if (found == m_counts.end())
        return false;
    if (--found->second == 0)
        m_counts.erase(found);
    const auto login = m_logins.find(LoginHash(texts.account, texts.password));
    if (--login->second == 0)
        m_logins.erase(login);
    --m_rows;
    return true;
}

bool EntryIndex::Contains(const EntryTexts& texts) const {
    return m_counts.find(texts) != m_counts.end();
}

bool EntryIndex::ContainsLogin(std::uint64_t loginHash) const {
    return m_logins.find(loginHash) != m_logins.end();
}

void EntryIndex::Clear() {
    Counts().swap(m_counts);
    m_logins.clear();
    m_rows = 0;
}

void EntryIndex::Reserve(std::size_t rows) {
    m_counts.reserve(rows);
    m_logins.reserve(rows);
}
