#include "BookJournal.h"

#include "Base64.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace {

constexpr char kJournalSuffix[] = ".journal";
constexpr char kBaseSuffix[] = ".journal-base";
constexpr std::string_view kMagic = "ZELVO-JOURNAL 1";
// A record's fields: the change, the row, the three texts and the checksum.
constexpr std::size_t kRecordFields = 6;
// The header's fields: the magic's two words, the book's file identity (exists, device, inode, size,
// modified seconds and nanoseconds), the administrator's two texts and the checksum.
constexpr std::size_t kHeaderFields = 11;
// The longest journal read: far more changes than a session makes.
constexpr off_t kMaxJournalBytes = off_t(1) << 31;

std::uint32_t Crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> values{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            values[n] = c;
        }
        return values;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : bytes)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// Ends a line with the checksum of everything before it, so a torn or damaged line is known.
void Seal(std::string& line) {
    char crc[16];
    std::snprintf(crc, sizeof crc, " %08" PRIx32 "\n", Crc32(line));
    line += crc;
}

std::string SystemReason() {
    return std::strerror(errno);
}

// The fields of one sealed line (without its line break), when its checksum holds.
bool Unseal(std::string_view line, std::size_t fieldCount, std::vector<std::string_view>& fields) {
    const std::size_t lastSpace = line.rfind(' ');
    if (lastSpace == std::string_view::npos || line.size() - lastSpace != 9)
        return false;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08" PRIx32, Crc32(line.substr(0, lastSpace)));
    if (line.substr(lastSpace + 1) != crc)
        return false;
    fields.clear();
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos)
            break;
        start = space + 1;
    }
    return fields.size() == fieldCount;
}

bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + std::uint64_t(c - '0');
    }
    return true;
}

// Decodes a field's Base64 text into a text field; false when it does not fit.
bool DecodeField(std::string_view text, TextField& field) {
    std::string bytes;
    CBase64().Decode(text, bytes);
    const bool fits = bytes.find('\0') == std::string::npos && CopyFieldText(field, bytes);
    WipeString(bytes);
    return fits;
}

void AppendEncoded(std::string& line, const TextField& field) {
    std::string encoded;
    CBase64().Encode(FieldText(field), encoded);
    line += ' ';
    line += encoded;
    WipeString(encoded);
}

bool ParseHeader(std::string_view line, JournalContents& contents) {
    std::vector<std::string_view> fields;
    if (!Unseal(line, kHeaderFields, fields) || line.substr(0, kMagic.size()) != kMagic)
        return false;
    std::uint64_t number[6] = {};
    for (int i = 0; i < 6; ++i)
        if (!ParseNumber(fields[std::size_t(2 + i)], number[i]))
            return false;
    FileIdentity& base = contents.base;
    base.exists = number[0] != 0;
    base.device = dev_t(number[1]);
    base.inode = ino_t(number[2]);
    base.size = off_t(number[3]);
    base.modified = {time_t(number[4]), long(number[5])};
    return DecodeField(fields[8], contents.admin) && DecodeField(fields[9], contents.adminPassword) &&
           contents.admin[0] != '\0';
}

bool ParseRecord(std::string_view line, JournalRecord& record) {
    std::vector<std::string_view> fields;
    std::uint64_t row = 0;
    if (!Unseal(line, kRecordFields, fields) || fields[0].size() != 1 || !ParseNumber(fields[1], row))
        return false;
    record.change = JournalChange(fields[0][0]);
    record.row = std::size_t(row);
    record.entry = AccountEntry{};
    record.entry.nIndex = -1;
    switch (record.change) {
    case JournalChange::Insert:
    case JournalChange::Update:
        return DecodeField(fields[2], record.entry.szAccount) && DecodeField(fields[3], record.entry.szPassword) &&
               DecodeField(fields[4], record.entry.szComment) && record.entry.szAccount[0] != '\0';
    case JournalChange::Delete:
        return true;
    }
    return false;
}

// Reads the whole file the descriptor leads to; false on any failure.
bool ReadWhole(int fd, std::string& bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_size > kMaxJournalBytes)
        return false;
    bytes.resize(std::size_t(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    bytes.resize(done);
    return true;
}

} // namespace

JournalContents::~JournalContents() {
    WipeBytes(admin, sizeof admin);
    WipeBytes(adminPassword, sizeof adminPassword);
}

BookJournal::~BookJournal() {
    Close();
}

std::string BookJournal::PathFor(const std::string& bookPath) {
    return bookPath + kJournalSuffix;
}

std::string BookJournal::BasePathFor(const std::string& bookPath) {
    return bookPath + kBaseSuffix;
}

