// Documents of the XML document component: creation, loading, building and saving.
#include "xmldom_state.h"

#include <libxml/parser.h>

#include <new>

using namespace xmldom_detail;

namespace {

// What one parse found wrong; the first error is kept, later ones are mostly its consequences.
struct ParseOutcome {
    long code = 0;
    std::string reason;
    bool doctypeSeen = false;
};

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
    Record(*t_currentParse, error->code, "line " + std::to_string(error->line) + ": " + message);
}

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

// Parses the bytes into a document with a root element, or returns null and says why.
xmlDocPtr ParseDocument(const std::string& content, ParseOutcome& outcome) {
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr)
        throw std::bad_alloc();
    context->sax->serror = OnParseError;
    context->sax->internalSubset = OnDoctype;
    // No XML_PARSE_NOENT, DTDLOAD or HUGE: entities stay unexpanded and libxml2's limits on depth
    // and sizes apply.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    t_currentParse = &outcome;
    xmlDocPtr doc =
        xmlCtxtReadMemory(context, content.data(), static_cast<int>(content.size()), nullptr, nullptr, options);
    t_currentParse = nullptr;
    const int contextError = context->errNo;
    xmlFreeParserCtxt(context);
    const bool usable = doc != nullptr && !outcome.doctypeSeen && doc->intSubset == nullptr &&
                        doc->extSubset == nullptr && xmlDocGetRootElement(doc) != nullptr;
    if (usable)
        return doc;
    xmlFreeDoc(doc);
    Record(outcome, contextError, "the document is not well-formed");
    return nullptr;
}

xmlDocPtr NewEmptyDocument() {
    xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (doc == nullptr)
        throw std::bad_alloc();
    return doc;
}

std::string SerializeDocument(xmlDocPtr doc) {
    if (xmlDocGetRootElement(doc) == nullptr)
        Fail(kFail, "the document has no root element");
    xmlChar* bytes = nullptr;
    int size = 0;
    // Indentation goes only between elements; an element holding text is written as it is.
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, "UTF-8", 1);
    if (bytes == nullptr)
        Fail(kFail, "the document cannot be serialised");
    std::string result(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    xmlFree(bytes);
    return result;
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
}

void DocumentState::ReserveAdoptions(std::size_t count) {
    m_detachedNodes.reserve(m_detachedNodes.size() + count);
}

} // namespace xmldom_detail

CXMLDOMDocument2 CDOMDocument30Class::CreateXMLDOMDocument2(void* outer, DWORD /*context*/) {
    if (outer != nullptr)
        Fail(kNoAggregation, "documents cannot be aggregated");
    xmlInitParser();
    return CXMLDOMDocument2(std::make_shared<DocumentState>());
}

BOOL CXMLDOMDocument2::Load(const std::string& path) {
    if (m_doc == nullptr)
        return FALSE;
    try {
        std::string content;
        ParseOutcome outcome;
        xmlDocPtr parsed = nullptr;
        if (ReadWholeFile(path, content, outcome.code, outcome.reason))
            parsed = ParseDocument(content, outcome);
        m_doc->ReplaceDocument(parsed != nullptr ? parsed : NewEmptyDocument());
        m_doc->errorCode = parsed != nullptr ? 0 : outcome.code;
        m_doc->errorReason = parsed != nullptr ? std::string() : outcome.reason;
        return parsed != nullptr ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        m_doc->errorCode = XML_ERR_NO_MEMORY;
        m_doc->errorReason = "out of memory";
        return FALSE;
    }
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
}

void CXMLDOMDocument2::Save(const std::string& path) {
    if (m_doc == nullptr)
        Fail(kUnexpected, "operation on a null document");
    ReplaceFileAtomically(path, SerializeDocument(m_doc->doc));
}
