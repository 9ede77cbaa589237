#include "BookJournal.h"

#include "Base64.h"
#include "SealedBook.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr char kJournalSuffix[] = ".journal";
constexpr char kBaseSuffix[] = ".journal-base";
constexpr std::string_view kMagic = "ZELVO-JOURNAL 1";
// A record's fields: the change, the row, the three texts and the checksum.
constexpr std::size_t kRecordFields = 6;
// The header's fields: the magic's two words, the book's file identity (exists, device, inode, size,
// modified seconds and nanoseconds), the administrator's two texts and the checksum.
constexpr std::size_t kHeaderFields = 11;
// The longest journal read. A session's journal is compacted long before; anything longer was not
// written by the program.
constexpr off_t kMaxJournalBytes = off_t(1) << 30;
// The longest line a record or the header can take (three texts of 128 bytes in Base64, a row
// number and the checksum), with room to spare; a longer one is damaged.
constexpr std::size_t kMaxLineBytes = 1024;
// The longest line of a sealed journal: the longest plain line, sealed.
const std::size_t kMaxSealedLineBytes = JournalSeal::SealedLineBytes(kMaxLineBytes);
// How much of the journal is read at a time.
constexpr std::size_t kReadChunk = 64 * 1024;

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

// Ends the line that starts at lineStart with the checksum of it, so a torn or damaged line is known.
void Seal(WipingString& text, std::size_t lineStart) {
    char crc[16];
    std::snprintf(crc, sizeof crc, " %08" PRIx32 "\n",
                  Crc32(std::string_view(text).substr(lineStart, text.size() - lineStart)));
    text += crc;
}

std::string SystemReason() {
    return std::strerror(errno);
}

// The fields of one sealed line (without its line break), when its checksum holds.
bool Unseal(std::string_view line, std::size_t fieldCount, std::array<std::string_view, kHeaderFields>& fields) {
    const std::size_t lastSpace = line.rfind(' ');
    if (lastSpace == std::string_view::npos || line.size() - lastSpace != 9)
        return false;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08" PRIx32, Crc32(line.substr(0, lastSpace)));
    if (line.substr(lastSpace + 1) != crc)
        return false;
    std::size_t count = 0;
    for (std::size_t start = 0;; ++count) {
        const std::size_t space = line.find(' ', start);
        if (count == fieldCount)
            return false;
        fields[count] = line.substr(start, space - start);
        if (space == std::string_view::npos)
            return count + 1 == fieldCount;
        start = space + 1;
    }
}

// A number as the journal writes it: decimal digits, no sign, no leading zero, within 64 bits.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = std::uint64_t(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return false;
        value = value * 10 + digit;
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

void AppendEncoded(WipingString& line, std::string_view text) {
    std::string encoded;
    CBase64().Encode(text, encoded);
    line += ' ';
    line += encoded;
    WipeString(encoded);
}

bool ParseHeader(std::string_view line, JournalHeader& header) {
    std::array<std::string_view, kHeaderFields> fields;
    if (line.substr(0, kMagic.size()) != kMagic || !Unseal(line, kHeaderFields, fields))
        return false;
    std::uint64_t number[6] = {};
    for (int i = 0; i < 6; ++i)
        if (!ParseNumber(fields[std::size_t(2 + i)], number[i]))
            return false;
    FileIdentity& base = header.base;
    base.exists = number[0] != 0;
    base.device = dev_t(number[1]);
    base.inode = ino_t(number[2]);
    base.size = off_t(number[3]);
    base.modified = {time_t(number[4]), long(number[5])};
    return number[0] <= 1 && DecodeField(fields[8], header.admin) && DecodeField(fields[9], header.adminPassword) &&
           header.admin[0] != '\0';
}

bool ParseRecord(std::string_view line, JournalRecord& record) {
    std::array<std::string_view, kHeaderFields> fields;
    std::uint64_t row = 0;
    if (!Unseal(line, kRecordFields, fields) || fields[0].size() != 1 || !ParseNumber(fields[1], row) ||
        row > std::numeric_limits<std::size_t>::max())
        return false;
    record.change = JournalChange(fields[0][0]);
    record.row = std::size_t(row);
    record.entry = AccountEntry{};
    record.entry.nIndex = -1;
    AccountEntry& entry = record.entry;
    const bool textsFit = DecodeField(fields[2], entry.szAccount) && DecodeField(fields[3], entry.szPassword) &&
                          DecodeField(fields[4], entry.szComment);
    switch (record.change) {
    case JournalChange::Insert:
    case JournalChange::InsertAt:
    case JournalChange::Update:
        return textsFit && entry.szAccount[0] != '\0';
    case JournalChange::AdminPassword:
        return textsFit && entry.szPassword[0] != '\0';
    case JournalChange::Delete:
    case JournalChange::Batch:
    case JournalChange::Snapshot:
    case JournalChange::Removal:
        return textsFit;
    }
    return false;
}

