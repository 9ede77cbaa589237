// The XML document component: a small DOM over libxml2 offering the operations the program's
// configuration and account files need. Texts are UTF-8 byte strings. Errors are thrown as a
// pointer to CComException, which the catcher frees with Delete().
//
// Wrapper objects (document, element, node, attribute map) each hold a shared reference to
// their document; copying a wrapper shares it, and the document is released with the last one.
#pragma once

#include "afxtypes.h"
#include "wipe.h"
#include "xmldom_files.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xmldom_detail {
struct DocumentState;
struct StreamedParse;
} // namespace xmldom_detail
struct _xmlNode;
struct _xmlAttr;

// The component's error, thrown by pointer.
class CComException {
public:
    // An error with its result code and a readable description.
    CComException(HRESULT hr, std::string description) : m_hr(hr), m_strDescription(std::move(description)) {}
    // Throws a new error by pointer.
    [[noreturn]] static void Throw(HRESULT hr, const std::string& description);
    // Frees an exception caught by pointer.
    void Delete() { delete this; }
    // The result code (a failure code).
    HRESULT GetErrorCode() const { return m_hr; }
    // What went wrong, for diagnostics.
    const std::string& GetDescription() const { return m_strDescription; }

private:
    ~CComException() = default;
    HRESULT m_hr;
    std::string m_strDescription;
};

class CXMLDOMNamedNodeMap;

// Any node: element, attribute or text. A null node marks the end of a child walk.
class CXMLDOMNode {
public:
    // A null node.
    CXMLDOMNode() = default;
    // True for the null node that ends a walk.
    bool IsNull() const { return m_node == nullptr; }
    // True for a real node.
    explicit operator bool() const { return !IsNull(); }
    // Tag or attribute name; "#text", "#comment", "#cdata-section" for those nodes. Throws on a null node.
    std::string GetNodeName() const;
    // True when GetNodeName would give this name; compared in place, without making a string.
    bool HasNodeName(std::string_view name) const;
    // For an attribute its value; for an element the text it contains, descendants included.
    std::string GetText() const;
    // The same text, written into a string the caller keeps, so a long walk reuses one buffer.
    void GetText(std::string& text) const;
    // The first child node, text and comments included; null when there is none.
    CXMLDOMNode GetFirstChild() const;
    // The next node under the same parent; null after the last.
    CXMLDOMNode GetNextSibling() const;
    // The element's attributes; empty for any other node.
    CXMLDOMNamedNodeMap GetAttributes() const;

protected:
    friend class CXMLDOMDocument2;
    friend class CXMLDOMElement;
    friend class CXMLDOMNamedNodeMap;
    friend struct xmldom_detail::StreamedParse;
    CXMLDOMNode(std::shared_ptr<xmldom_detail::DocumentState> doc, _xmlNode* node, _xmlAttr* attr = nullptr)
        : m_doc(std::move(doc)), m_node(node), m_attr(attr) {}
    _xmlNode* RequireNode() const; // throws on a null node

    std::shared_ptr<xmldom_detail::DocumentState> m_doc;
    _xmlNode* m_node = nullptr;
    _xmlAttr* m_attr = nullptr; // set when this node is an attribute
};

// An element; created by the document, then appended to its parent.
class CXMLDOMElement : public CXMLDOMNode {
public:
    // A null element.
    CXMLDOMElement() = default;
    // Sets an attribute; a new attribute goes after the existing ones. Throws on an invalid name
    // (including "xmlns") and on a value SetText would refuse.
    void SetAttribute(const std::string& name, const std::string& value);
    // Replaces the element's content with this text, stored literally. Throws on text that is not
    // valid UTF-8 or holds characters XML cannot carry (such as control characters).
    void SetText(const std::string& text);
    // Appends the child as the last child. Throws if the child already has a parent, belongs to
    // another document, or is this element or one of its ancestors.
    void AppendChild(const CXMLDOMElement& child);

private:
    friend class CXMLDOMDocument2;
    using CXMLDOMNode::CXMLDOMNode;
};

