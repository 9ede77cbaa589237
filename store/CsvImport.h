// Planning the import of another program's CSV export (see ImportPlan.h for the rules every row
// comes in under).
//
// A file is recognised by its header line's column names, never by the order of its columns; a
// name matches whatever its case and surrounding blanks (CsvHeaderNames.h holds the names). Each
// of the three texts takes:
// - ID(Account): the username column;
// - Password: the password column;
// - Comment: the title column, or, where the file has none or the row's title is empty, the web
//   address; cut at a UTF-8 character boundary when longer than 128 bytes.
// A file without a username or a password column is refused. Every other column with text in a
// row (groups, notes, one-time-password seeds, further fields, a web address beside a title) is not
// carried, and the plan counts the rows that had any and lists those with notes; a column that only
// describes the record (times, identifiers, icons, favourite marks, KeePassXC's top group, whatever
// its name) holds nothing to carry.
// A record the reader cannot read is refused alone, listed with its line and the reader's reason;
// the whole file is refused when its header cannot be read or more than half its records cannot.
#pragma once

#include "CsvParser.h"
#include "ImportPlan.h"

#include <string>
#include <string_view>

// What the source names for a file recognised only by its username and password columns.
inline constexpr char kGenericCsvSource[] = "CSV file with username and password columns";

// Plans the import of a UTF-8 comma-, semicolon- or tab-separated text against the list's index.
// False, with the reason and an empty plan, for a text the reader refuses (see CsvParser.h), one
// whose first line cannot be read or names no username or no password column (the reason names the
// columns it needs), one of which more than half the records cannot be read, and one of more than
// kMaxImportRows rows.
bool PlanCsvImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason);
