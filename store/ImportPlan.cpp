#include "ImportPlan.h"

#include "utf8.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The text cut to kMaxTextBytes, before the character that would cross the limit.
std::string_view CutToFit(std::string_view text) {
    return text.substr(0, utf8::PrefixLengthWithin(text, kMaxTextBytes));
}

// A field keeps its text up to a NUL only, so a text holding one would come in changed.
bool HoldsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

std::optional<RowProblem> ProblemOf(const EntryTexts& texts, std::string_view title) {
    if (HoldsNul(texts.account) || HoldsNul(texts.password) || HoldsNul(title))
        return RowProblem::NulCharacter;
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

} // namespace

const char* DescribeRowProblem(RowProblem problem) {
    switch (problem) {
    case RowProblem::Unreadable:
        return "cannot be read";
    case RowProblem::NotALogin:
        return "not a login";
    case RowProblem::NoAccount:
        return "no account ID";
    case RowProblem::NoPassword:
        return "no password";
    case RowProblem::AccountTooLong:
        return "account ID longer than 128 bytes";
    case RowProblem::PasswordTooLong:
        return "password longer than 128 bytes";
    case RowProblem::NulCharacter:
        return "a NUL character, which a field cannot hold";
    }
    return "";
}

std::string DescribeLeftOut(const LeftOutRow& row) {
    switch (row.kind) {
    case LeftOutKind::Refused:
        return DescribeRowProblem(row.problem) + (row.detail.empty() ? "" : ": " + row.detail);
    case LeftOutKind::InList:
        return "already in the list";
    case LeftOutKind::RepeatsEarlier:
        return "repeats an earlier row";
    case LeftOutKind::NotesStay:
        return "comes in; its notes are not imported";
    case LeftOutKind::NearDuplicate:
        return "comes in; same account ID and password as another entry";
    }
    return "";
}

void ImportPlan::Clear() {
    source.clear();
    placeName.clear();
    conversion.clear();
    AccountEntries().swap(entries);
    alreadyInList = refusedRows = rowsWithDataNotCarried = rowsWithNotesLeft = commentsCut = leftOutRows = 0;
    columnsNotCarried.clear();
    nearDuplicates.clear();
    leftOut.clear();
}

void ImportPlan::LeaveOutNearDuplicates() {
    AccountEntries kept;
    kept.reserve(entries.size() - nearDuplicates.size());
    std::size_t next = 0;
    for (std::size_t entry = 0; entry < entries.size(); ++entry) {
        if (next < nearDuplicates.size() && nearDuplicates[next] == entry)
            ++next;
        else
            kept.push_back(entries[entry]);
    }
    entries.swap(kept);
    nearDuplicates.clear();
}

std::string_view CommentOf(std::string_view title, std::string_view url) {
    return CutToFit(!title.empty() ? title : url);
}

ImportPlanBuilder::ImportPlanBuilder(const EntryIndex& list, ImportPlan& plan, std::string source,
                                     std::string placeName)
    : m_list(list), m_plan(plan) {
    m_plan.Clear();
    m_plan.source = std::move(source);
    m_plan.placeName = std::move(placeName);
}

bool ImportPlanBuilder::Offer(std::size_t place, std::string_view account, std::string_view password,
                              std::string_view title, std::string_view url) {
    const std::string_view whole = !title.empty() ? title : url;
    const EntryTexts texts{account, password, CommentOf(title, url)};
    if (const auto problem = ProblemOf(texts, whole)) {
        Refuse(place, *problem, texts.comment);
        return false;
    }
    ++m_rows;
    const bool inList = m_list.Contains(texts);
    if (inList || m_planned.Contains(texts)) {
        ++m_plan.alreadyInList;
        List({place, inList ? LeftOutKind::InList : LeftOutKind::RepeatsEarlier, {}, std::string(texts.comment), {}});
        return false;
    }
    const std::uint64_t login = EntryIndex::LoginHash(account, password);
    if (m_list.ContainsLogin(login) || m_planned.ContainsLogin(login)) {
        m_plan.nearDuplicates.push_back(m_plan.entries.size());
        List({place, LeftOutKind::NearDuplicate, {}, std::string(texts.comment), {}});
    }
    m_planned.Add(texts, login);
    AccountEntry& entry = m_plan.entries.emplace_back();
    entry.nIndex = -1;
    CopyFieldText(entry.szAccount, texts.account);
    CopyFieldText(entry.szPassword, texts.password);
    CopyFieldText(entry.szComment, texts.comment);
    if (texts.comment.size() < whole.size())
        ++m_plan.commentsCut;
    return true;
}

void ImportPlanBuilder::Refuse(std::size_t place, RowProblem problem, std::string_view title, std::string detail) {
    ++m_rows;
    ++m_plan.refusedRows;
    List({place, LeftOutKind::Refused, problem, std::string(CommentOf(title, {})), std::move(detail)});
}

void ImportPlanBuilder::LeavesData(std::size_t place, bool withNotes) {
    ++m_plan.rowsWithDataNotCarried;
    if (!withNotes)
        return;
    ++m_plan.rowsWithNotesLeft;
    List({place, LeftOutKind::NotesStay, {}, std::string(TextsOf(m_plan.entries.back()).comment), {}});
}

void ImportPlanBuilder::LeavesColumn(std::string_view name) {
    auto& columns = m_plan.columnsNotCarried;
    if (std::find(columns.begin(), columns.end(), name) == columns.end())
        columns.emplace_back(name);
}

void ImportPlanBuilder::List(LeftOutRow row) {
    ++m_plan.leftOutRows;
    if (m_plan.leftOut.size() < kMostLeftOutRowsListed)
        m_plan.leftOut.push_back(std::move(row));
}
