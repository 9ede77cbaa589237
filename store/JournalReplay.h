// Bringing a session back: the records of a journal applied to the book, as they are read.
#pragma once

#include "AccountBook.h"
#include "BookJournal.h"

#include <cstddef>

// How far a journal could be brought back.
struct ReplayResult {
    std::size_t applied = 0;             // changes applied; a batch of inserts counts as one
    JournalStep stop = JournalStep::End; // End and Torn: every whole change applied; Damaged: stopped early
    bool unfit = false;                  // stopped at a whole record that does not fit the rows it would change
    off_t end = 0;                       // where the last change applied ends in the journal
    std::size_t notApplied = 0;          // records from there on that were not applied, when stopped early
};

// Applies the journal's records, from the reader's position on, to the book's entries and
// administrator password, in order, each as it is read: memory follows the book, not the journal,
// and every change costs the same whatever the number of rows. Stops at the first record that is
// damaged or does not fit the rows; a batch or snapshot that is not whole is not applied at all.
ReplayResult ReplayJournal(JournalReader& reader, AccountBook& book);
