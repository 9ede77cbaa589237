#include "JournalReplay.h"

#include <limits>
#include <vector>

namespace {

// Rows removed but still held before they are dropped for good, beyond the number of rows there.
constexpr std::size_t kRemovedSlack = 4096;

// The rows while a journal is replayed. They stay where they were made: a removed row is only
// marked as gone, and a tree of counts (a Fenwick tree over the rows still there) finds the n-th
// row in logarithmic time, so that a Delete costs no more at 100,000 rows than at 10. Rows gone
// are dropped for good once they outnumber the rows still there.
class ReplayRows {
public:
    explicit ReplayRows(AccountEntries& entries) : m_entries(entries), m_count(entries.size()) {
        m_there.assign(entries.size(), 1);
        Rebuild(entries.size());
    }

    // The rows still there.
    std::size_t Count() const { return m_count; }
    // The rows made so far, gone ones included: a mark to go back to.
    std::size_t Made() const { return m_entries.size(); }

    void Append(const AccountEntry& entry) {
        if (m_entries.size() == m_tree.size() - 1)
            Rebuild(2 * m_entries.size());
        m_entries.push_back(entry);
        m_there.push_back(1);
        Add(m_entries.size() - 1, 1);
        ++m_count;
    }

    // Puts a row in at its place. An undone delete is rare, so the rows are laid out anew for it
    // rather than kept in a structure that could insert among them.
    void InsertAt(std::size_t row, const AccountEntry& entry) {
        if (row == m_count)
            return Append(entry);
        DropGone();
        m_entries.insert(m_entries.begin() + std::ptrdiff_t(row), entry);
        m_there.assign(m_entries.size(), 1);
        ++m_count;
        Rebuild(2 * m_entries.size());
    }

    AccountEntry& At(std::size_t row) { return m_entries[Find(row)]; }

    void Erase(std::size_t row) {
        const std::size_t index = Find(row);
        WipeBytes(&m_entries[index], sizeof(AccountEntry));
        m_there[index] = 0;
        Add(index, -1);
        --m_count;
        if (++m_gone > m_count + kRemovedSlack)
            DropGone();
    }

    // Takes back every row made since the mark, once the replay has ended: they are all still there
    // (a batch only inserts), and no row is looked up after them, so the tree of counts is left be.
    void RemoveMadeSince(std::size_t mark) {
        WipeBytes(m_entries.data() + mark, (m_entries.size() - mark) * sizeof(AccountEntry));
        m_count -= m_entries.size() - mark;
        m_entries.resize(mark);
        m_there.resize(mark);
    }

    // Keeps only the rows made since the mark: a snapshot replaces every row before it.
    void KeepOnlyMadeSince(std::size_t mark) {
        for (std::size_t index = 0; index < mark; ++index)
            if (m_there[index]) {
                m_there[index] = 0;
                --m_count;
                ++m_gone;
            }
        DropGone();
    }

    // Leaves the entries holding the rows still there, in order.
    void Finish() { DropGone(); }

private:
    // The index of the row-th row still there, counted from 0.
    std::size_t Find(std::size_t row) const {
        std::size_t position = 0;
        std::size_t remaining = row + 1;
        for (std::size_t step = m_highestStep; step > 0; step >>= 1)
            if (position + step < m_tree.size() && m_tree[position + step] < remaining) {
                position += step;
                remaining -= m_tree[position];
            }
        return position;
    }

    void Add(std::size_t index, int delta) {
        for (std::size_t node = index + 1; node < m_tree.size(); node += node & (~node + 1))
            m_tree[node] = std::size_t(std::ptrdiff_t(m_tree[node]) + delta);
    }

    // Makes a tree for at least the capacity given, from which rows are there.
    void Rebuild(std::size_t capacity) {
        std::size_t size = 1;
        while (size < capacity || size < m_there.size())
            size <<= 1;
        m_highestStep = size;
        m_tree.assign(size + 1, 0);
        for (std::size_t index = 0; index < m_there.size(); ++index)
            m_tree[index + 1] += m_there[index];
        for (std::size_t node = 1; node <= size; ++node) {
            const std::size_t parent = node + (node & (~node + 1));
            if (parent <= size)
                m_tree[parent] += m_tree[node];
        }
    }

    void DropGone() {
        if (m_gone == 0)
            return;
        std::size_t kept = 0;
        for (std::size_t index = 0; index < m_entries.size(); ++index)
            if (m_there[index])
                m_entries[kept++] = m_entries[index];
        WipeBytes(m_entries.data() + kept, (m_entries.size() - kept) * sizeof(AccountEntry));
        m_entries.resize(kept);
        m_there.assign(kept, 1);
        m_gone = 0;
        Rebuild(kept);
    }

