#include "CsvImport.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// What a column holds, as far as the three texts are concerned.
enum class Role { Username, Password, Title, Url, Group, Description, Other };

struct RoleNames {
    Role role;
    std::initializer_list<std::string_view> names; // most telling first
};

// Column names as the exports write them, lower case.
const RoleNames kRoleNames[] = {
    {Role::Username, {"username", "user name", "login name", "login_username", "login", "user"}},
    {Role::Password, {"password", "login_password"}},
    {Role::Title, {"title", "name", "account", "group/title"}},
    {Role::Url, {"url", "login_uri", "web site", "website", "uri"}},
    {Role::Group, {"group"}},
    // Columns that describe the record rather than the credential.
    {Role::Description,
     {"guid",
      "timecreated",
      "timelastused",
      "timepasswordchanged",
      "httprealm",
      "formactionorigin",
      "favorite",
      "fav",
      "type",
      "reprompt",
      "icon",
      "last modified",
      "created",
      "created time",
      "password modified time",
      "last access time",
      "password expiry date",
      "password expiry interval",
      "record modified time",
      "password policy",
      "password policy name",
      "protected",
      "symbols",
      "dca",
      "shift+dca",
      "keyboard shortcut"}},
};

// KeePassXC's top group holds every entry; naming it carries nothing.
constexpr std::string_view kTopGroup = "Root";

// The exports recognised by name: each by the columns it always has and, where a file with those
// and further columns may come from elsewhere, by the only others it may have.
struct KnownExport {
    const char* source;
    std::initializer_list<std::string_view> columns;
    std::initializer_list<std::string_view> onlyWith = {}; // empty: any further columns
};

const KnownExport kKnownExports[] = {
    {"Firefox", {"url", "username", "password", "httprealm", "formactionorigin", "guid"}},
    {"Bitwarden", {"folder", "name", "login_uri", "login_username", "login_password"}},
    {"KeePassXC", {"group", "title", "username", "password", "url", "notes"}},
    {"KeePass 1.x", {"account", "login name", "password", "web site", "comments"}},
    {"LastPass", {"url", "username", "password", "extra", "name", "grouping"}},
    {"Password Safe", {"group/title", "username", "password"}},
    {"Chrome, Chromium or Edge", {"name", "url", "username", "password"}, {"note"}},
};

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

const std::initializer_list<std::string_view>& NamesOf(Role role) {
    return std::find_if(std::begin(kRoleNames), std::end(kRoleNames),
                        [role](const RoleNames& r) { return r.role == role; })
        ->names;
}

// "username" (or "user name", ... or "user")
std::string NamesText(Role role) {
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
    return "an import needs a column named " + NamesText(Role::Username) + " and one named " +
           NamesText(Role::Password) + ", in any order, whatever their case";
}

// Which column of a file's header fills what.
class HeaderColumns {
public:
    explicit HeaderColumns(const CsvReader& header) {
        for (std::size_t column = 0; column < header.Columns(); ++column) {
            m_names.emplace_back(Trimmed(header.Field(column)));
            m_keys.push_back(AsciiLowercase(m_names.back()));
        }
        m_roles.assign(m_keys.size(), Role::Other);
        for (const RoleNames& role : kRoleNames)
            AssignRole(role);
    }

    std::size_t Of(Role role) const {
        const auto found = std::find(m_roles.begin(), m_roles.end(), role);
        return found == m_roles.end() ? kNone : std::size_t(found - m_roles.begin());
    }

    // Why the file cannot be imported; empty when it can.
    std::string Missing() const {
        const bool username = Of(Role::Username) != kNone;
        const bool password = Of(Role::Password) != kNone;
        if (username && password)
            return {};
        const std::string missing = !username && !password ? "no username column and no password column"
                                    : !username            ? "no username column"
                                                           : "no password column";
        return "the file's first line names " + missing + "; " + NeededColumns();
    }

    const char* Source() const {
        for (const KnownExport& known : kKnownExports) {
            if (Recognises(known))
                return known.source;
        }
        return kGenericCsvSource;
    }

    // Whether the column's text in a row, beside the comment taken from it, is left behind.
    bool LeftBehind(std::size_t column, std::string_view text, std::string_view comment) const {
        if (text.empty())
            return false;
        if (column >= m_roles.size()) // a field beyond the header's names
            return true;
        switch (m_roles[column]) {
        case Role::Username:
        case Role::Password:
        case Role::Title:
        case Role::Description:
            return false;
        case Role::Url:
            return text != comment;
        case Role::Group:
            return text != kTopGroup;
        case Role::Other:
            break;
        }
        return true;
    }

    // The column's name as the file wrote it.
    std::string NameOf(std::size_t column) const {
        return column < m_names.size() ? m_names[column] : "column " + std::to_string(column + 1);
    }

private:
    // The first column with the role's most telling name takes it; a column takes one role only.
    void AssignRole(const RoleNames& role) {
        for (const std::string_view name : role.names) {
            for (std::size_t column = 0; column < m_keys.size(); ++column) {
                if (m_keys[column] == name && m_roles[column] == Role::Other) {
                    m_roles[column] = role.role;
                    if (role.role != Role::Description)
                        return;
                }
            }
        }
    }

