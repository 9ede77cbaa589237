#include "AccountFile.h"

#include "ProgramDocument.h"
#include "SealedBook.h"
#include "com.h"
#include "xmldom.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kAdminInfo[] = "AdminInfo";
constexpr char kAccounts[] = "Accounts";
constexpr char kItem[] = "Item";
constexpr char kAccount[] = "Account";
constexpr char kPassword[] = "Password";
constexpr char kComment[] = "Comment";
constexpr char kTotalCnt[] = "TotalCnt";
constexpr char kIndex[] = "Index";
constexpr char kFileSuffix[] = ".xml";
constexpr char kSealed[] = "Sealed";

// A child of an item that carries one of the entry's three texts.
constexpr int kTextsPerItem = 3;

// Far more items than a readable file can carry; a larger stated count is not taken as a hint.
constexpr std::int32_t kMostItemsStated = 2'000'000;

std::size_t g_maxAccountFileBytes = kMaxAccountFileBytes;

// Thrown inside the reader when the file is readable XML but not a usable account file.
struct NotAnAccountFile {};

// ---- writing ----

// The Base64 text of the longest field.
constexpr std::size_t kMostEncodedBytes = (kMaxTextBytes + 2) / 3 * 4;

// Writes the book in document order, straight into the file's bytes: a large book is never built
// as a tree first, and every Base64 text passes through one buffer. The buffers are as large as the
// longest field needs from the start, so none of them is ever given back holding a text unwiped.
class BookWriter {
public:
    explicit BookWriter(const CBase64& codec) : m_codec(codec) {
        m_text.reserve(kMaxTextBytes);
        m_encoded.reserve(kMostEncodedBytes);
    }
    BookWriter(const BookWriter&) = delete;
    BookWriter& operator=(const BookWriter&) = delete;
    ~BookWriter() {
        WipeString(m_text);
        WipeString(m_encoded);
    }

    // Writes the book unless its file would be too large to be read again (false, nothing written);
    // notYetDurable then gets what the writer's Save returns. A sealed book is the plain book's
    // bytes sealed whole, written the same way.
    bool Write(const AccountBook& book, const std::string& path, const FileIdentity* expected, const BookKey* key,
               std::string& notYetDurable) {
        CXMLDOMStreamWriter writer;
        m_text.assign(FieldText(book.szAdminAccount));
        writer.StartElement(m_text);
        StampIdentity(writer);
        writer.StartElement(kAdminInfo);
        writer.TextElement(kAccount, m_text);
        writer.TextElement(kPassword, Encoded(book.szAdminPassword));
        writer.EndElement();
        WriteAccounts(writer, book);
        writer.EndElement();
        if (writer.Size() > g_maxAccountFileBytes)
            return false;
        if (key == nullptr) {
            notYetDurable = writer.Save(path, expected);
            return true;
        }
        WipingString sealed;
        if (!SealBook(FieldText(book.szAdminAccount), writer.Bytes(), *key, sealed))
            throw std::bad_alloc();
        notYetDurable = CXMLDOMStreamWriter::SaveBytes(path, sealed, expected);
        return true;
    }

private:
    void WriteAccounts(CXMLDOMStreamWriter& writer, const AccountBook& book) {
        writer.StartElement(kAccounts);
        writer.SetAttribute(kTotalCnt, std::to_string(book.vecEntries.size()));
        // Items are numbered by position; the entries' own numbers are not kept.
        for (std::size_t i = 0; i < book.vecEntries.size(); ++i) {
            const AccountEntry& entry = book.vecEntries[i];
            writer.StartElement(kItem);
            writer.SetAttribute(kIndex, std::to_string(i));
            writer.TextElement(kAccount, Encoded(entry.szAccount));
            writer.TextElement(kPassword, Encoded(entry.szPassword));
            writer.TextElement(kComment, Encoded(entry.szComment));
            writer.EndElement();
        }
        writer.EndElement();
    }

    const std::string& Encoded(const TextField& field) {
        m_codec.Encode(FieldText(field), m_encoded);
        return m_encoded;
    }

    const CBase64& m_codec;
    std::string m_text;
    std::string m_encoded;
};

// ---- reading ----

enum class Section { None, Admin, Accounts };

