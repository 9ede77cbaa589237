// Internals shared by the component's source files: the state behind a document and the helpers
// that throw the component's error. Not part of the public interface.
#pragma once

#include "xmldom.h"

#include <libxml/tree.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xmldom_detail {

// Result codes carried by the component's errors.
inline constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT kInvalidArg = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);

// Everything a document owns. Nodes are never freed while the state lives, so a wrapper that
// still points at a node removed from the tree, or at a tree replaced by a later load, stays valid.
struct DocumentState {
    DocumentState();
    ~DocumentState();
    DocumentState(const DocumentState&) = delete;
    DocumentState& operator=(const DocumentState&) = delete;

    // Hands the current tree over to the state's keeping and starts from the given one.
    void ReplaceDocument(xmlDocPtr replacement);
    // Keeps a node that is outside any tree so it is freed with the state, if still detached.
    void Adopt(xmlNodePtr node);
    // Lets go of a kept node that has just joined a tree, which frees it from then on.
    void Release(xmlNodePtr node) noexcept;
    // Makes room so that the next count adoptions cannot fail.
    void ReserveAdoptions(std::size_t count);

    xmlDocPtr doc = nullptr;
    bool preserveWhiteSpace = true;
    long errorCode = 0;
    std::string errorReason;

private:
    std::vector<xmlDocPtr> m_retiredDocs;
    // Each kept node notes its position here, counted from 1, in its _private field, so that it
    // can be let go of without a search and the list only ever holds the nodes still outside.
    std::vector<xmlNodePtr> m_detachedNodes;
};

// Sets up a parser before it starts reading; data is the caller's.
using ParserSetup = void (*)(xmlParserCtxtPtr context, void* data);

// Loads the file into the document held by the state, recording the outcome there: the parsed tree
// becomes the document (an empty one after a failure, or when the tree is not kept). setup, when
// given, may take over how the parser builds the tree. FALSE when the file could not be loaded,
// out of memory included.
BOOL LoadInto(DocumentState& state, const std::string& path, std::size_t maxBytes, bool keepTree, ParserSetup setup,
              void* setupData);
// As LoadInto, from bytes already in memory, which stand for the file named by path in messages.
BOOL LoadBytesInto(DocumentState& state, std::string_view bytes, const std::string& path, bool keepTree,
                   ParserSetup setup, void* setupData);

// Throws the component's error with the given code and description.
[[noreturn]] void Fail(HRESULT hr, const std::string& description);

// True when the bytes are well-formed UTF-8 made only of characters an XML document may hold.
bool IsStorableText(const std::string& text);

// Throws unless IsStorableText holds; what names the text in the message.
void RequireStorable(const std::string& text, const char* what);

// True when the name can stand as an element or attribute name without a namespace prefix.
bool IsValidName(const std::string& name);

// Checks that a node may become the last child of the parent (null for the document itself): same
// document, not yet in a tree, and not the parent or one of its ancestors. Throws otherwise.
void RequireAppendable(const std::shared_ptr<DocumentState>& parentDoc, const xmlNode* parent,
                       const std::shared_ptr<DocumentState>& childDoc, xmlNodePtr childNode);

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // The descriptor held; -1 when none.
    int Get() const { return m_fd; }
    // Takes charge of another descriptor, closing the one held.
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    // Gives up charge of the descriptor held, which stays open, and returns it.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A file opened for the parser, which reads it a piece at a time. Only a regular file opens, and
// reading stops once more than the size limit has come in, even from a file that grew meanwhile.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file; false when it is missing, not a regular file, unreadable or larger than
    // maxBytes.
    bool Open(const std::string& path, std::size_t maxBytes);
    // Reads the bytes instead of a file; they must outlive the reading.
    void OpenBytes(std::string_view bytes, const std::string& path);
    // Reads up to size bytes: the count, 0 at the end, or -1 on a failure or past the limit.
    int Read(char* buffer, int size);
    // The file's size when it was opened.
    std::size_t OpenedSize() const { return m_openedSize; }
    // Why Open or Read failed: a libxml2 I/O error code; 0 while nothing failed.
    long FailureCode() const { return m_failureCode; }
    // Why Open or Read failed, for diagnostics.
    const std::string& FailureReason() const { return m_failureReason; }

private:
    bool Refuse(long code, std::string reason);
    std::string TooLargeReason() const;

    Descriptor m_fd{-1};
    std::string_view m_bytes; // what is read instead of a file, when m_inMemory
    bool m_inMemory = false;
    std::string m_path;
    std::size_t m_bytesRead = 0;
    std::size_t m_maxBytes = 0;
    std::size_t m_openedSize = 0;
    long m_failureCode = 0;
    std::string m_failureReason;
};

// Writes all the bytes to the descriptor; false with errno set when that fails.
bool WriteBytes(int fd, const char* bytes, std::size_t size);

// Writes a file through a temporary one in the folder of the file the path leads to (links are
// followed and kept): writeContent fills the temporary file (false with errno set on failure),
// which is then flushed to disk and put in place of that file. With an expected identity, a file
// that is not the expected one is never replaced. Throws on any failure before the new file takes
// its name, leaving a previous file untouched. Once it has, returns a note when that name is not
// yet durable (its folder could not be synced), or an empty text.
std::string ReplaceFileAtomically(const std::string& path, const std::function<bool(int fd)>& writeContent,
                                  const FileIdentity* expected = nullptr);

} // namespace xmldom_detail