    AccountEntries& m_entries;
    std::vector<unsigned char> m_there; // 1 for a row still there, 0 for one gone
    std::vector<std::size_t> m_tree;    // counts of rows there, 1-based
    std::size_t m_highestStep = 1;
    std::size_t m_count = 0; // rows there
    std::size_t m_gone = 0;  // rows gone but still held
};

// Whether a batch's or snapshot's count, with the record itself, passes the largest count there is:
// no journal the program wrote holds that many records, and it would wrap to none.
bool CountWraps(const JournalRecord& record) {
    return record.row == std::numeric_limits<std::size_t>::max();
}

// Whether a whole record fits the rows it would change. Within a batch or a snapshot only inserts
// stand, numbered on from the rows before them (for a snapshot, from its first row).
bool Fits(const JournalRecord& record, std::size_t nextRow, std::size_t rows, bool inBatch, bool first) {
    if (inBatch)
        return record.change == JournalChange::Insert && record.row == nextRow;
    switch (record.change) {
    case JournalChange::Insert:
        return record.row == rows;
    case JournalChange::InsertAt:
        return record.row <= rows;
    case JournalChange::Removal:
        return record.row > 0 && record.row <= rows;
    case JournalChange::Update:
    case JournalChange::Delete:
        return record.row < rows;
    case JournalChange::AdminPassword:
        return true;
    case JournalChange::Batch:
        return record.row > 0 && !CountWraps(record);
    case JournalChange::Snapshot:
        return first && !CountWraps(record);
    }
    return false;
}

// Whether a delete within a removal fits the rows that the removal's earlier deletes leave.
bool FitsRemoval(const JournalRecord& record, std::size_t rowsLeft) {
    return record.change == JournalChange::Delete && record.row < rowsLeft;
}

} // namespace

ReplayResult ReplayJournal(JournalReader& reader, AccountBook& book) {
    ReplayResult result;
    result.end = reader.RecordEnd();
    ReplayRows rows(book.vecEntries);
    JournalRecord record;
    std::size_t batchLeft = 0; // inserts still to come in the batch or snapshot under way
    std::size_t batchMark = 0; // the rows made before it
    bool snapshot = false;
    // The deletes of a removal under way, applied only once it is whole.
    bool removal = false;
    std::vector<std::size_t> removed;
    for (bool first = true;; first = false) {
        result.stop = reader.Next(record);
        if (result.stop != JournalStep::Record)
            break;
        const std::size_t nextRow = snapshot ? rows.Made() - batchMark : rows.Count();
        const bool fits = removal && batchLeft > 0 ? FitsRemoval(record, rows.Count() - removed.size())
                                                   : Fits(record, nextRow, rows.Count(), batchLeft > 0, first);
        if (!fits) {
            result.stop = JournalStep::Damaged;
            result.unfit = true;
            break;
        }
        switch (record.change) {
        case JournalChange::Insert:
            rows.Append(record.entry);
            break;
        case JournalChange::Update:
            rows.At(record.row) = record.entry;
            break;
        case JournalChange::InsertAt:
            rows.InsertAt(record.row, record.entry);
            break;
        case JournalChange::Delete:
            if (removal)
                removed.push_back(record.row);
            else
                rows.Erase(record.row);
            break;
        case JournalChange::Removal:
            removal = true;
            batchLeft = record.row + 1;
            break;
        case JournalChange::AdminPassword:
            CopyFieldText(book.szAdminPassword, FieldText(record.entry.szPassword));
            break;
        case JournalChange::Batch:
        case JournalChange::Snapshot:
            snapshot = record.change == JournalChange::Snapshot;
            batchMark = rows.Made();
            batchLeft = record.row + 1; // counted down by this record too
            break;
        }
        if (batchLeft > 0 && --batchLeft > 0)
            continue;
        if (snapshot)
            rows.KeepOnlyMadeSince(batchMark);
        for (const std::size_t row : removed)
            rows.Erase(row);
        removed.clear();
        snapshot = removal = false;
        ++result.applied;
        result.end = reader.RecordEnd();
    }
    if (batchLeft > 0) {
        // A removal cut short took nothing away yet.
        if (!removal)
            rows.RemoveMadeSince(batchMark);
        // A batch cut short at a line's end is a write that never finished, like a torn record.
        if (result.stop == JournalStep::End)
            result.stop = JournalStep::Torn;
    }
    if (result.stop == JournalStep::Damaged)
        result.notApplied = reader.CountRecordsFrom(result.end);
    rows.Finish();
    WipeBytes(&record, sizeof record);
    return result;
}