bool BookJournal::Open(const std::string& bookPath, int flags, std::string* reason) {
    Close();
    m_failure.clear();
    m_fd = ::open(PathFor(bookPath).c_str(), flags | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (m_fd < 0) {
        if (reason)
            *reason = SystemReason();
        return false;
    }
    m_path = PathFor(bookPath);
    return true;
}

bool BookJournal::Start(const std::string& bookPath, const FileIdentity& loaded, const AccountBook& book,
                        std::string* reason) {
    // A second name left by an earlier session is not this session's base.
    ::unlink(BasePathFor(bookPath).c_str());
    if (!Open(bookPath, O_CREAT | O_EXCL, reason))
        return false;
    m_end = 0;
    // The file a linked book leads to gets the name. Where it cannot have one (another file
    // system, none with second names), a replaced book cannot be rebuilt; the journal then still
    // serves a book that stays in place.
    if (loaded.exists)
        ::linkat(AT_FDCWD, bookPath.c_str(), AT_FDCWD, BasePathFor(bookPath).c_str(), AT_SYMLINK_FOLLOW);
    char identity[160];
    std::snprintf(identity, sizeof identity, " %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %ld",
                  loaded.exists ? 1 : 0, std::uint64_t(loaded.device), std::uint64_t(loaded.inode),
                  std::uint64_t(loaded.size), std::uint64_t(loaded.modified.tv_sec), long(loaded.modified.tv_nsec));
    std::string header(kMagic);
    header += identity;
    AppendEncoded(header, book.szAdminAccount);
    AppendEncoded(header, book.szAdminPassword);
    Seal(header);
    const bool written = WriteDurably(header, reason) && SyncFolderOf(m_path);
    WipeString(header);
    if (!written) {
        if (reason && reason->empty())
            *reason = SystemReason();
        Close();
        ::unlink(PathFor(bookPath).c_str());
    }
    return written;
}

bool BookJournal::Resume(const std::string& bookPath, off_t end, std::string* reason) {
    if (!Open(bookPath, 0, reason))
        return false;
    if (::ftruncate(m_fd, end) != 0 || ::lseek(m_fd, end, SEEK_SET) != end || !SyncFileData(m_fd)) {
        if (reason)
            *reason = SystemReason();
        Close();
        return false;
    }
    m_end = end;
    return true;
}

bool BookJournal::Append(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason) {
    if (m_fd < 0 || !m_failure.empty()) {
        if (reason)
            *reason = m_failure;
        return false;
    }
    std::string line(1, char(change));
    line += ' ';
    line += std::to_string(row);
    const AccountEntry none{};
    const AccountEntry& texts = change == JournalChange::Delete ? none : entry;
    AppendEncoded(line, texts.szAccount);
    AppendEncoded(line, texts.szPassword);
    AppendEncoded(line, texts.szComment);
    Seal(line);
    const bool written = WriteDurably(line, reason);
    WipeString(line);
    return written;
}

bool BookJournal::WriteDurably(const std::string& line, std::string* reason) {
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t wrote = ::write(m_fd, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += std::size_t(wrote);
    }
    if (done == line.size() && SyncFileData(m_fd)) {
        m_end += off_t(line.size());
        return true;
    }
    m_failure = SystemReason();
    if (reason)
        *reason = m_failure;
    // A part of a record would be dropped on reading anyway; cutting it keeps the next one readable.
    if (::ftruncate(m_fd, m_end) == 0)
        ::lseek(m_fd, m_end, SEEK_SET);
    return false;
}

void BookJournal::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void BookJournal::RemoveFor(const std::string& bookPath) {
    const std::string path = PathFor(bookPath);
    ::unlink(path.c_str());
    ::unlink(BasePathFor(bookPath).c_str());
    SyncFolderOf(path);
}

JournalReadOutcome BookJournal::Read(const std::string& path, JournalContents& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno == ENOENT ? JournalReadOutcome::Absent : JournalReadOutcome::Unreadable;
    std::string bytes;
    const bool read = ReadWhole(fd, bytes);
    ::close(fd);
    const std::string_view text(bytes);
    std::size_t lineEnd = text.find('\n');
    bool readable = read && lineEnd != std::string_view::npos && ParseHeader(text.substr(0, lineEnd), contents);
    if (readable) {
        contents.headerEnd = off_t(lineEnd + 1);
        JournalRecord record;
        for (std::size_t start = lineEnd + 1; (lineEnd = text.find('\n', start)) != std::string_view::npos;
             start = lineEnd + 1) {
            if (!ParseRecord(text.substr(start, lineEnd - start), record))
                break;
            record.end = off_t(lineEnd + 1);
            contents.records.push_back(record);
        }
        WipeBytes(&record, sizeof record);
    }
    WipeString(bytes);
    return readable ? JournalReadOutcome::Read : JournalReadOutcome::Unreadable;
}

std::size_t BookJournal::Apply(const JournalContents& contents, AccountEntries& entries) {
    std::size_t applied = 0;
    for (const JournalRecord& record : contents.records) {
        // An insert always appends; the other changes name a row that is there.
        const bool inserts = record.change == JournalChange::Insert;
        if (inserts ? record.row != entries.size() : record.row >= entries.size())
            break;
        if (inserts)
            entries.push_back(record.entry);
        else if (record.change == JournalChange::Update)
            entries[record.row] = record.entry;
        else
            entries.erase(entries.begin() + std::ptrdiff_t(record.row));
        ++applied;
    }
    return applied;
}
