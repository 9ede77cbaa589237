// What an import would do, whatever the file it reads: which rows come into the open book's list,
// and what the user should be told about the rest before anything changes. The readers of each kind
// of file offer their rows to an ImportPlanBuilder, which applies the rules of Insert: an account ID
// and a password of at most 128 bytes each, and no row identical in all three texts to a row of the
// list or to an earlier row of the file.
#pragma once

#include "AccountBook.h"
#include "EntryIndex.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most rows a file may bring in at once; a larger file is refused whole.
inline constexpr std::size_t kMaxImportRows = 200'000;
// The most rows a plan lists as left out or worth a look; it counts them all.
inline constexpr std::size_t kMostLeftOutRowsListed = 1'000;

// Why a row cannot come in.
enum class RowProblem { Unreadable, NotALogin, NoAccount, NoPassword, AccountTooLong, PasswordTooLong, NulCharacter };

// The reason as the user reads it, e.g. "no account ID" or "password longer than 128 bytes".
const char* DescribeRowProblem(RowProblem problem);

// Why a row is listed under Show Left Out.
enum class LeftOutKind {
    Refused,        // it cannot come in
    InList,         // identical to a row of the list
    RepeatsEarlier, // identical to an earlier row of the file
    NotesStay,      // it comes in, its notes do not
    NearDuplicate,  // it comes in unless the user leaves such rows out
};

// A row listed under Show Left Out: where it is, its title, and why; never its password.
struct LeftOutRow {
    std::size_t place = 0; // the line it starts on; for a book or a JSON file, its place in the list, from 1
    LeftOutKind kind = LeftOutKind::Refused;
    RowProblem problem = RowProblem::NoAccount; // for a refused row
    std::string title;                          // the comment it would have had; may be empty
    std::string detail;                         // what the reader found, for an unreadable row or not a login
};

// The reason as the user reads it, e.g. "no account ID" or "already in the list".
std::string DescribeLeftOut(const LeftOutRow& row);

struct ImportPlan {
    std::string source;                         // what the file was recognised as, e.g. "Firefox"
    std::string placeName;                      // what LeftOutRow::place counts: "Line" or "Entry"
    std::string conversion;                     // how the text was made UTF-8; empty when it was UTF-8
    AccountEntries entries;                     // the rows to add, in file order (item numbers -1)
    std::size_t alreadyInList = 0;              // rows identical to a row of the list or an earlier one
    std::size_t refusedRows = 0;                // rows that cannot come in, unreadable ones included
    std::size_t rowsWithDataNotCarried = 0;     // rows to add that held text the book has no place for
    std::vector<std::string> columnsNotCarried; // the columns (or fields) that held it, in the file's order
    std::size_t rowsWithNotesLeft = 0;          // rows to add whose notes stay behind
    std::vector<std::size_t> nearDuplicates;    // entries with the account ID and password of an earlier one
    std::size_t commentsCut = 0;                // rows to add whose comment was cut to 128 bytes
    std::vector<LeftOutRow> leftOut;            // the first kMostLeftOutRowsListed of the rows listed, in file order
    std::size_t leftOutRows = 0;                // how many rows are listed, counting those past the limit

    // Empties the plan, its entries' storage zeroed.
    void Clear();
    // Takes the near duplicates out of the entries to add.
    void LeaveOutNearDuplicates();
};

// What the source names for another account book.
inline constexpr char kAccountBookSource[] = "account book";

// The title, or where it is empty the web address, cut to kMaxTextBytes before the character that
// would cross the limit (bytes that are not UTF-8 are cut where the limit falls).
std::string_view CommentOf(std::string_view title, std::string_view url);

// Takes the rows offered one by one into the plan, which it empties first.
class ImportPlanBuilder {
public:
    ImportPlanBuilder(const EntryIndex& list, ImportPlan& plan, std::string source, std::string placeName);

    // Whether the row is to be added, with the title (or url) as its comment; otherwise the plan
    // lists it as refused or already in the list. The texts are the row's own, uncut.
    bool Offer(std::size_t place, std::string_view account, std::string_view password, std::string_view title,
               std::string_view url = {});
    // Lists a row that cannot come in for a reason of its own.
    void Refuse(std::size_t place, RowProblem problem, std::string_view title, std::string detail = {});
    // Counts the row just added as holding data the book has no place for; its notes, when any, are listed.
    void LeavesData(std::size_t place, bool withNotes);
    // Names a column or field whose data stays behind, once.
    void LeavesColumn(std::string_view name);
    // How many records were offered or refused.
    std::size_t Rows() const { return m_rows; }

private:
    void List(LeftOutRow row);

    const EntryIndex& m_list;
    ImportPlan& m_plan;
    EntryIndex m_planned; // the rows taken so far
    std::size_t m_rows = 0;
};
