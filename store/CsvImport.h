// Planning an import: which of the rows of another program's export, or of another account book,
// can come into the open book's list, and what the user should be told about the rest. Nothing is
// changed here; the caller appends the plan's entries once the user agreed.
//
// A file is recognised by its header line's column names, never by the order of its columns; a
// name matches whatever its case and surrounding blanks. Each of the three texts takes:
// - ID(Account): the username column ("username", "user name", "login name", "login_username",
//   "login", "user");
// - Password: the password column ("password", "login_password");
// - Comment: the title column ("title", "name", "account", "group/title"), or, where the file has
//   none or the row's title is empty, the web address ("url", "login_uri", "web site", "website",
//   "uri"); cut at a UTF-8 character boundary when longer than 128 bytes.
// A file without a username or a password column is refused. Every other column with text in a
// row (groups, notes, one-time-password seeds, further fields, a web address beside a title) is not
// carried, and the plan counts the rows that had any; a column that only describes the record (times,
// identifiers, icons, favourite marks, KeePassXC's top group "Root") holds nothing to carry.
// A row comes in under the rules of Insert: an account ID and a password of at most 128 bytes each,
// and no row identical in all three texts to a row of the list or to an earlier row of the file.
#pragma once

#include "AccountBook.h"
#include "CsvParser.h"
#include "EntryIndex.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most rows a file may bring in at once; a larger file is refused whole.
inline constexpr std::size_t kMaxImportRows = 200'000;
// The most refused rows a plan lists; it counts them all.
inline constexpr std::size_t kMostRefusedRowsListed = 1'000;

// Why a row cannot come in.
enum class RowProblem { NoAccount, NoPassword, AccountTooLong, PasswordTooLong };

// The reason as the user reads it: "no account ID", "no password", "account ID longer than 128
// bytes", "password longer than 128 bytes".
const char* DescribeRowProblem(RowProblem problem);

// A row that cannot come in; none of its texts is kept.
struct RefusedRow {
    std::size_t line = 0; // the line it starts on; for a book, the entry's place in its list, from 1
    RowProblem problem = RowProblem::NoAccount;
};

// What an import would do.
struct ImportPlan {
    std::string source;                         // what the file was recognised as, e.g. "Firefox"
    AccountEntries entries;                     // the rows to add, in file order (item numbers -1)
    std::size_t alreadyInList = 0;              // rows identical to a row of the list or an earlier one
    std::size_t refusedRows = 0;                // rows that cannot come in
    std::vector<RefusedRow> refused;            // the first kMostRefusedRowsListed of them, in file order
    std::size_t rowsWithDataNotCarried = 0;     // rows to add that held text the book has no place for
    std::vector<std::string> columnsNotCarried; // the columns that held it, named as in the file, in its order
    std::size_t commentsCut = 0;                // rows to add whose comment was cut to 128 bytes

    // Empties the plan, its entries' storage zeroed.
    void Clear();
};

// What the source names for a file recognised only by its username and password columns.
inline constexpr char kGenericCsvSource[] = "CSV file with username and password columns";
// What the source names for another account book.
inline constexpr char kAccountBookSource[] = "account book";

// Plans the import of a comma- or tab-separated text against the list's index. False, with the
// reason and an empty plan, for a text the reader refuses (see CsvParser.h), one whose first line
// names no username or no password column (the reason names the columns it needs), and one of more
// than kMaxImportRows rows.
bool PlanCsvImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason);

// As PlanCsvImport, for the file at path, read with ReadImportFile.
bool PlanCsvFileImport(const std::string& path, const EntryIndex& list, ImportPlan& plan, std::string& reason);

// Plans the import of another book's entries against the list's index, under the same rules. The
// caller loads the book and checks its administrator and password, as a login does.
void PlanBookImport(const AccountBook& book, const EntryIndex& list, ImportPlan& plan);
