#include "SealCopies.h"

#include "AccountFile.h"
#include "SealedBook.h"

#include <memory>

namespace {

constexpr std::string_view kSetAsideJournal = ".journal-set-aside-";
constexpr std::string_view kBaseSuffix = "-base";
// The longest journal rewritten; a session's journal is compacted long before.
constexpr std::size_t kMostJournalBytes = std::size_t(1) << 30;

bool IsJournal(const std::string& path) {
    return path.find(kSetAsideJournal) != std::string::npos && !path.ends_with(kBaseSuffix);
}

// The whole lines of a journal, opened when it is sealed; a torn last line is a change that never
// returned, and is left out.
bool PlainLines(std::string_view file, JournalSeal* from, WipingString& plain) {
    std::size_t start = 0;
    std::uint64_t index = 0;
    bool sealed = false;
    WipingString line;
    for (std::size_t end; (end = file.find('\n', start)) != std::string_view::npos; start = end + 1) {
        const std::string_view raw = file.substr(start, end - start);
        if (start == 0 && JournalSeal::IsSealedFirstLine(raw)) {
            if (from == nullptr || !from->TakeFirstLine(raw))
                return false;
            sealed = true;
            continue;
        }
        if (sealed && !from->OpenLine(raw, index++, line))
            return false;
        plain.append(sealed ? std::string_view(line) : raw).append(1, '\n');
    }
    return true;
}

bool RewriteJournal(const std::string& path, const BookKey* from, const BookKey* to) {
    SecretBytes file;
    std::string reason;
    FileIdentity identity;
    if (!IdentifyFile(path, identity) || !ReadRegularFile(path, kMostJournalBytes, file, reason))
        return false;
    std::unique_ptr<JournalSeal> opener = from ? std::make_unique<JournalSeal>(*from) : nullptr;
    WipingString plain;
    if (!PlainLines(std::string_view(file.data(), file.size()), opener.get(), plain))
        return false;
    if (to == nullptr)
        return WriteOwnerOnlyFile(path, plain, &identity, reason);
    JournalSeal sealer(*to);
    WipingString sealed(sealer.NewFirstLine());
    sealed.append(1, '\n');
    std::uint64_t index = 0;
    for (std::size_t start = 0, end; (end = plain.find('\n', start)) != WipingString::npos; start = end + 1)
        sealer.SealLine(std::string_view(plain).substr(start, end - start), index++, sealed);
    return WriteOwnerOnlyFile(path, sealed, &identity, reason);
}

bool RewriteBook(const std::string& path, const BookKey* from, const BookKey* to, std::string_view password,
                 const CBase64& codec) {
    AccountBook copy;
    FileIdentity identity;
    if (!IdentifyFile(path, identity) || IsSealedBookFile(path) != (from != nullptr) ||
        !LoadAccountBook(copy, path, codec, from) || !CopyFieldText(copy.szAdminPassword, password))
        return false;
    return SaveAccountBook(copy, path, codec, &identity, nullptr, to);
}

} // namespace

std::size_t RewriteCopies(const std::vector<std::string>& copies, const BookKey* from, const BookKey* to,
                          std::string_view adminPassword, const CBase64& codec) {
    std::size_t left = 0;
    for (const std::string& path : copies) {
        // A copy already as the book now is needs nothing.
        const bool sealed = IsJournal(path) ? false : IsSealedBookFile(path);
        if (!IsJournal(path) && sealed == (to != nullptr))
            continue;
        const bool rewritten =
            IsJournal(path) ? RewriteJournal(path, from, to) : RewriteBook(path, from, to, adminPassword, codec);
        left += rewritten ? 0 : 1;
    }
    return left;
}
