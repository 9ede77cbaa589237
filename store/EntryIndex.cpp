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
    m_logins.Add(loginHash);
    ++m_rows;
}

bool EntryIndex::Remove(const EntryTexts& texts) {
    const auto found = m_counts.find(texts);
    if (found == m_counts.end())
        return false;
    if (--found->second == 0)
        m_counts.erase(found);
    m_logins.Remove(LoginHash(texts.account, texts.password));
    --m_rows;
    return true;
}

bool EntryIndex::Contains(const EntryTexts& texts) const {
    return m_counts.find(texts) != m_counts.end();
}

bool EntryIndex::ContainsLogin(std::uint64_t loginHash) const {
    return m_logins.Contains(loginHash);
}

void EntryIndex::Clear() {
    Counts().swap(m_counts);
    m_logins.Clear();
    m_rows = 0;
}

void EntryIndex::Reserve(std::size_t rows) {
    m_counts.reserve(rows);
    m_logins.Reserve(rows);
}

namespace {

// A hash of 0 marks a slot never used; the one login in 2^64 with that hash shares 1's count.
std::uint64_t Stored(std::uint64_t hash) {
    return hash != 0 ? hash : 1;
}

// The table is at most half full, so that runs of slots stay short.
std::size_t SlotsFor(std::size_t logins) {
    std::size_t slots = 16;
    while (slots < 2 * logins)
        slots *= 2;
    return slots;
}

} // namespace

std::size_t EntryIndex::LoginCounts::Find(std::uint64_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = std::size_t(hash) & mask;
    while (m_slots[slot].hash != 0 && m_slots[slot].hash != hash)
        slot = (slot + 1) & mask;
    return slot;
}

void EntryIndex::LoginCounts::Rebuild(std::size_t slots) {
    std::vector<Slot> old(slots);
    old.swap(m_slots);
    m_used = 0;
    for (const Slot& slot : old) {
        if (slot.count == 0)
            continue;
        m_slots[Find(slot.hash)] = slot;
        ++m_used;
    }
}

void EntryIndex::LoginCounts::Reserve(std::size_t logins) {
    if (SlotsFor(logins) > m_slots.size())
        Rebuild(SlotsFor(logins));
}

void EntryIndex::LoginCounts::Add(std::uint64_t hash) {
    hash = Stored(hash);
    if (2 * (m_used + 1) > m_slots.size())
        Rebuild(SlotsFor(m_used + 1));
    Slot& slot = m_slots[Find(hash)];
    if (slot.hash == 0) {
        slot.hash = hash;
        ++m_used;
    }
    ++slot.count;
}

void EntryIndex::LoginCounts::Remove(std::uint64_t hash) {
    hash = Stored(hash);
    if (m_slots.empty())
        return;
    Slot& slot = m_slots[Find(hash)];
    if (slot.hash == hash && slot.count > 0)
        --slot.count;
}

bool EntryIndex::LoginCounts::Contains(std::uint64_t hash) const {
    hash = Stored(hash);
    if (m_slots.empty())
        return false;
    const Slot& slot = m_slots[Find(hash)];
    return slot.hash == hash && slot.count > 0;
}

void EntryIndex::LoginCounts::Clear() {
    std::vector<Slot>().swap(m_slots);
    m_used = 0;
}
