#include "AccountFile.h"

#include "ProgramDocument.h"
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

// A child of an item that carries one of the entry's three texts.
constexpr int kTextsPerItem = 3;

// Thrown inside the reader when the file is readable XML but not a usable account file.
struct NotAnAccountFile {};

// ---- writing ----

void AppendTextElement(CXMLDOMDocument2& doc, CXMLDOMElement& parent, const char* name, const std::string& text) {
    CXMLDOMElement element = doc.CreateElement(name);
    element.SetText(text);
    parent.AppendChild(element);
}

std::string EncodeField(const CBase64& codec, const TextField& field) {
    return codec.Encode(std::string(FieldText(field)));
}

void AppendAdminInfo(CXMLDOMDocument2& doc, CXMLDOMElement& root, const AccountBook& book, const CBase64& codec) {
    CXMLDOMElement adminInfo = doc.CreateElement(kAdminInfo);
    root.AppendChild(adminInfo);
    AppendTextElement(doc, adminInfo, kAccount, std::string(FieldText(book.szAdminAccount)));
    AppendTextElement(doc, adminInfo, kPassword, EncodeField(codec, book.szAdminPassword));
}

void AppendAccounts(CXMLDOMDocument2& doc, CXMLDOMElement& root, const AccountBook& book, const CBase64& codec) {
    CXMLDOMElement accounts = doc.CreateElement(kAccounts);
    root.AppendChild(accounts);
    accounts.SetAttribute(kTotalCnt, std::to_string(book.vecEntries.size()));
    // Items are numbered by position; the entries' own numbers are not kept.
    for (std::size_t i = 0; i < book.vecEntries.size(); ++i) {
        const AccountEntry& entry = book.vecEntries[i];
        CXMLDOMElement item = doc.CreateElement(kItem);
        item.SetAttribute(kIndex, std::to_string(i));
        accounts.AppendChild(item);
        AppendTextElement(doc, item, kAccount, EncodeField(codec, entry.szAccount));
        AppendTextElement(doc, item, kPassword, EncodeField(codec, entry.szPassword));
        AppendTextElement(doc, item, kComment, EncodeField(codec, entry.szComment));
    }
}

void WriteBook(const AccountBook& book, const std::string& path, const CBase64& codec, const FileIdentity* expected) {
    CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
    CXMLDOMElement root = doc.CreateElement(std::string(FieldText(book.szAdminAccount)));
    StampIdentity(root);
    doc.AppendChild(root);
    AppendAdminInfo(doc, root, book, codec);
    AppendAccounts(doc, root, book, codec);
    if (expected)
        doc.Save(path, *expected);
    else
        doc.Save(path);
}

// ---- reading ----

enum class Section { None, Admin, Accounts };

// The decoded text of an element, up to its first NUL byte.
std::string DecodeText(const CBase64& codec, const CXMLDOMNode& node) {
    std::string bytes = codec.Decode(node.GetText());
    const std::size_t terminator = bytes.find('\0');
    if (terminator != std::string::npos) {
        bytes.resize(terminator);
    }
    return bytes;
}

// Decodes an element's text into a field; the decoded copy is wiped, so the plain text is left only
// in the book.
bool CopyDecodedText(TextField& field, const CBase64& codec, const CXMLDOMNode& node) {
    std::string text = DecodeText(codec, node);
    const bool held = CopyFieldText(field, text);
    WipeString(text);
    return held;
}

// A file made by another program, or by this one under another title, is refused.
void CheckIdentity(const CXMLDOMElement& root) {
    if (!IsOwnDocument(root)) {
        throw NotAnAccountFile{};
    }
}

// Administrator texts must fit whole: a cut name or password would open the book to the wrong person.
void ReadAdminSection(AccountBook& book, const CXMLDOMNode& section, const CBase64& codec) {
    for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
        const std::string name = child.GetNodeName();
        if (name == kAccount) {
            const std::string account = child.GetText();
            if (account.empty() || !CopyFieldText(book.szAdminAccount, account)) {
                throw NotAnAccountFile{};
            }
        } else if (name == kPassword) {
            if (FieldText(book.szAdminAccount).empty() || !CopyDecodedText(book.szAdminPassword, codec, child)) {
                throw NotAnAccountFile{};
            }
        }
    }
}

