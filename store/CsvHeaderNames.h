// The one home of what a CSV export's column names mean: which column fills which of the book's
// three texts, which hold data the book has no place for, and which exports are known by their
// names. Names are compared in lower case, without the blanks around them.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

// What a column holds, as far as the three texts are concerned.
enum class ColumnRole { Username, Password, Title, Url, Notes, Group, Description, Other };

struct ColumnRoleNames {
    ColumnRole role;
    std::initializer_list<std::string_view> names; // most telling first
};

// The roles in the order they take their columns: a column takes the first role that names it, and
// a role the first column with its most telling name.
std::span<const ColumnRoleNames> CsvColumnRoleNames();

// An export recognised by name: by the columns it always has and, where a file with those and
// further columns may come from elsewhere, by the only others it may have.
struct KnownCsvExport {
    const char* source;
    std::initializer_list<std::string_view> columns;
    std::initializer_list<std::string_view> onlyWith = {}; // empty: any further columns
};

// The exports recognised by name, the first that matches naming the file.
std::span<const KnownCsvExport> KnownCsvExports();

// The source Password Safe's plain-text export is recognised as; its fields are read as it writes
// them, unquoted, but for its Notes.
inline constexpr char kPasswordSafeSource[] = "Password Safe";
