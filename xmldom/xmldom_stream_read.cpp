// Streamed loading: the parser builds the tree as for Load, but each node at the depth where nodes
// come whole is passed to a handler and freed, so a large document never stands whole in memory.
// libxml2's own tree-building handlers still build every node, which keeps texts, whitespace and
// names exactly what Load gives.
#include "xmldom_state.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <exception>

using namespace xmldom_detail;

namespace xmldom_detail {

// One streamed load: whom to tell, and what the handler threw.
struct StreamedParse {
    std::shared_ptr<DocumentState> state;
    CXMLDOMStreamHandler& handler;
    int wholeDepth;
    std::exception_ptr failure;

    // Passes a node to the handler unless it has already thrown; the parser is C and must not see
    // the exception, which is kept for the end of the load.
    template <class Call> void Tell(xmlNodePtr node, Call call) noexcept {
        if (failure)
            return;
        try {
            call(CXMLDOMNode(state, node));
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

} // namespace xmldom_detail

namespace {

xmlParserCtxtPtr ContextOf(void* context) {
    return static_cast<xmlParserCtxtPtr>(context);
}

StreamedParse& ParseOf(xmlParserCtxtPtr context) {
    return *static_cast<StreamedParse*>(context->_private);
}

// The depth of the element the parser is in: 0 for the root, -1 outside it.
int OpenDepth(xmlParserCtxtPtr context) {
    return context->nodeNr - 1;
}

// Frees every child of the element. Called only right after one of them ended, when the parser
// keeps no hold on any of them.
void FreeChildren(xmlNodePtr element) {
    while (xmlNodePtr child = element->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
}

void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                    const xmlChar** attributes) {
    xmlParserCtxtPtr parser = ContextOf(context);
    const int depthBefore = OpenDepth(parser);
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount, defaultedCount,
                          attributes);
    StreamedParse& parse = ParseOf(parser);
    const int depth = OpenDepth(parser);
    if (depth == depthBefore + 1 && depth < parse.wholeDepth)
        parse.Tell(parser->node, [depth, &parse](const CXMLDOMNode& node) { parse.handler.OnNodeStart(node, depth); });
}

void OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri) {
    xmlParserCtxtPtr parser = ContextOf(context);
    xmlNodePtr element = parser->node;
    const int depth = OpenDepth(parser);
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    StreamedParse& parse = ParseOf(parser);
    if (element == nullptr || depth < 0 || depth > parse.wholeDepth)
        return;
    if (depth == parse.wholeDepth)
        parse.Tell(element, [&parse](const CXMLDOMNode& node) { parse.handler.OnWholeNode(node); });
    // The element and whatever came before it under the same parent have all been passed on; the
    // root stays to the end of the parse.
    if (depth > 0)
        FreeChildren(element->parent);
}

// A processing instruction is passed on when it is read; it is freed with its siblings.
void OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data) {
    xmlParserCtxtPtr parser = ContextOf(context);
    xmlSAX2ProcessingInstruction(context, target, data);
    xmlNodePtr parent = parser->node;
    if (parser->inSubset != 0 || parent == nullptr || parent->last == nullptr || parent->last->type != XML_PI_NODE)
        return;
    StreamedParse& parse = ParseOf(parser);
    const int depth = OpenDepth(parser) + 1;
    if (depth < parse.wholeDepth)
        parse.Tell(parent->last, [depth, &parse](const CXMLDOMNode& node) { parse.handler.OnNodeStart(node, depth); });
    else if (depth == parse.wholeDepth)
        parse.Tell(parent->last, [&parse](const CXMLDOMNode& node) { parse.handler.OnWholeNode(node); });
}

void TakeOverTreeBuilding(xmlParserCtxtPtr context, void* parse) {
    context->_private = parse;
    context->sax->startElementNs = OnStartElement;
    context->sax->endElementNs = OnEndElement;
    context->sax->processingInstruction = OnProcessingInstruction;
}

// Drops an exception that is not passed on, freeing the component's own error.
void Discard(const std::exception_ptr& failure) noexcept {
    try {
        std::rethrow_exception(failure);
    } catch (CComException* error) {
        error->Delete();
    } catch (...) {
    }
}

} // namespace

namespace {
template <class Load> BOOL LoadStreamedWith(const std::shared_ptr<DocumentState>& doc, CXMLDOMStreamHandler& handler,
                                            int wholeDepth, Load load) {
    if (doc == nullptr)
        return FALSE;
    StreamedParse parse{doc, handler, wholeDepth, nullptr};
    const BOOL loaded = load(parse);
    if (parse.failure) {
        if (loaded)
            std::rethrow_exception(parse.failure);
        Discard(parse.failure);
    }
    return loaded;
}
} // namespace

BOOL CXMLDOMDocument2::LoadStreamed(const std::string& path, CXMLDOMStreamHandler& handler, int wholeDepth,
                                    std::size_t maxBytes) {
    return LoadStreamedWith(m_doc, handler, wholeDepth, [&](StreamedParse& parse) {
        return LoadInto(*m_doc, path, maxBytes, false, TakeOverTreeBuilding, &parse);
    });
}

BOOL CXMLDOMDocument2::LoadStreamedBytes(std::string_view bytes, const std::string& name,
                                         CXMLDOMStreamHandler& handler, int wholeDepth) {
    return LoadStreamedWith(m_doc, handler, wholeDepth, [&](StreamedParse& parse) {
        return LoadBytesInto(*m_doc, bytes, name, false, TakeOverTreeBuilding, &parse);
    });
}