// Opens a journal or its base for reading: never blocking on a pipe, never through a link, and
// only a regular file of the user's own. -1 when it is absent or refused (errno tells which).
int OpenOwnRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        info.st_size <= kMaxJournalBytes)
        return fd;
    ::close(fd);
    errno = EPERM;
    return -1;
}

// How many lines the file holds before the offset.
std::uint64_t LinesBefore(int fd, off_t end) {
    std::uint64_t lines = 0;
    std::array<char, 4096> chunk{};
    for (off_t at = 0; at < end;) {
        const ssize_t got = ::pread(fd, chunk.data(), std::size_t(std::min<off_t>(off_t(chunk.size()), end - at)), at);
        if (got <= 0)
            break;
        lines += std::uint64_t(std::count(chunk.begin(), chunk.begin() + got, '\n'));
        at += got;
    }
    WipeBytes(chunk.data(), chunk.size());
    return lines;
}

} // namespace

JournalHeader::~JournalHeader() {
    WipeBytes(admin, sizeof admin);
    WipeBytes(adminPassword, sizeof adminPassword);
}

// ---------------------------------------------------------------------------------------------
// Reading.

JournalReader::~JournalReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

JournalReadOutcome JournalReader::Open(const std::string& path, JournalHeader& header, JournalSeal* seal) {
    m_fd = OpenOwnRegularFile(path);
    if (m_fd < 0)
        return errno == ENOENT ? JournalReadOutcome::Absent : JournalReadOutcome::Unreadable;
    m_buffer.resize(kReadChunk + kMaxSealedLineBytes);
    std::string_view line;
    bool complete = false;
    // A start that never finished left no whole header, and so no change.
    if (!NextLine(line, complete) || !complete)
        return JournalReadOutcome::Empty;
    if (JournalSeal::IsSealedFirstLine(line)) {
        if (seal == nullptr)
            return JournalReadOutcome::Sealed;
        if (!seal->TakeFirstLine(line))
            return JournalReadOutcome::OtherKey;
        m_seal = seal;
        if (!NextPlainLine(line, complete) || !complete)
            return JournalReadOutcome::Empty;
    }
    if (!ParseHeader(line, header))
        return JournalReadOutcome::Unreadable;
    m_recordEnd = m_bufferStart + off_t(m_begin);
    return JournalReadOutcome::Read;
}

bool JournalReader::Fill() {
    if (m_begin > 0) {
        std::copy(m_buffer.begin() + std::ptrdiff_t(m_begin), m_buffer.begin() + std::ptrdiff_t(m_filled),
                  m_buffer.begin());
        WipeBytes(m_buffer.data() + (m_filled - m_begin), m_begin);
        m_bufferStart += off_t(m_begin);
        m_filled -= m_begin;
        m_begin = 0;
    }
    if (m_atEnd || m_filled == m_buffer.size())
        return false;
    ssize_t got = 0;
    do
        got = ::read(m_fd, m_buffer.data() + m_filled, m_buffer.size() - m_filled);
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        m_atEnd = true;
        return false;
    }
    m_filled += std::size_t(got);
    return true;
}

bool JournalReader::NextPlainLine(std::string_view& line, bool& complete) {
    if (!NextLine(line, complete))
        return false;
    if (m_seal == nullptr || !complete)
        return true;
    line = m_seal->OpenLine(line, m_lineIndex++, m_plain) ? std::string_view(m_plain) : std::string_view();
    return true;
}

bool JournalReader::NextLine(std::string_view& line, bool& complete) {
    const std::size_t kMaxLineBytes = m_seal != nullptr ? kMaxSealedLineBytes : ::kMaxLineBytes;
    for (;;) {
        const char* start = m_buffer.data() + m_begin;
        const std::size_t available = m_filled - m_begin;
        const void* lineBreak = std::memchr(start, '\n', std::min(available, kMaxLineBytes + 1));
        if (lineBreak) {
            const auto length = std::size_t(static_cast<const char*>(lineBreak) - start);
            line = std::string_view(start, length);
            m_begin += length + 1;
            complete = true;
            return true;
        }
        // A line longer than any record is damaged, whatever follows.
        if (available > kMaxLineBytes) {
            line = std::string_view(start, available);
            complete = true;
            return true;
        }
        if (!Fill()) {
            line = std::string_view(m_buffer.data() + m_begin, m_filled - m_begin);
            m_begin = m_filled;
            complete = false;
            return !line.empty();
        }
    }
}