std::int32_t ReadIndexAttribute(const CXMLDOMNode& item) {
    const CXMLDOMNamedNodeMap attributes = item.GetAttributes();
    const long count = attributes.GetLength();
    for (long i = 0; i < count; ++i) {
        const CXMLDOMNode attribute = attributes.GetItem(i);
        if (attribute.GetNodeName() == kIndex) {
            return ParseDecimalInt32(attribute.GetText());
        }
    }
    // Nothing relies on the number of an item without one.
    return 0;
}

// The field a child of an item fills, or null for a child that carries none.
TextField* FieldFor(AccountEntry& entry, const std::string& name) {
    if (name == kAccount) {
        return &entry.szAccount;
    }
    if (name == kPassword) {
        return &entry.szPassword;
    }
    if (name == kComment) {
        return &entry.szComment;
    }
    return nullptr;
}

// An item becomes an entry once its third text-carrying child is read (a repeated name counts
// again); an item with fewer is dropped. Every item starts from an empty record, so a text it does
// not supply, or supplies too long to hold, stays empty.
void ReadItem(AccountBook& book, const CXMLDOMNode& item, const CBase64& codec) {
    AccountEntry entry;
    entry.nIndex = ReadIndexAttribute(item);
    int texts = 0;
    for (CXMLDOMNode child = item.GetFirstChild(); child; child = child.GetNextSibling()) {
        TextField* field = FieldFor(entry, child.GetNodeName());
        if (field == nullptr) {
            continue;
        }
        CopyDecodedText(*field, codec, child);
        if (++texts == kTextsPerItem) {
            book.vecEntries.push_back(entry);
            break;
        }
    }
    WipeBytes(&entry, sizeof entry);
}

void ReadAccountsSection(AccountBook& book, const CXMLDOMNode& section, const CBase64& codec) {
    for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
        if (child.GetNodeName() == kItem) {
            ReadItem(book, child, codec);
        }
    }
}

// At most this many entries can come out of the document: one per Item under a child of the root.
// Reserving them up front spares a large book repeated reallocation of its entries.
std::size_t CountPossibleEntries(const CXMLDOMElement& root) {
    std::size_t items = 0;
    for (CXMLDOMNode section = root.GetFirstChild(); section; section = section.GetNextSibling()) {
        for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
            items += child.GetNodeName() == kItem ? 1 : 0;
        }
    }
    return items;
}

// The sections may come in any order; a child that names no section is read as part of the
// section before it, and children before the first section are skipped.
void ReadSections(AccountBook& book, const CXMLDOMElement& root, const CBase64& codec) {
    Section section = Section::None;
    for (CXMLDOMNode child = root.GetFirstChild(); child; child = child.GetNextSibling()) {
        const std::string name = child.GetNodeName();
        if (name == kAdminInfo) {
            section = Section::Admin;
        } else if (name == kAccounts) {
            section = Section::Accounts;
        }
        if (section == Section::Admin) {
            ReadAdminSection(book, child, codec);
        } else if (section == Section::Accounts) {
            ReadAccountsSection(book, child, codec);
        }
    }
}

bool ReadBook(AccountBook& book, const std::string& path, const CBase64& codec) {
    book.Clear();
    CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
    if (!doc.Load(path)) {
        return false;
    }
    const CXMLDOMElement root = doc.GetDocumentElement();
    if (root.IsNull()) {
        return false;
    }
    CheckIdentity(root);
    book.vecEntries.reserve(CountPossibleEntries(root));
    ReadSections(book, root, codec);
    return true;
}

} // namespace

bool SaveAccountBook(const AccountBook& book, const std::string& path, const CBase64& codec,
                     const FileIdentity* expected) {
    return RunGuarded([&] {
        WriteBook(book, path, codec, expected);
        return true;
    });
}

bool LoadAccountBook(AccountBook& book, const std::string& path, const CBase64& codec) {
    return RunGuarded([&] { return ReadBook(book, path, codec); });
}

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
