#include "HealthReport.h"

#include <algorithm>
#include <unordered_map>

namespace {

// How serious a line's problem is: lower is worse.
int Rank(const EntryHealth& entry) {
    if (entry.sameAsAdmin)
        return 0;
    return entry.Weak() ? 1 : 2;
}

bool Before(const EntryHealth& a, const EntryHealth& b) {
    if (Rank(a) != Rank(b))
        return Rank(a) < Rank(b);
    // A shared but strong password's strength says nothing the line does not: its group decides.
    if (Rank(a) < 2 && a.rating.bits != b.rating.bits)
        return a.rating.bits < b.rating.bits;
    if (a.firstUser != b.firstUser)
        return a.firstUser < b.firstUser;
    return a.row < b.row;
}

} // namespace

std::vector<HealthReportLine> OrderHealthReport(const BookHealth& health, std::size_t namedSharers) {
    std::vector<const EntryHealth*> found;
    // First user -> the first users, one more than a line names, as a line never names itself.
    std::unordered_map<std::size_t, std::vector<std::size_t>> groups;
    for (const EntryHealth& entry : health.entries) {
        if (!entry.HasProblems())
            continue;
        found.push_back(&entry);
        if (!entry.Reused())
            continue;
        std::vector<std::size_t>& users = groups[entry.firstUser];
        if (users.size() <= namedSharers)
            users.push_back(entry.row);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const EntryHealth* a, const EntryHealth* b) { return Before(*a, *b); });

    std::vector<HealthReportLine> lines;
    lines.reserve(found.size());
    for (const EntryHealth* entry : found) {
        HealthReportLine line;
        line.row = entry->row;
        if (entry->Reused())
            for (const std::size_t other : groups[entry->firstUser])
                if (other != entry->row && line.sharedWith.size() < namedSharers)
                    line.sharedWith.push_back(other);
        lines.push_back(std::move(line));
    }
    return lines;
}