// Where the nodes the reader looks into whole stand: the children of the sections, which are the
// children of the root.
constexpr int kSectionChildDepth = 2;

// A file made by another program, or by this one under another title, is refused.
void CheckIdentity(const CXMLDOMNode& root) {
    if (!IsOwnDocument(root)) {
        throw NotAnAccountFile{};
    }
}

// Reads a document into the book in one pass, as it is parsed or from its whole tree. Names are
// compared in place and every text passes through the same two buffers, so a large book costs no
// allocation per node.
// The sections may come in any order; a child of the root that names no section is read as part
// of the section before it, and children before the first section are skipped.
class BookReader : public CXMLDOMStreamHandler {
public:
    BookReader(AccountBook& book, const CBase64& codec) : m_book(book), m_codec(codec) {}
    BookReader(const BookReader&) = delete;
    BookReader& operator=(const BookReader&) = delete;
    // The buffers last held decoded passwords.
    ~BookReader() override {
        WipeString(m_text);
        WipeString(m_bytes);
    }

    void OnNodeStart(const CXMLDOMNode& node, int depth) override {
        if (depth == 0) {
            CheckIdentity(node);
        } else {
            EnterChildOfRoot(node);
        }
    }

    void OnWholeNode(const CXMLDOMNode& node) override { ReadSectionChild(node); }

    void ReadTree(const CXMLDOMElement& root) {
        CheckIdentity(root);
        for (CXMLDOMNode child = root.GetFirstChild(); child; child = child.GetNextSibling()) {
            EnterChildOfRoot(child);
            for (CXMLDOMNode grandchild = child.GetFirstChild(); grandchild; grandchild = grandchild.GetNextSibling()) {
                ReadSectionChild(grandchild);
            }
        }
    }

private:
    void EnterChildOfRoot(const CXMLDOMNode& child) {
        // A sealed book is never read as a plain one, however it was damaged.
        if (child.HasNodeName(kSealed)) {
            throw NotAnAccountFile{};
        }
        if (child.HasNodeName(kAdminInfo)) {
            m_section = Section::Admin;
        } else if (child.HasNodeName(kAccounts)) {
            m_section = Section::Accounts;
        }
        if (m_section == Section::Accounts) {
            ReserveForItems(child);
        }
    }

    void ReadSectionChild(const CXMLDOMNode& child) {
        if (m_section == Section::Admin) {
            ReadAdminChild(child);
        } else if (m_section == Section::Accounts && child.HasNodeName(kItem)) {
            ReadItem(child);
        }
    }

    // Administrator texts must fit whole: a cut name or password would open the book to the wrong person.
    void ReadAdminChild(const CXMLDOMNode& child) {
        if (child.HasNodeName(kAccount)) {
            child.GetText(m_text);
            if (m_text.empty() || !CopyFieldText(m_book.szAdminAccount, m_text)) {
                throw NotAnAccountFile{};
            }
        } else if (child.HasNodeName(kPassword)) {
            if (FieldText(m_book.szAdminAccount).empty() ||
                !CopyFieldText(m_book.szAdminPassword, DecodedText(child))) {
                throw NotAnAccountFile{};
            }
        }
    }

    // The count the file states is a hint only, never a limit: room for it is made up front so
    // that a large book is not copied on every growth. A count beyond what a file can hold, or
    // one the memory cannot take, is not acted on.
    void ReserveForItems(const CXMLDOMNode& section) {
        const CXMLDOMNamedNodeMap attributes = section.GetAttributes();
        for (long i = 0; i < attributes.GetLength(); ++i) {
            const CXMLDOMNode attribute = attributes.GetItem(i);
            if (attribute.HasNodeName(kTotalCnt)) {
                attribute.GetText(m_text);
                const std::int32_t stated = ParseDecimalInt32(m_text);
                if (stated > 0 && stated <= kMostItemsStated) {
                    try {
                        m_book.vecEntries.reserve(m_book.vecEntries.size() + std::size_t(stated));
                    } catch (const std::exception&) {
                    }
                }
                return;
            }
        }
    }