JournalStep JournalReader::Next(JournalRecord& record) {
    std::string_view line;
    bool complete = false;
    if (m_fd < 0 || !NextPlainLine(line, complete))
        return JournalStep::End;
    if (!complete)
        return JournalStep::Torn;
    if (line.size() > kMaxLineBytes || !ParseRecord(line, record))
        return JournalStep::Damaged;
    m_recordEnd = m_bufferStart + off_t(m_begin);
    return JournalStep::Record;
}

std::size_t JournalReader::CountRecordsFrom(off_t offset) const {
    std::size_t records = 0;
    bool inLine = false;
    std::array<char, 4096> chunk{};
    for (ssize_t got; (got = ::pread(m_fd, chunk.data(), chunk.size(), offset)) > 0; offset += got)
        for (ssize_t i = 0; i < got; ++i) {
            inLine = chunk[std::size_t(i)] != '\n';
            records += inLine ? 0 : 1;
        }
    WipeBytes(chunk.data(), chunk.size());
    return records + (inLine ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Writing.

BookJournal::~BookJournal() {
    Close();
}

std::string BookJournal::PathFor(const std::string& bookPath) {
    return bookPath + kJournalSuffix;
}

std::string BookJournal::BasePathFor(const std::string& bookPath) {
    return bookPath + kBaseSuffix;
}

void BookJournal::AppendHeader(WipingString& text, const FileIdentity& base, std::string_view admin,
                               std::string_view adminPassword) {
    const std::size_t start = text.size();
    char identity[160];
    std::snprintf(identity, sizeof identity, " %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %ld",
                  base.exists ? 1 : 0, std::uint64_t(base.device), std::uint64_t(base.inode), std::uint64_t(base.size),
                  std::uint64_t(base.modified.tv_sec), long(base.modified.tv_nsec));
    text += kMagic;
    text += identity;
    AppendEncoded(text, admin);
    AppendEncoded(text, adminPassword);
    Seal(text, start);
}

void BookJournal::AppendRecord(WipingString& text, JournalChange change, std::size_t row, const AccountEntry& entry) {
    const std::size_t start = text.size();
    text += char(change);
    text += ' ';
    text += std::to_string(row);
    const bool hasTexts =
        change == JournalChange::Insert || change == JournalChange::InsertAt || change == JournalChange::Update;
    AppendEncoded(text, hasTexts ? FieldText(entry.szAccount) : std::string_view());
    AppendEncoded(text, hasTexts || change == JournalChange::AdminPassword ? FieldText(entry.szPassword)
                                                                           : std::string_view());
    AppendEncoded(text, hasTexts ? FieldText(entry.szComment) : std::string_view());
    Seal(text, start);
}

void BookJournal::KeepBase(const std::string& bookPath, const FileIdentity& base) {
    const std::string basePath = BasePathFor(bookPath);
    FileIdentity named;
    if (IdentifyFile(basePath, named) && named.exists && named == base)
        return;
    // A second name left by an earlier session is not this session's base. The file a linked book
    // leads to gets the name. Where it cannot have one (another file system, none with second
    // names), a replaced book cannot be rebuilt; the journal then still serves a book that stays.
    if (FileOperationAllowed(FileOperation::Unlink))
        ::unlink(basePath.c_str());
    FileIdentity book;
    if (base.exists && IdentifyFile(bookPath, book) && book == base && FileOperationAllowed(FileOperation::Link))
        ::linkat(AT_FDCWD, bookPath.c_str(), AT_FDCWD, basePath.c_str(), AT_SYMLINK_FOLLOW);
}

bool BookJournal::Start(const std::string& bookPath, const FileIdentity& base, std::string_view admin,
                        std::string_view basePassword, const AccountBook* book, bool replace, std::string* reason) {
    // An earlier journal that is not the session's own, and its base, are never touched.
    struct stat existing {};
    if (!replace && ::lstat(PathFor(bookPath).c_str(), &existing) == 0) {
        errno = EEXIST;
        if (reason)
            *reason = SystemReason();
        return false;
    }
    WipingString text;
    AppendHeader(text, base, admin, basePassword);
    if (book) {
        AppendRecord(text, JournalChange::Snapshot, book->vecEntries.size(), AccountEntry{});
        for (std::size_t row = 0; row < book->vecEntries.size(); ++row)
            AppendRecord(text, JournalChange::Insert, row, book->vecEntries[row]);
        if (FieldText(book->szAdminPassword) != basePassword) {
            AccountEntry password;
            CopyFieldText(password.szPassword, FieldText(book->szAdminPassword));
            AppendRecord(text, JournalChange::AdminPassword, 0, password);
            WipeBytes(&password, sizeof password);
        }
    }
    WipingString sealed;
    std::uint64_t sealedLines = 0;
    if (m_seal != nullptr) {
        sealed.append(m_seal->NewFirstLine()).append(1, '\n');
        SealText(text, sealed, sealedLines);
    }
    // The base is named before the journal that needs it.
    KeepBase(bookPath, base);
    int fd = -1;
    std::string notYetDurable;
    const bool placed =
        PlaceNewFile(PathFor(bookPath), m_seal ? sealed : text, replace, fd, reason, &notYetDurable);
    if (placed) {
        m_sealedLines = sealedLines;
        // The journal it replaces, if any, goes on no longer. One whose name is not yet durable is
        // the journal all the same; its folder is synced again before its next record.
        Close();
        m_fd = fd;
        m_end = off_t(m_seal ? sealed.size() : text.size());
        m_failure.clear();
        m_path = PathFor(bookPath);
        m_nameDurable = notYetDurable.empty();
    } else if (!replace && FileOperationAllowed(FileOperation::Unlink)) {
        // No journal needs the base that was named for it.
        ::unlink(BasePathFor(bookPath).c_str());
    }
    return placed;
}

bool BookJournal::Resume(const std::string& bookPath, off_t end, std::string* reason) {
    if (!Open(bookPath, reason))
        return false;
    // A sealed journal goes on with the line after the last one kept.
    m_sealedLines = m_seal != nullptr ? std::max<std::uint64_t>(LinesBefore(m_fd, end), 1) - 1 : 0;
    if (::ftruncate(m_fd, end) != 0 || ::lseek(m_fd, end, SEEK_SET) != end || !SyncFileData(m_fd)) {
        if (reason)
            *reason = SystemReason();
        Close();
        return false;
    }
    m_end = end;
    return true;
}

bool BookJournal::Open(const std::string& bookPath, std::string* reason) {
    Close();
    m_failure.clear();
    m_path = PathFor(bookPath);
    m_nameDurable = true;
    m_fd = FileOperationAllowed(FileOperation::Open)
               ? ::open(m_path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY)
               : -1;
    struct stat info {};
    if (m_fd >= 0 && ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
        return true;
    if (reason)
        *reason = m_fd < 0 ? SystemReason() : "The journal is not a file of the user's own.";
    Close();
    return false;
}

bool BookJournal::Append(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason) {
    if (!Active()) {
        if (reason)
            *reason = m_failure;
        return false;
    }
    WipingString line;
    AppendRecord(line, change, row, entry);
    return WriteDurably(line, reason);
}

bool BookJournal::AppendRecords(const JournalRecords& records, std::string* reason) {
    if (!Active()) {
        if (reason)
            *reason = m_failure;
        return false;
    }
    WipingString text;
    for (const JournalRecord& record : records)
        AppendRecord(text, record.change, record.row, record.entry);
    return WriteDurably(text, reason);
}

bool BookJournal::AppendBatch(std::size_t firstRow, const AccountEntries& rows, std::string* reason) {
    if (!Active()) {
        if (reason)
            *reason = m_failure;
        return false;
    }
    WipingString text;
    AppendRecord(text, JournalChange::Batch, rows.size(), AccountEntry{});
    for (std::size_t i = 0; i < rows.size(); ++i)
        AppendRecord(text, JournalChange::Insert, firstRow + i, rows[i]);
    return WriteDurably(text, reason);
}

void BookJournal::SealText(std::string_view text, WipingString& out, std::uint64_t& lines) const {
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        m_seal->SealLine(text.substr(start, end - start), lines++, out);
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
}

bool BookJournal::WriteDurably(std::string_view plain, std::string* reason) {
    WipingString sealed;
    std::uint64_t lines = m_sealedLines;
    if (m_seal != nullptr)
        SealText(plain, sealed, lines);
    const std::string_view text = m_seal != nullptr ? std::string_view(sealed) : plain;
    if (!m_nameDurable)
        m_nameDurable = SyncFolderOf(m_path);
    if (WriteAllBytes(m_fd, text) && SyncFileData(m_fd)) {
        m_end += off_t(text.size());
        m_sealedLines = lines;
        return true;
    }
    m_failure = SystemReason();
    if (reason)
        *reason = m_failure;
    // A part of a record would be taken for a torn one; cutting it keeps the journal whole.
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
    if (FileOperationAllowed(FileOperation::Unlink))
        ::unlink(path.c_str());
    if (FileOperationAllowed(FileOperation::Unlink))
        ::unlink(BasePathFor(bookPath).c_str());
    SyncFolderOf(path);
}
