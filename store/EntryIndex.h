// The exact-duplicate index of a list of entries: how many rows hold each combination of the three
// texts, so that the duplicate check of Insert, Update and an import costs the same in a list of
// 100,000 rows as in one of ten. A loaded book may hold exact duplicates already, hence the counts.
// The index holds copies of the texts, passwords included: every byte of its storage is zeroed
// when given back, as the rows' own storage is.
#pragma once

#include "AccountBook.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class EntryIndex {
public:
    EntryIndex() = default;
    // The index of the entries' texts.
    explicit EntryIndex(const AccountEntries& entries);

    // Counts one more row holding the texts.
    void Add(const EntryTexts& texts);
    // As Add, with the login's hash already made.
    void Add(const EntryTexts& texts, std::uint64_t loginHash);
    // Counts one row fewer holding the texts; false, and nothing changes, when no row holds them.
    bool Remove(const EntryTexts& texts);
    // Whether a row holds exactly these three texts.
    bool Contains(const EntryTexts& texts) const;
    // The keyed hash of an account ID and password, made once for ContainsLogin in several indexes.
    static std::uint64_t LoginHash(std::string_view account, std::string_view password);
    // Whether a row holds the account ID and password of the hash, whatever its comment.
    bool ContainsLogin(std::uint64_t loginHash) const;

    // How many rows are counted.
    std::size_t Rows() const { return m_rows; }
    // Forgets every row and gives the storage back, zeroed.
    void Clear();
    // Makes room for the rows, so that adding them does not rearrange the index.
    void Reserve(std::size_t rows);

private:
    // One combination of texts: the three one after another, and where the first two end.
    struct Key {
        explicit Key(const EntryTexts& texts);
        EntryTexts Texts() const;

        std::vector<char, WipingAllocator<char>> joined;
        std::size_t accountEnd = 0;
        std::size_t passwordEnd = 0;
    };
    // A key is looked up by the texts themselves, so that a lookup copies nothing.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(const EntryTexts& texts) const;
        std::size_t operator()(const Key& key) const { return (*this)(key.Texts()); }
    };
    struct Equal {
        using is_transparent = void;
        static EntryTexts Texts(const EntryTexts& texts) { return texts; }
        static EntryTexts Texts(const Key& key) { return key.Texts(); }
        template <class A, class B> bool operator()(const A& a, const B& b) const { return Texts(a) == Texts(b); }
    };
    using Counts =
        std::unordered_map<Key, std::size_t, Hash, Equal, WipingAllocator<std::pair<const Key, std::size_t>>>;

    Counts m_counts;
    // How many rows hold each account ID and password, by their keyed hash, so that a check for a
    // near duplicate needs no second copy of the texts. One flat table with linear probing: no block
    // per login, and a look-up reads one place of memory or the few after it.
    class LoginCounts {
    public:
        void Reserve(std::size_t logins);
        void Add(std::uint64_t hash);
        void Remove(std::uint64_t hash);
        bool Contains(std::uint64_t hash) const;
        void Clear();

    private:
        struct Slot {
            std::uint64_t hash = 0; // 0: never used
            std::size_t count = 0;  // 0 with a hash: every such row was removed
        };
        // The slot of the hash, or the unused slot where its run of slots ends.
        std::size_t Find(std::uint64_t hash) const;
        void Rebuild(std::size_t slots);

        std::vector<Slot> m_slots;
        std::size_t m_used = 0; // slots with a hash
    };

    LoginCounts m_logins;
    std::size_t m_rows = 0;
};
