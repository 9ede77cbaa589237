// The Check Passwords report: the entries with a problem, worst first, each with the other entries
// that share its password, so that a person fixing them starts where it matters most.
#pragma once

#include "PasswordHealth.h"

#include <cstddef>
#include <vector>

// One line of the report.
struct HealthReportLine {
    std::size_t row = 0;                 // the entry's row in the book's list
    std::vector<std::size_t> sharedWith; // the first other rows holding the same password, in list order
};

// The entries with a problem, in this order: those whose password is the administrator's, then the
// weak ones, weakest first, then those only shared with others, each password's entries together.
// Equal lines keep list order. Each line names at most namedSharers of the others sharing its
// password (EntryHealth::usedBy counts them all), so a password shared by every entry of a large book
// costs no more than one that is not.
std::vector<HealthReportLine> OrderHealthReport(const BookHealth& health, std::size_t namedSharers);
