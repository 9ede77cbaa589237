// The session's undo history: each change to the book as the journal records it, beside the records
// that take it back. Undoing and redoing are changes like any other, made and journaled from these
// records; the history only says which come next. It lasts the session, holds a bounded number of
// steps and records, and wipes the texts it held when it lets them go.
#pragma once

#include "BookJournal.h"
#include "EntryIndex.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One change the user can take back, and make again.
struct UndoStep {
    std::string what;      // what the change was, as the user knows it: "Delete", "Import"
    JournalRecords done;   // the records that make the change
    JournalRecords undone; // the records that take it back
};

// The steps of each kind of change, from the rows' texts before and after it.
UndoStep InsertStep(std::size_t row, const AccountEntry& inserted);
UndoStep UpdateStep(std::size_t row, const AccountEntry& before, const AccountEntry& after);
UndoStep DeleteStep(std::size_t row, const AccountEntry& deleted);
// Rows appended from firstRow on in one step, taken back in one step.
UndoStep AppendStep(std::string_view what, std::size_t firstRow, const AccountEntries& added);
UndoStep AdminPasswordStep(std::string_view before, std::string_view after);

// Whether the records can be applied, in order, to a list of that many rows: every row they name is
// there (an insert appends after the last one).
bool FitsRows(const JournalRecords& records, std::size_t rows);
// Whether applying the records would make a row hold the same texts as another row: a row they put
// in, or the texts an update gives a row, already held by a row of the index.
bool RepeatsRow(const JournalRecords& records, const EntryIndex& index);

class UndoHistory {
public:
    // Keeps at most this many steps, and records (the oldest steps go first).
    explicit UndoHistory(std::size_t maxSteps = 100, std::size_t maxRecords = 100000)
        : m_maxSteps(maxSteps), m_maxRecords(maxRecords) {}

    // A change made: it is the next to undo, and nothing undone can be redone any more. A change
    // too large to be kept leaves nothing to undo, since no earlier step follows on from it.
    void Add(UndoStep step);
    // The step the next undo takes back, or the one the next redo makes again; null when none.
    const UndoStep* NextUndo() const { return m_done > 0 ? &m_steps[m_done - 1] : nullptr; }
    const UndoStep* NextRedo() const { return m_done < m_steps.size() ? &m_steps[m_done] : nullptr; }
    // The next undo, or redo, was made.
    void Undone();
    void Redone();
    // Forgets every step, wiping its texts.
    void Clear();

private:
    void DropOldest();

    std::vector<UndoStep> m_steps; // in the order they were made
    std::size_t m_done = 0;        // the steps in effect: those before it can be undone, the rest redone
    std::size_t m_records = 0;     // records held by all the steps
    std::size_t m_maxSteps;
    std::size_t m_maxRecords;
};
