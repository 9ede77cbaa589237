#include "CsvExport.h"

#include "CsvParser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLineEnd = "\r\n";

constexpr std::string_view kKeePassXCHeader =
    R"("Group","Title","Username","Password","URL","Notes","TOTP","Icon","Last Modified","Created")";
constexpr std::string_view kBrowsersHeader = R"("name","url","username","password","note")";

void Append(SecretBytes& bytes, std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

// The text as one quoted field, a quote in it doubled, and the separator before it unless it is the
// line's first.
void AppendField(SecretBytes& bytes, std::string_view text, bool first = false) {
    if (!first)
        bytes.push_back(',');
    bytes.push_back('"');
    for (std::size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"')) {
        Append(bytes, text.substr(0, quote + 1));
        bytes.push_back('"');
        text.remove_prefix(quote + 1);
    }
    Append(bytes, text);
    bytes.push_back('"');
}

void AppendEmptyFields(SecretBytes& bytes, int count) {
    for (int i = 0; i < count; ++i)
        AppendField(bytes, {});
}

bool IsWebAddress(std::string_view text) {
    const std::string start = AsciiLowercase(text.substr(0, 8));
    return start.starts_with("http://") || start.starts_with("https://");
}

void AppendRow(SecretBytes& bytes, const AccountEntry& entry, ExportLayout layout) {
    const EntryTexts texts = TextsOf(entry);
    if (layout == ExportLayout::KeePassXC) {
        AppendField(bytes, {}, true); // every entry in the top group
        AppendField(bytes, texts.comment);
        AppendField(bytes, texts.account);
        AppendField(bytes, texts.password);
        AppendEmptyFields(bytes, 6); // URL, Notes, TOTP, Icon, Last Modified, Created
    } else {
        AppendField(bytes, texts.comment, true);
        AppendField(bytes, IsWebAddress(texts.comment) ? texts.comment : std::string_view());
        AppendField(bytes, texts.account);
        AppendField(bytes, texts.password);
        AppendEmptyFields(bytes, 1); // note
    }
    Append(bytes, kLineEnd);
}

// Whether the folder is the program's folder or lies below it, links resolved.
bool InProgramFolder(const fs::path& folder, const std::string& programFolder) {
    std::error_code error;
    const fs::path program = fs::canonical(programFolder, error);
    if (error)
        return false;
    const fs::path here = fs::canonical(folder.empty() ? fs::path(".") : folder, error);
    if (error)
        return false;
    return std::mismatch(program.begin(), program.end(), here.begin(), here.end()).first == program.end();
}

// In the program's folder, a name that a book, its side files or a save's temporary file may have,
// or an existing file other than an earlier export, is refused.
bool RefuseProgramFile(const std::string& path, const std::string& programFolder, std::string& reason) {
    const fs::path file(path);
    if (!InProgramFolder(file.parent_path(), programFolder))
        return false;
    const std::string leaf = file.filename().string();
    const std::string lower = AsciiLowercase(leaf);
    if (lower.ends_with(".xml") || lower.find(".xml.") != std::string::npos || IsLeftoverSaveName(leaf)) {
        reason = path + " is a name of the program's books and their files; it is left as it is";
        return true;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !lower.ends_with(".csv")) {
        reason = path + " is a file of the program's folder; an export there may only replace an earlier export "
                        "(a .csv file)";
        return true;
    }
    return false;
}

// Refuses a regular file at path that is an XML document, or that cannot be read to tell. A link is
// not followed and anything else is left to the writer, which refuses it.
bool RefuseBook(const std::string& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ELOOP)
            return false;
        reason = "cannot read " + path + " to make sure it is no account book: " + std::strerror(errno);
        return true;
    }
    char start[256];
    struct stat info {};
    ssize_t count = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            count = ::read(fd, start, sizeof start);
        } while (count < 0 && errno == EINTR);
    }
    const int readError = errno;
    ::close(fd);
    if (count < 0) {
        reason = "cannot read " + path + " to make sure it is no account book: " + std::strerror(readError);
        return true;
    }
    if (StartsAsXmlDocument({start, std::size_t(count)})) {
        reason = path + " is an XML document, as account books are; it is left as it is";
        return true;
    }
    return false;
}

} // namespace

void FormatCsvExport(const AccountEntries& entries, ExportLayout layout, SecretBytes& bytes) {
    bytes.clear();
    std::size_t size = kKeePassXCHeader.size() + kLineEnd.size();
    for (const AccountEntry& entry : entries) {
        const EntryTexts texts = TextsOf(entry);
        size += 2 * texts.comment.size() + texts.account.size() + texts.password.size() + 48;
    }
    bytes.reserve(size);
    Append(bytes, layout == ExportLayout::KeePassXC ? kKeePassXCHeader : kBrowsersHeader);
    Append(bytes, kLineEnd);
    for (const AccountEntry& entry : entries)
        AppendRow(bytes, entry, layout);
}

bool ExportCsvFile(const AccountEntries& entries, ExportLayout layout, const std::string& path,
                   const std::string& programFolder, std::string& reason) {
    if (path.empty()) {
        reason = "no file name";
        return false;
    }
    if (RefuseProgramFile(path, programFolder, reason) || RefuseBook(path, reason))
        return false;
    FileIdentity found;
    if (!IdentifyFile(path, found)) {
        reason = "cannot examine " + path + ": " + std::strerror(errno);
        return false;
    }
    SecretBytes bytes;
    FormatCsvExport(entries, layout, bytes);
    return WriteOwnerOnlyFile(path, {bytes.data(), bytes.size()}, &found, reason);
}
