#include "CsvImport.h"

#include "CsvHeaderNames.h"

#include <algorithm>

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The name without the blanks around it.
std::string_view Trimmed(std::string_view name) {
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return name.substr(first, name.find_last_not_of(" \t") + 1 - first);
}

bool Holds(std::initializer_list<std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

const std::initializer_list<std::string_view>& NamesOf(ColumnRole role) {
    const auto roles = CsvColumnRoleNames();
    return std::find_if(roles.begin(), roles.end(), [role](const ColumnRoleNames& r) { return r.role == role; })->names;
}

// "username" (or "user name", ... or "user")
std::string NamesText(ColumnRole role) {
    const auto& names = NamesOf(role);
    std::string text = "\"" + std::string(*names.begin()) + "\" (or ";
    for (auto name = names.begin() + 1; name != names.end(); ++name) {
        if (name != names.begin() + 1)
            text += name + 1 == names.end() ? " or " : ", ";
        text += "\"" + std::string(*name) + "\"";
    }
    return text + ")";
}

std::string NeededColumns() {
    return "an import needs a column named " + NamesText(ColumnRole::Username) + " and one named " +
           NamesText(ColumnRole::Password) + ", in any order, whatever their case";
}

// A group that is the top group, or a group path without a parent, names no group of its own: an
// export of every entry writes its top group's name (KeePassXC's "Root" or "Passwords") on each
// entry at the top.
bool IsTopGroup(std::string_view group) {
    return group.find('/') == std::string_view::npos;
}

// Which column of a file's header fills what.
class HeaderColumns {
public:
    explicit HeaderColumns(const CsvReader& header) {
        for (std::size_t column = 0; column < header.Columns(); ++column) {
            m_names.emplace_back(Trimmed(header.Field(column)));
            m_keys.push_back(AsciiLowercase(m_names.back()));
        }
        m_roles.assign(m_keys.size(), ColumnRole::Other);
        for (const ColumnRoleNames& role : CsvColumnRoleNames())
            AssignRole(role);
    }

    std::size_t Of(ColumnRole role) const {
        const auto found = std::find(m_roles.begin(), m_roles.end(), role);
        return found == m_roles.end() ? kNone : std::size_t(found - m_roles.begin());
    }

    // Why the file cannot be imported; empty when it can.
    std::string Missing() const {
        const bool username = Of(ColumnRole::Username) != kNone;
        const bool password = Of(ColumnRole::Password) != kNone;
        if (username && password)
            return {};
        const std::string missing = !username && !password ? "no username column and no password column"
                                    : !username            ? "no username column"
                                                           : "no password column";
        return "the file's first line names " + missing + "; " + NeededColumns();
    }

    const char* Source() const {
        for (const KnownCsvExport& known : KnownCsvExports()) {
            if (Recognises(known))
                return known.source;
        }
        return kGenericCsvSource;
    }

    // Whether the column's text in a row, beside the comment taken from it, is left behind.
    bool LeftBehind(std::size_t column, std::string_view text, std::string_view comment) const {
        if (text.empty())
            return false;
        switch (RoleOf(column)) {
        case ColumnRole::Username:
        case ColumnRole::Password:
        case ColumnRole::Title:
        case ColumnRole::Description:
            return false;
        case ColumnRole::Url:
            return text != comment;
        case ColumnRole::Group:
            return !IsTopGroup(text);
        case ColumnRole::Notes:
        case ColumnRole::Other:
            break;
        }
        return true;
    }

    // A field beyond the header's names is some other data.
    ColumnRole RoleOf(std::size_t column) const {
        return column < m_roles.size() ? m_roles[column] : ColumnRole::Other;
    }

    // The column's name as the file wrote it.
    std::string NameOf(std::size_t column) const {
        return column < m_names.size() ? m_names[column] : "column " + std::to_string(column + 1);
    }

private:
    // The first column with the role's most telling name takes it; a column takes one role only.
    void AssignRole(const ColumnRoleNames& role) {
        for (const std::string_view name : role.names) {
            for (std::size_t column = 0; column < m_keys.size(); ++column) {
                if (m_keys[column] == name && m_roles[column] == ColumnRole::Other) {
                    m_roles[column] = role.role;
                    if (role.role != ColumnRole::Description)
                        return;
                }
            }
        }
    }

    bool Recognises(const KnownCsvExport& known) const {
        const auto has = [this](std::string_view name) {
            return std::find(m_keys.begin(), m_keys.end(), name) != m_keys.end();
        };
        if (!std::all_of(known.columns.begin(), known.columns.end(), has))
            return false;
        return known.onlyWith.size() == 0 ||
               std::all_of(m_keys.begin(), m_keys.end(), [&known](const std::string& key) {
                   return Holds(known.columns, key) || Holds(known.onlyWith, key);
               });
    }

    std::vector<std::string> m_names;
    std::vector<std::string> m_keys;
    std::vector<ColumnRole> m_roles;
};

bool IsEmptyRow(const CsvReader& row) {
    for (std::size_t column = 0; column < row.Columns(); ++column) {
        if (!row.Field(column).empty())
            return false;
    }
    return true;
}

// Reads the header; false with the reason when it cannot be read or lacks a needed column.
bool ReadHeader(CsvReader& reader, std::string& reason) {
    if (!reader.Next()) {
        reason = !reader.Failure().empty() ? reader.Failure() : "the file is empty; " + NeededColumns();
        return false;
    }
    if (!reader.Problem().empty()) {
        reason = "line " + std::to_string(reader.Line()) + ": " + reader.Problem();
        return false;
    }
    return true;
}

// Takes the rows that follow the header into the plan, and what they leave behind.
class CsvRows {
public:
    CsvRows(const HeaderColumns& columns, ImportPlanBuilder& builder)
        : m_columns(columns), m_builder(builder), m_username(columns.Of(ColumnRole::Username)),
          m_password(columns.Of(ColumnRole::Password)), m_title(columns.Of(ColumnRole::Title)),
          m_url(columns.Of(ColumnRole::Url)) {}

    void Offer(const CsvReader& row) {
        if (!m_builder.Offer(row.Line(), row.Field(m_username), row.Field(m_password), row.Field(m_title),
                             row.Field(m_url)))
            return;
        const std::string_view comment = !row.Field(m_title).empty() ? row.Field(m_title) : row.Field(m_url);
        bool leavesData = false;
        bool leavesNotes = false;
        for (std::size_t column = 0; column < row.Columns(); ++column) {
            if (!m_columns.LeftBehind(column, row.Field(column), comment))
                continue;
            m_leftBehind.resize(std::max(m_leftBehind.size(), column + 1));
            m_leftBehind[column] = leavesData = true;
            leavesNotes = leavesNotes || m_columns.RoleOf(column) == ColumnRole::Notes;
        }
        if (leavesData)
            m_builder.LeavesData(row.Line(), leavesNotes);
    }

    // Names the columns that left data behind, in the file's order.
    void NameColumnsLeftBehind() const {
        for (std::size_t column = 0; column < m_leftBehind.size(); ++column) {
            if (m_leftBehind[column])
                m_builder.LeavesColumn(m_columns.NameOf(column));
        }
    }

private:
    const HeaderColumns& m_columns;
    ImportPlanBuilder& m_builder;
    const std::size_t m_username;
    const std::size_t m_password;
    const std::size_t m_title;
    const std::size_t m_url;
    std::vector<bool> m_leftBehind;
};

// Plans the rows that follow the header; false with the reason when the text is refused.
bool PlanRows(CsvReader& reader, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    if (!ReadHeader(reader, reason))
        return false;
    const HeaderColumns columns(reader);
    reason = columns.Missing();
    if (!reason.empty())
        return false;
    ImportPlanBuilder builder(list, plan, columns.Source(), "Line");
    if (plan.source == kPasswordSafeSource && reader.Separator() == '\t')
        reader.ReadVerbatimExcept(columns.Of(ColumnRole::Notes));
    CsvRows rows(columns, builder);
    std::size_t unreadable = 0;
    std::string firstProblem;
    while (reader.Next()) {
        if (reader.Problem().empty() && IsEmptyRow(reader))
            continue;
        if (builder.Rows() == kMaxImportRows) {
            reason = "the file has more than " + std::to_string(kMaxImportRows) + " rows, more than one import takes";
            return false;
        }
        if (reader.Problem().empty()) {
            rows.Offer(reader);
            continue;
        }
        if (unreadable++ == 0)
            firstProblem = "line " + std::to_string(reader.Line()) + ": " + reader.Problem();
        builder.Refuse(reader.Line(), RowProblem::Unreadable, {}, reader.Problem());
    }
    reason = reader.Failure();
    if (reason.empty() && unreadable * 2 > builder.Rows())
        reason = std::to_string(unreadable) + " of the file's " + std::to_string(builder.Rows()) +
                 " records cannot be read, the first at " + firstProblem;
    rows.NameColumnsLeftBehind();
    return reason.empty();
}

} // namespace

bool PlanCsvImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    CsvReader reader(text);
    if (PlanRows(reader, list, plan, reason))
        return true;
    plan.Clear();
    return false;
}