    // An item becomes an entry once its third text-carrying child is read (a repeated name counts
    // again); an item with fewer is dropped. Every item starts from an empty record, so a text it
    // does not supply, or supplies too long to hold, stays empty.
    // The entry is filled in place at the end of the book and taken back if the item falls short.
    void ReadItem(const CXMLDOMNode& item) {
        AccountEntries& entries = m_book.vecEntries;
        AccountEntry& entry = entries.emplace_back();
        entry.nIndex = ReadIndexAttribute(item);
        int texts = 0;
        for (CXMLDOMNode child = item.GetFirstChild(); child; child = child.GetNextSibling()) {
            TextField* field = FieldFor(entry, child);
            if (field == nullptr) {
                continue;
            }
            CopyFieldText(*field, DecodedText(child));
            if (++texts == kTextsPerItem) {
                return;
            }
        }
        WipeBytes(&entry, sizeof entry);
        entries.pop_back();
    }

    std::int32_t ReadIndexAttribute(const CXMLDOMNode& item) {
        const CXMLDOMNamedNodeMap attributes = item.GetAttributes();
        const long count = attributes.GetLength();
        for (long i = 0; i < count; ++i) {
            const CXMLDOMNode attribute = attributes.GetItem(i);
            if (attribute.HasNodeName(kIndex)) {
                attribute.GetText(m_text);
                return ParseDecimalInt32(m_text);
            }
        }
        // Nothing relies on the number of an item without one.
        return 0;
    }

    // The field a child of an item fills, or null for a child that carries none.
    static TextField* FieldFor(AccountEntry& entry, const CXMLDOMNode& child) {
        if (child.HasNodeName(kAccount)) {
            return &entry.szAccount;
        }
        if (child.HasNodeName(kPassword)) {
            return &entry.szPassword;
        }
        if (child.HasNodeName(kComment)) {
            return &entry.szComment;
        }
        return nullptr;
    }

    // The decoded text of an element; the field copy stops at its first NUL byte.
    std::string_view DecodedText(const CXMLDOMNode& node) {
        node.GetText(m_text);
        m_codec.Decode(m_text, m_bytes);
        return m_bytes;
    }

    AccountBook& m_book;
    const CBase64& m_codec;
    Section m_section = Section::None;
    std::string m_text;
    std::string m_bytes;
};

CXMLDOMDocument2 NewBookDocument() {
    CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
    // The indentation between elements carries nothing; dropping it spares a node per run.
    doc.SetPreserveWhiteSpace(false);
    return doc;
}

// Reads the file as it is parsed, one child of a section at a time, so that a large book's tree
// never stands whole in memory.
bool ReadBook(AccountBook& book, const std::string& path, const CBase64& codec) {
    book.Clear();
    CXMLDOMDocument2 doc = NewBookDocument();
    BookReader reader(book, codec);
    if (doc.LoadStreamed(path, reader, kSectionChildDepth, g_maxAccountFileBytes)) {
        return true;
    }
    // What was read before the file proved unreadable is no book.
    book.Clear();
    return false;
}

// Reads a sealed book's plain bytes, as they are parsed, into the book.
bool ReadPlainBytes(AccountBook& book, const SecretBytes& plain, const std::string& path, const CBase64& codec) {
    book.Clear();
    CXMLDOMDocument2 doc = NewBookDocument();
    BookReader reader(book, codec);
    if (doc.LoadStreamedBytes(std::string_view(plain.data(), plain.size()), path, reader, kSectionChildDepth))
        return true;
    book.Clear();
    return false;
}

// The first bytes of the file, as far as they tell a sealed book from a plain one.
bool FileLooksSealed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char start[1024];
    struct stat info {};
    ssize_t got = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        got = ::read(fd, start, sizeof start);
    ::close(fd);
    return got > 0 && LooksSealed(std::string_view(start, std::size_t(got)));
}

BookRead FromSealed(SealedOutcome outcome) {
    switch (outcome) {
    case SealedOutcome::Opened:
        return BookRead::Read;
    case SealedOutcome::NotSealed:
        return BookRead::NotABook;
    case SealedOutcome::Damaged:
        return BookRead::Damaged;
    case SealedOutcome::WrongPassword:
        return BookRead::WrongPassword;
    case SealedOutcome::TooCostly:
        return BookRead::TooCostly;
    case SealedOutcome::NewerFormat:
        return BookRead::NewerFormat;
    case SealedOutcome::NoMemory:
        return BookRead::NoMemory;
    }
    return BookRead::NotABook;
}

