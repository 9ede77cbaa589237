#include "UndoHistory.h"

#include <algorithm>
#include <utility>

namespace {

// Adds a record to the records, made in place, so that no copy of its texts is left behind.
JournalRecord& Put(JournalRecords& records, JournalChange change, std::size_t row,
                   const AccountEntry* entry = nullptr) {
    JournalRecord& record = records.emplace_back();
    record.change = change;
    record.row = row;
    if (entry)
        record.entry = *entry;
    record.entry.nIndex = -1;
    return record;
}

std::size_t RecordsOf(const UndoStep& step) {
    return step.done.size() + step.undone.size();
}

} // namespace

UndoStep InsertStep(std::size_t row, const AccountEntry& inserted) {
    UndoStep step{"Insert", {}, {}};
    Put(step.done, JournalChange::Insert, row, &inserted);
    Put(step.undone, JournalChange::Delete, row);
    return step;
}

UndoStep UpdateStep(std::size_t row, const AccountEntry& before, const AccountEntry& after) {
    UndoStep step{"Update", {}, {}};
    Put(step.done, JournalChange::Update, row, &after);
    Put(step.undone, JournalChange::Update, row, &before);
    return step;
}

UndoStep DeleteStep(std::size_t row, const AccountEntry& deleted) {
    UndoStep step{"Delete", {}, {}};
    Put(step.done, JournalChange::Delete, row);
    Put(step.undone, JournalChange::InsertAt, row, &deleted);
    return step;
}

// The rows go last first, so that each delete takes the list's last row.
UndoStep AppendStep(std::string_view what, std::size_t firstRow, const AccountEntries& added) {
    UndoStep step{std::string(what), {}, {}};
    step.done.reserve(added.size() + 1);
    step.undone.reserve(added.size() + 1);
    Put(step.done, JournalChange::Batch, added.size());
    Put(step.undone, JournalChange::Removal, added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        Put(step.done, JournalChange::Insert, firstRow + i, &added[i]);
        Put(step.undone, JournalChange::Delete, firstRow + added.size() - 1 - i);
    }
    return step;
}

UndoStep AdminPasswordStep(std::string_view before, std::string_view after) {
    UndoStep step{"Change Password", {}, {}};
    CopyFieldText(Put(step.done, JournalChange::AdminPassword, 0).entry.szPassword, after);
    CopyFieldText(Put(step.undone, JournalChange::AdminPassword, 0).entry.szPassword, before);
    return step;
}

bool FitsRows(const JournalRecords& records, std::size_t rows) {
    for (const JournalRecord& record : records) {
        switch (record.change) {
        case JournalChange::Insert:
            if (record.row != rows++)
                return false;
            break;
        case JournalChange::InsertAt:
            if (record.row > rows++)
                return false;
            break;
        case JournalChange::Update:
            if (record.row >= rows)
                return false;
            break;
        case JournalChange::Delete:
            if (record.row >= rows--)
                return false;
            break;
        case JournalChange::Batch:
        case JournalChange::Removal:
        case JournalChange::AdminPassword:
            break;
        case JournalChange::Snapshot:
            return false;
        }
    }
    return true;
}

bool RepeatsRow(const JournalRecords& records, const EntryIndex& index) {
    return std::any_of(records.begin(), records.end(), [&](const JournalRecord& record) {
        const bool bringsTexts = record.change == JournalChange::Insert || record.change == JournalChange::InsertAt ||
                                 record.change == JournalChange::Update;
        return bringsTexts && index.Contains(TextsOf(record.entry));
    });
}

void UndoHistory::Add(UndoStep step) {
    while (m_steps.size() > m_done) {
        m_records -= RecordsOf(m_steps.back());
        m_steps.pop_back();
    }
    if (RecordsOf(step) > m_maxRecords) {
        Clear();
        return;
    }
    m_records += RecordsOf(step);
    m_steps.push_back(std::move(step));
    m_done = m_steps.size();
    while (m_steps.size() > m_maxSteps || m_records > m_maxRecords)
        DropOldest();
}

void UndoHistory::Undone() {
    if (m_done > 0)
        --m_done;
}

void UndoHistory::Redone() {
    if (m_done < m_steps.size())
        ++m_done;
}

void UndoHistory::Clear() {
    m_steps.clear();
    m_done = 0;
    m_records = 0;
}

void UndoHistory::DropOldest() {
    m_records -= RecordsOf(m_steps.front());
    m_steps.erase(m_steps.begin());
    --m_done;
}