    bool Recognises(const KnownExport& known) const {
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
    std::vector<Role> m_roles;
};

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The text cut to kMaxTextBytes, before the character that would cross the limit. Bytes that are
// not UTF-8 are cut where the limit falls.
std::string_view CutToFit(std::string_view text) {
    if (text.size() <= kMaxTextBytes)
        return text;
    constexpr std::size_t kLongestCharacter = 4;
    for (std::size_t end = kMaxTextBytes; end + kLongestCharacter > kMaxTextBytes; --end) {
        if (!IsContinuationByte(text[end]))
            return text.substr(0, end);
    }
    return text.substr(0, kMaxTextBytes);
}

std::optional<RowProblem> ProblemOf(const EntryTexts& texts) {
    if (texts.account.empty())
        return RowProblem::NoAccount;
    if (texts.account.size() > kMaxTextBytes)
        return RowProblem::AccountTooLong;
    if (texts.password.empty())
        return RowProblem::NoPassword;
    if (texts.password.size() > kMaxTextBytes)
        return RowProblem::PasswordTooLong;
    return std::nullopt;
}

// Takes the rows offered one by one into the plan, under the rules of Insert.
class PlanBuilder {
public:
    PlanBuilder(const EntryIndex& list, ImportPlan& plan) : m_list(list), m_plan(plan) { m_plan.Clear(); }

    // Whether the row is to be added; otherwise the plan counts it as refused or already in the list.
    bool Offer(std::size_t line, const EntryTexts& texts) {
        if (const auto problem = ProblemOf(texts)) {
            if (m_plan.refused.size() < kMostRefusedRowsListed)
                m_plan.refused.push_back({line, *problem});
            ++m_plan.refusedRows;
            return false;
        }
        if (m_list.Contains(texts) || m_planned.Contains(texts)) {
            ++m_plan.alreadyInList;
            return false;
        }
        m_planned.Add(texts);
        AccountEntry& entry = m_plan.entries.emplace_back();
        entry.nIndex = -1;
        CopyFieldText(entry.szAccount, texts.account);
        CopyFieldText(entry.szPassword, texts.password);
        CopyFieldText(entry.szComment, texts.comment);
        return true;
    }

private:
    const EntryIndex& m_list;
    ImportPlan& m_plan;
    EntryIndex m_planned; // the rows taken so far
};

bool IsEmptyRow(const CsvReader& row) {
    for (std::size_t column = 0; column < row.Columns(); ++column) {
        if (!row.Field(column).empty())
            return false;
    }
    return true;
}

// Plans the rows that follow the header; false with the reason when the text is refused.
bool PlanRows(CsvReader& reader, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    if (!reader.Next()) {
        reason = !reader.Failure().empty() ? reader.Failure() : "the file is empty; " + NeededColumns();
        return false;
    }
    const HeaderColumns columns(reader);
    reason = columns.Missing();
    if (!reason.empty())
        return false;
    PlanBuilder builder(list, plan);
    plan.source = columns.Source();
    const std::size_t username = columns.Of(Role::Username);
    const std::size_t password = columns.Of(Role::Password);
    const std::size_t title = columns.Of(Role::Title);
    const std::size_t url = columns.Of(Role::Url);
    std::vector<bool> leftBehind;
    std::size_t rows = 0;
    while (reader.Next()) {
        if (IsEmptyRow(reader))
            continue;
        if (++rows > kMaxImportRows) {
            reason = "the file has more than " + std::to_string(kMaxImportRows) + " rows, more than one import takes";
            return false;
        }
        const std::string_view whole = !reader.Field(title).empty() ? reader.Field(title) : reader.Field(url);
        const std::string_view comment = CutToFit(whole);
        if (!builder.Offer(reader.Line(), {reader.Field(username), reader.Field(password), comment}))
            continue;
        if (comment.size() < whole.size())
            ++plan.commentsCut;
        bool rowLeftBehind = false;
        for (std::size_t column = 0; column < reader.Columns(); ++column) {
            if (columns.LeftBehind(column, reader.Field(column), whole)) {
                leftBehind.resize(std::max(leftBehind.size(), column + 1));
                leftBehind[column] = rowLeftBehind = true;
            }
        }
        if (rowLeftBehind)
            ++plan.rowsWithDataNotCarried;
    }
    for (std::size_t column = 0; column < leftBehind.size(); ++column) {
        if (leftBehind[column])
            plan.columnsNotCarried.push_back(columns.NameOf(column));
    }
    reason = reader.Failure();
    return reason.empty();
}

} // namespace

const char* DescribeRowProblem(RowProblem problem) {
    switch (problem) {
    case RowProblem::NoAccount:
        return "no account ID";
    case RowProblem::NoPassword:
        return "no password";
    case RowProblem::AccountTooLong:
        return "account ID longer than 128 bytes";
    case RowProblem::PasswordTooLong:
        return "password longer than 128 bytes";
    }
    return "";
}

void ImportPlan::Clear() {
    source.clear();
    AccountEntries().swap(entries);
    alreadyInList = refusedRows = rowsWithDataNotCarried = commentsCut = 0;
    refused.clear();
    columnsNotCarried.clear();
}

bool PlanCsvImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    CsvReader reader(text);
    if (PlanRows(reader, list, plan, reason))
        return true;
    plan.Clear();
    return false;
}

bool PlanCsvFileImport(const std::string& path, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    SecretBytes bytes;
    if (!ReadImportFile(path, bytes, reason)) {
        plan.Clear();
        return false;
    }
    return PlanCsvImport({bytes.data(), bytes.size()}, list, plan, reason);
}

void PlanBookImport(const AccountBook& book, const EntryIndex& list, ImportPlan& plan) {
    PlanBuilder builder(list, plan);
    plan.source = kAccountBookSource;
    for (std::size_t row = 0; row < book.vecEntries.size(); ++row)
        builder.Offer(row + 1, TextsOf(book.vecEntries[row]));
}