// Opens a sealed book with the password or the key, then reads what it holds. The book inside must
// be the administrator's named outside, with the password that opened it.
BookRead ReadSealed(AccountBook& book, const std::string& path, const CBase64& codec, std::string_view password,
                    const BookKey* givenKey, std::unique_ptr<BookKey>& key) {
    SecretBytes file;
    std::string reason;
    if (!ReadRegularFile(path, SealedFileBytesFor(g_maxAccountFileBytes), file, reason))
        return BookRead::NotABook;
    SecretBytes plain;
    const std::string_view bytes(file.data(), file.size());
    const SealedOutcome opened =
        givenKey ? UnsealBookWithKey(bytes, *givenKey, plain) : UnsealBook(bytes, password, plain, key);
    if (opened != SealedOutcome::Opened)
        return FromSealed(opened);
    if (!ReadPlainBytes(book, plain, path, codec) || SealedBookAdmin(bytes) != FieldText(book.szAdminAccount) ||
        (givenKey == nullptr && FieldText(book.szAdminPassword) != password)) {
        book.Clear();
        key.reset();
        return BookRead::Damaged;
    }
    return BookRead::Read;
}

bool ReadBookFromTree(AccountBook& book, const std::string& path, const CBase64& codec) {
    book.Clear();
    CXMLDOMDocument2 doc = NewBookDocument();
    if (!doc.Load(path, g_maxAccountFileBytes)) {
        return false;
    }
    BookReader(book, codec).ReadTree(doc.GetDocumentElement());
    return true;
}

} // namespace

bool SaveAccountBook(const AccountBook& book, const std::string& path, const CBase64& codec,
                     const FileIdentity* expected, std::string* reason, const BookKey* key) {
    return RunGuarded(
        [&] {
            std::string notYetDurable;
            const bool fits = BookWriter(codec).Write(book, path, expected, key, notYetDurable);
            if (reason)
                *reason = fits ? std::move(notYetDurable)
                               : "the book would take more than " + std::to_string(g_maxAccountFileBytes) +
                                     " bytes, more than an account file can hold to be read again";
            return fits;
        },
        reason);
}

bool LoadAccountBook(AccountBook& book, const std::string& path, const CBase64& codec, const BookKey* key) {
    return RunGuarded([&] {
        if (!FileLooksSealed(path))
            return ReadBook(book, path, codec);
        std::unique_ptr<BookKey> unused;
        return key != nullptr && ReadSealed(book, path, codec, {}, key, unused) == BookRead::Read;
    });
}

BookRead ReadAccountBook(AccountBook& book, const std::string& path, const CBase64& codec, std::string_view password,
                         std::unique_ptr<BookKey>& key) {
    key.reset();
    BookRead read = BookRead::NotABook;
    RunGuarded([&] {
        if (FileLooksSealed(path))
            read = ReadSealed(book, path, codec, password, nullptr, key);
        else if (ReadBook(book, path, codec))
            read = BookRead::Read;
        return read == BookRead::Read;
    });
    if (read != BookRead::Read) {
        book.Clear();
        key.reset();
    }
    return read;
}

bool IsSealedBookFile(const std::string& path) {
    return FileLooksSealed(path);
}

namespace account_file_test {
void LimitAccountFileBytes(std::size_t bytes) {
    g_maxAccountFileBytes = bytes > 0 ? bytes : kMaxAccountFileBytes;
}

bool LoadAccountBookFromTree(AccountBook& book, const std::string& path, const CBase64& codec) {
    // A file that names itself sealed is refused unread without a key, as LoadAccountBook does.
    return RunGuarded([&] { return !FileLooksSealed(path) && ReadBookFromTree(book, path, codec); });
}
} // namespace account_file_test

bool AccountFileReadable(const std::string& path) {
    // Non-blocking, so that a pipe without a writer cannot hold the caller up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool regularFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regularFile;
}

bool DirectoryEntryExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string AccountFilePath(const std::string& folder, std::string_view account) {
    if (account.empty() || account.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return {};
    }
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path.append(account).append(kFileSuffix);
    if (path.size() > kMaxAccountPathBytes || path.find('\0') != std::string::npos) {
        return {};
    }
    return path;
}
