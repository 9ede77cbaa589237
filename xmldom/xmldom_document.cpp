// Documents of the XML document component: creation, loading, building and saving.
#include "wipe.h"
#include "xmldom_state.h"

#include <libxml/parser.h>
#include <libxml/xmlmemory.h>
#include <libxml/xmlsave.h>

#include <malloc.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <new>

using namespace xmldom_detail;

namespace {

// What one parse found wrong; the first error is kept, later ones are mostly its consequences.
struct ParseOutcome {
    long code = 0;
    std::string reason;
    bool doctypeSeen = false;
    bool inputFailed = false;
};

// libxml2 gives back the blocks of every document it reads: the file's bytes as read, the nodes and
// their texts. Each is zeroed first, so that a book that was read, its Base64 texts and all, is not
// left behind in freed memory.
void FreeWiped(void* block) {
    if (block == nullptr)
        return;
    WipeBytes(block, ::malloc_usable_size(block));
    std::free(block);
}

// A block that changes size always moves to a new one, so that the old one is wiped as it goes;
// when none can be had, the old one stays as it was.
void* ReallocWiped(void* block, std::size_t size) {
    void* moved = std::malloc(size != 0 ? size : 1);
    if (moved != nullptr && block != nullptr) {
        std::memcpy(moved, block, std::min(size, ::malloc_usable_size(block)));
        FreeWiped(block);
    }
    return moved;
}

// Once, before the component's first document: every block libxml2 allocated before came from
// malloc too, so freeing it this way is sound.
void WipeWhatLibxmlFrees() {
    static const bool installed = xmlMemSetup(FreeWiped, std::malloc, ReallocWiped, ::strdup) == 0;
    (void)installed;
}

// The parse running on this thread, for the parser's callbacks.
thread_local ParseOutcome* t_currentParse = nullptr;

void Record(ParseOutcome& outcome, long code, std::string reason) {
    if (outcome.code != 0)
        return;
    outcome.code = code != 0 ? code : static_cast<long>(XML_ERR_INTERNAL_ERROR);
    outcome.reason = std::move(reason);
}

// Keeps the parser's errors instead of letting libxml2 print them.
void OnParseError(void* /*context*/, xmlErrorPtr error) {
    if (t_currentParse == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    std::string message = error->message != nullptr ? error->message : "not well-formed";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    // Errors from character conversion and input come without a line.
    const std::string where = error->line > 0 ? "line " + std::to_string(error->line) + ": " : "";
    Record(*t_currentParse, error->code, where + message);
}

// Drop a message or an error; nothing the component does may print to the process's standard error.
void IgnoreMessage(void* /*context*/, const char* /*format*/, ...) {}
void IgnoreError(void* /*context*/, xmlErrorPtr /*error*/) {}

// While it lives, the libxml2 errors that are raised outside any parser context (character
// conversion, input and output) go to the given handler rather than to standard error. The
// handlers are per thread in libxml2; the ones in place before are restored afterwards.
class ErrorRouting {
public:
    explicit ErrorRouting(xmlStructuredErrorFunc handler)
        : m_structured(xmlStructuredError), m_structuredContext(xmlStructuredErrorContext), m_generic(xmlGenericError),
          m_genericContext(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(nullptr, handler);
        xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    }
    ~ErrorRouting() {
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
    }
    ErrorRouting(const ErrorRouting&) = delete;
    ErrorRouting& operator=(const ErrorRouting&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// The program's files never carry a document type declaration. Refusing any of them as soon as it
// starts means no entity is ever declared, so none can be expanded ("billion laughs") and no
// external entity or DTD can name a file or address to read.
void OnDoctype(void* context, const xmlChar* /*name*/, const xmlChar* /*externalId*/, const xmlChar* /*systemId*/) {
    if (t_currentParse != nullptr) {
        t_currentParse->doctypeSeen = true;
        Record(*t_currentParse, XML_ERR_USER_STOP, "document type declarations are not accepted");
    }
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Hands the parser the next piece of the file; a failed read ends the parse as a failure.
int ReadForParser(void* context, char* buffer, int size) {
    auto* file = static_cast<InputFile*>(context);
    const int count = file->Read(buffer, size);
    if (count < 0 && t_currentParse != nullptr) {
        t_currentParse->inputFailed = true;
        Record(*t_currentParse, file->FailureCode(), file->FailureReason());
    }
    return count;
}

// Parses the open file into a document with a root element, or returns null and says why. The
// file is read in pieces, so it is never held whole in memory beside its tree.
xmlDocPtr ParseDocument(InputFile& file, bool preserveWhiteSpace, ParseOutcome& outcome, ParserSetup setup,
                        void* setupData) {
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr)
        throw std::bad_alloc();
    context->sax->serror = OnParseError;
    context->sax->internalSubset = OnDoctype;
    if (setup != nullptr)
        setup(context, setupData);
    // No XML_PARSE_NOENT, DTDLOAD or HUGE: entities stay unexpanded and libxml2's limits on depth
    // and sizes apply. Short texts are kept inside their nodes, sparing a block each.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT |
                        (preserveWhiteSpace ? 0 : XML_PARSE_NOBLANKS);
    xmlDocPtr doc = nullptr;
    {
        ErrorRouting routing(OnParseError);
        t_currentParse = &outcome;
        doc = xmlCtxtReadIO(context, ReadForParser, nullptr, &file, nullptr, nullptr, options);
        t_currentParse = nullptr;
    }
    const int contextError = context->errNo;
    xmlFreeParserCtxt(context);
    const bool usable = doc != nullptr && !outcome.doctypeSeen && !outcome.inputFailed && doc->intSubset == nullptr &&
                        doc->extSubset == nullptr && xmlDocGetRootElement(doc) != nullptr;
    if (usable)
        return doc;
    xmlFreeDoc(doc);
    Record(outcome, contextError, "the document is not well-formed");
    return nullptr;
}

// Reads and parses the file, or returns null with the outcome saying why.
xmlDocPtr ReadDocument(InputFile& file, bool opened, bool preserveWhiteSpace, ParseOutcome& outcome,
                       ParserSetup setup, void* setupData) {
    if (!opened) {
        Record(outcome, file.FailureCode(), file.FailureReason());
        return nullptr;
    }
    return ParseDocument(file, preserveWhiteSpace, outcome, setup, setupData);
}

xmlDocPtr NewEmptyDocument() {
    xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (doc == nullptr)
        throw std::bad_alloc();
    // Names are then stored once for the whole document instead of once per element.
    doc->dict = xmlDictCreate();
    return doc;
}

// Where the serialiser's output goes; the first failed write is kept.
struct OutputFile {
    int fd = -1;
    int error = 0;
};

int WriteForSerialiser(void* context, const char* bytes, int size) {
    auto* file = static_cast<OutputFile*>(context);
    if (file->error != 0 || size < 0)
        return -1;
    if (!WriteBytes(file->fd, bytes, static_cast<std::size_t>(size))) {
        file->error = errno;
        return -1;
    }
    return size;
}

// Writes the document as UTF-8 to the descriptor as it is serialised; false with errno set when
// that fails.
bool WriteDocument(xmlDocPtr doc, int fd) {
    const ErrorRouting routing(IgnoreError);
    OutputFile file{fd};
    xmlOutputBufferPtr output = xmlOutputBufferCreateIO(WriteForSerialiser, nullptr, &file, nullptr);
    if (output == nullptr) {
        errno = ENOMEM;
        return false;
    }
    // Indentation goes only between elements; an element holding text is written as it is.
    const int written = xmlSaveFormatFileTo(output, doc, "UTF-8", 1);
    if (file.error != 0 || written < 0) {
        errno = file.error != 0 ? file.error : EIO;
        return false;
    }
    return true;
}

} // namespace

namespace xmldom_detail {

void Fail(HRESULT hr, const std::string& description) {
    CComException::Throw(hr, description);
}

DocumentState::DocumentState() : doc(NewEmptyDocument()) {}

DocumentState::~DocumentState() {
    // Decide which kept nodes are still outside every tree before freeing any: freeing one
    // detached tree frees the kept nodes inside it as well.
    std::vector<xmlNodePtr> detachedRoots;
    for (xmlNodePtr node : m_detachedNodes)
        if (node->parent == nullptr)
            detachedRoots.push_back(node);
    for (xmlNodePtr node : detachedRoots)
        xmlFreeNode(node);
    // Trees go after the nodes, whose names may live in a tree's dictionary.
    for (xmlDocPtr retired : m_retiredDocs)
        xmlFreeDoc(retired);
    xmlFreeDoc(doc);
}

void DocumentState::ReplaceDocument(xmlDocPtr replacement) {
    try {
        m_retiredDocs.reserve(m_retiredDocs.size() + 1);
    } catch (...) {
        xmlFreeDoc(replacement);
        throw;
    }
    m_retiredDocs.push_back(doc);
    doc = replacement;
}

void DocumentState::Adopt(xmlNodePtr node) {
    m_detachedNodes.push_back(node);
    node->_private = reinterpret_cast<void*>(static_cast<std::uintptr_t>(m_detachedNodes.size()));
}

void DocumentState::Release(xmlNodePtr node) noexcept {
    const auto position = reinterpret_cast<std::uintptr_t>(node->_private);
    if (position == 0 || position > m_detachedNodes.size() || m_detachedNodes[position - 1] != node)
        return;
    xmlNodePtr last = m_detachedNodes.back();
    m_detachedNodes[position - 1] = last;
    last->_private = reinterpret_cast<void*>(position);
    m_detachedNodes.pop_back();
    node->_private = nullptr;
}

void DocumentState::ReserveAdoptions(std::size_t count) {
    m_detachedNodes.reserve(m_detachedNodes.size() + count);
}

namespace {
BOOL LoadOpened(DocumentState& state, InputFile& file, bool opened, bool keepTree, ParserSetup setup,
                void* setupData) {
    try {
        ParseOutcome outcome;
        xmlDocPtr parsed = ReadDocument(file, opened, state.preserveWhiteSpace, outcome, setup, setupData);
        const bool loaded = parsed != nullptr;
        if (!keepTree) {
            xmlFreeDoc(parsed);
            parsed = nullptr;
        }
        state.ReplaceDocument(parsed != nullptr ? parsed : NewEmptyDocument());
        state.errorCode = loaded ? 0 : outcome.code;
        state.errorReason = loaded ? std::string() : outcome.reason;
        return loaded ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        state.errorCode = XML_ERR_NO_MEMORY;
        state.errorReason = "out of memory";
        return FALSE;
    }
}
} // namespace

BOOL LoadInto(DocumentState& state, const std::string& path, std::size_t maxBytes, bool keepTree, ParserSetup setup,
              void* setupData) {
    InputFile file;
    const bool opened = file.Open(path, maxBytes);
    return LoadOpened(state, file, opened, keepTree, setup, setupData);
}

BOOL LoadBytesInto(DocumentState& state, std::string_view bytes, const std::string& path, bool keepTree,
                   ParserSetup setup, void* setupData) {
    InputFile file;
    file.OpenBytes(bytes, path);
    return LoadOpened(state, file, true, keepTree, setup, setupData);
}

} // namespace xmldom_detail

CXMLDOMDocument2 CDOMDocument30Class::CreateXMLDOMDocument2(void* outer, DWORD /*context*/) {
    if (outer != nullptr)
        Fail(kNoAggregation, "documents cannot be aggregated");
    WipeWhatLibxmlFrees();
    xmlInitParser();
    return CXMLDOMDocument2(std::make_shared<DocumentState>());
}

BOOL CXMLDOMDocument2::Load(const std::string& path, std::size_t maxBytes) {
    if (m_doc == nullptr)
        return FALSE;
    return LoadInto(*m_doc, path, maxBytes, true, nullptr, nullptr);
}

void CXMLDOMDocument2::SetPreserveWhiteSpace(bool preserve) {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    m_doc->preserveWhiteSpace = preserve;
}

CXMLDOMParseError CXMLDOMDocument2::GetParseError() const {
    CXMLDOMParseError error;
    if (m_doc != nullptr) {
        error.m_code = m_doc->errorCode;
        error.m_reason = m_doc->errorReason;
    }
    return error;
}

CXMLDOMElement CXMLDOMDocument2::GetDocumentElement() const {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    return CXMLDOMElement(m_doc, xmlDocGetRootElement(m_doc->doc));
}

CXMLDOMElement CXMLDOMDocument2::CreateElement(const std::string& name) {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    if (!IsValidName(name))
        Fail(kInvalidArg, "invalid element name: " + name);
    xmlNodePtr node = xmlNewDocNode(m_doc->doc, nullptr, reinterpret_cast<const xmlChar*>(name.c_str()), nullptr);
    if (node == nullptr)
        throw std::bad_alloc();
    try {
        m_doc->Adopt(node);
    } catch (...) {
        xmlFreeNode(node);
        throw;
    }
    return CXMLDOMElement(m_doc, node);
}

void CXMLDOMDocument2::AppendChild(const CXMLDOMElement& child) {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    if (xmlDocGetRootElement(m_doc->doc) != nullptr)
        Fail(kFail, "the document already has a root element");
    RequireAppendable(m_doc, nullptr, child.m_doc, child.m_node);
    xmlDocSetRootElement(m_doc->doc, child.m_node);
    m_doc->Release(child.m_node);
}

void CXMLDOMDocument2::Save(const std::string& path) {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    xmlDocPtr doc = m_doc->doc;
    if (xmlDocGetRootElement(doc) == nullptr)
        Fail(kFail, "the document has no root element");
    ReplaceFileAtomically(path, [doc](int fd) { return WriteDocument(doc, fd); });
}