// The attributes of an element, in document order.
class CXMLDOMNamedNodeMap {
public:
    // The number of attributes.
    long GetLength() const;
    // The attribute at a 0-based position; throws outside 0..length-1.
    CXMLDOMNode GetItem(long index) const;

private:
    friend class CXMLDOMNode;
    CXMLDOMNamedNodeMap(std::shared_ptr<xmldom_detail::DocumentState> doc, _xmlNode* element)
        : m_doc(std::move(doc)), m_element(element) {}
    std::shared_ptr<xmldom_detail::DocumentState> m_doc;
    _xmlNode* m_element = nullptr;
};

// What the last load of a document found wrong.
class CXMLDOMParseError {
public:
    // 0 after a successful load; otherwise nonzero (a libxml2 error code).
    long GetErrorCode() const { return m_code; }
    // Why the last load failed; empty after a successful one.
    const std::string& GetReason() const { return m_reason; }

private:
    friend class CXMLDOMDocument2;
    long m_code = 0;
    std::string m_reason;
};

// Told about the nodes of a document as CXMLDOMDocument2::LoadStreamed reads it, in document order.
// Only elements and processing instructions are passed on; a node is valid only during the call
// that passes it.
class CXMLDOMStreamHandler {
public:
    virtual ~CXMLDOMStreamHandler() = default;
    // A node above the depth at which nodes come whole (the root element is at depth 0): an
    // element as soon as its start tag is read, with its name and attributes but no children yet;
    // a processing instruction once read.
    virtual void OnNodeStart(const CXMLDOMNode& node, int depth) = 0;
    // A node at the depth at which nodes come whole, with everything it contains.
    virtual void OnWholeNode(const CXMLDOMNode& node) = 0;
};

// The largest file a document loads unless told otherwise: the program's files are a few
// kilobytes, and a book of a hundred thousand entries stays well below it.
inline constexpr std::size_t kMaxDocumentBytes = 64 * 1024 * 1024;

class CXMLDOMDocument2 {
public:
    CXMLDOMDocument2() = default; // a null document; use the factory
    // True for a document not made by the factory.
    bool IsNull() const { return m_doc == nullptr; }

    // Reads and parses a file. Nonzero on success; 0 when the file is missing, unreadable, not
    // well-formed, too large or too deeply nested. Never reads a DTD or external entity and never
    // expands entities: a file with any document type declaration fails, as the program's files
    // never have one. A file larger than maxBytes is too large. Replaces any content the document
    // had; after a failure it is empty.
    BOOL Load(const std::string& path, std::size_t maxBytes = kMaxDocumentBytes);
    // Reads and parses a file exactly as Load does (same checks, limits and whitespace handling,
    // same result), without ever holding its whole tree: the handler is told about the nodes down
    // to wholeDepth as they are read, and each node at wholeDepth is freed once it has been passed.
    // Once the handler throws it is told nothing more, but the rest of the file is still parsed:
    // the exception is passed on when the whole file is well-formed and dropped when Load would
    // fail. The document stays empty.
    BOOL LoadStreamed(const std::string& path, CXMLDOMStreamHandler& handler, int wholeDepth,
                      std::size_t maxBytes = kMaxDocumentBytes);
    // As LoadStreamed, from a document's bytes already in memory (a book opened from its seal);
    // name stands for the file in the parse error.
    BOOL LoadStreamedBytes(std::string_view bytes, const std::string& name, CXMLDOMStreamHandler& handler,
                           int wholeDepth);
    // Whether Load keeps text made only of whitespace that stands between elements, as child
    // nodes (the default), or drops it, which makes a large indented file's tree much smaller.
    // Whitespace that is an element's only content is always kept.
    void SetPreserveWhiteSpace(bool preserve);
    // The outcome of the last load.
    CXMLDOMParseError GetParseError() const;
    // The root element; a null element when the document has none.
    CXMLDOMElement GetDocumentElement() const;
    // A new element outside the tree. Throws when the name is not a valid element name (NCName).
    CXMLDOMElement CreateElement(const std::string& name);
    // Appends the root element. Throws when the document has one already or the element cannot
    // be appended (see CXMLDOMElement::AppendChild).
    void AppendChild(const CXMLDOMElement& child);
    // Writes the document as UTF-8 to a temporary file in the target's folder, flushes it to disk
    // and renames it over the target. On any failure the previous file is untouched, the
    // temporary file removed, and CComException thrown. A new file is readable and writable by
    // its owner only; a replaced file keeps its mode.
    void Save(const std::string& path);

private:
    friend class CDOMDocument30Class;
    explicit CXMLDOMDocument2(std::shared_ptr<xmldom_detail::DocumentState> doc) : m_doc(std::move(doc)) {}
    std::shared_ptr<xmldom_detail::DocumentState> m_doc;
};

// Writes a document straight out, element by element in document order, for documents too large
// to build as a tree first. The file holds exactly the bytes CXMLDOMDocument2::Save writes for the
// same tree: UTF-8 with an XML declaration, an element that holds only elements indented two
// spaces a level, an empty one closed at once. Names, values and texts are checked as
// CreateElement, SetAttribute and SetText check them, and throw alike.
class CXMLDOMStreamWriter {
public:
    CXMLDOMStreamWriter();
    CXMLDOMStreamWriter(const CXMLDOMStreamWriter&) = delete;
    CXMLDOMStreamWriter& operator=(const CXMLDOMStreamWriter&) = delete;
    // Opens an element as the last child of the open one; the first one is the root.
    void StartElement(const std::string& name);
    // Adds an attribute to the element just opened, before any child; each name once.
    void SetAttribute(const std::string& name, const std::string& value);
    // Writes an element that holds only this text (nothing when empty) as the last child of the
    // open one.
    void TextElement(const std::string& name, const std::string& text);
    // Closes the element opened last.
    void EndElement();
    // Writes the finished document to the file, replacing it as CXMLDOMDocument2::Save does: with
    // an expected identity, only while the path still leads to that file (for an absent identity,
    // to no file at all: a file that appeared meanwhile is never replaced); otherwise it throws,
    // leaving whatever is there untouched. Once the file has its name, returns a note when that name
    // is not yet durable (its folder could not be synced), or an empty text.
    std::string Save(const std::string& path, const FileIdentity* expected = nullptr);
    // The finished document's bytes, exactly as Save writes them; throws while it is not complete.
    const WipingString& Bytes() const;
    // Writes bytes made from a finished document (a sealed book) the way Save writes a document.
    static std::string SaveBytes(const std::string& path, std::string_view bytes,
                                 const FileIdentity* expected = nullptr);

private:
    static constexpr std::size_t kCheckedNamesKept = 16;
    void RequireName(const std::string& name, const char* what);
    void OpenLine();

    // The document so far; it may hold a whole book, so every buffer it outgrows is wiped.
public:
    // How many bytes the document written so far takes.
    std::size_t Size() const { return m_out.size(); }

private:
    WipingString m_out;
    std::vector<std::string> m_open;
    std::vector<std::string> m_checkedNames;
    bool m_startTagOpen = false;
    bool m_rootWritten = false;
};

// The factory of documents.
class CDOMDocument30Class {
public:
    // A new, empty document. The outer object must be null; the context is accepted as given.
    static CXMLDOMDocument2 CreateXMLDOMDocument2(void* outer = nullptr, DWORD context = 23);
};

// Runs work that uses the component and passes on its truth value. The component's error (freed
// here) and any other exception give false instead: nothing escapes to the caller. The error's
// description goes to reason, when one is given.
template <class Work> bool RunGuarded(Work&& work, std::string* reason = nullptr) noexcept {
    try {
        return work();
    } catch (CComException* error) {
        try {
            if (reason)
                *reason = error->GetDescription();
        } catch (...) {
        }
        error->Delete();
    } catch (...) {
    }
    return false;
}

namespace xmldom_test {
// Makes the next Save fail after writing its temporary file (before the rename), to prove that a
// failed save leaves the previous file intact.
void FailNextSaveBeforeRename();
// Makes saves write through named temporary files, as on a file system without unnamed ones.
void RefuseUnnamedFiles(bool refuse);
// Makes the next save's sync of its folder fail, after the file took its name.
void FailNextFolderSync();
// The instants of a save at which a test can change the target as another program might.
enum class SaveInstant {
    BeforeLastCheck, // after every check but the last, just before the new file is linked or renamed into place
    AtNaming,        // after every check, at the very instant the new file takes the target's name
};
// Runs the action once, in the next save, at that instant.
void RunBeforeReplacing(std::function<void()> action, SaveInstant instant = SaveInstant::BeforeLastCheck);
// Makes RunStartTime report the given moment instead of the real start (null: the real one again),
// so that files a test made count as older than the run.
void MoveRunStart(const timespec* start);
} // namespace xmldom_test
