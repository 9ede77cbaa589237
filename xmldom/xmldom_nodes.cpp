// Nodes, elements and attribute maps of the XML document component.
#include "xmldom_state.h"

#include <libxml/xmlstring.h>

using namespace xmldom_detail;

void CComException::Throw(HRESULT hr, const std::string& description) {
    throw new CComException(hr, description);
}

namespace {

const char* Chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* XmlChars(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

// Takes ownership of a string libxml2 allocated and returns it as a std::string.
std::string TakeXmlString(xmlChar* text) {
    if (text == nullptr)
        return {};
    std::string result(Chars(text));
    xmlFree(text);
    return result;
}

std::string QualifiedName(const xmlNs* ns, const xmlChar* name) {
    std::string result;
    if (ns != nullptr && ns->prefix != nullptr)
        result.append(Chars(ns->prefix)).push_back(':');
    if (name != nullptr)
        result.append(Chars(name));
    return result;
}

// The text of a list of children that is one text node, where it lies; null for any other list.
const xmlChar* SoleText(const xmlNode* children) {
    const bool soleText = children != nullptr && children->next == nullptr && children->type == XML_TEXT_NODE;
    return soleText ? children->content : nullptr;
}

// The name a DOM gives to a node of each kind.
std::string NodeNameOf(const xmlNode* node) {
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        return QualifiedName(node->ns, node->name);
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return "#document";
    case XML_DOCUMENT_FRAG_NODE:
        return "#document-fragment";
    default:
        return node->name != nullptr ? Chars(node->name) : "";
    }
}

bool IsAncestorOrSelf(const xmlNode* candidate, const xmlNode* node) {
    for (; node != nullptr; node = node->parent)
        if (node == candidate)
            return true;
    return false;
}

} // namespace

namespace xmldom_detail {

void RequireAppendable(const std::shared_ptr<DocumentState>& parentDoc, const xmlNode* parent,
                       const std::shared_ptr<DocumentState>& childDoc, xmlNodePtr childNode) {
    if (childNode == nullptr)
        Fail(kInvalidArg, "cannot append a null element");
    if (childDoc != parentDoc || childNode->doc != parentDoc->doc)
        Fail(kInvalidArg, "cannot append an element of another document");
    if (childNode->parent != nullptr)
        Fail(kInvalidArg, "the element already has a parent");
    if (parent != nullptr && IsAncestorOrSelf(childNode, parent))
        Fail(kInvalidArg, "cannot append an element to itself or to one of its descendants");
}

} // namespace xmldom_detail

xmlNodePtr CXMLDOMNode::RequireNode() const {
    if (m_node == nullptr)
        Fail(kUnexpected, "operation on a null node");
    return m_node;
}

std::string CXMLDOMNode::GetNodeName() const {
    const xmlNode* node = RequireNode();
    return m_attr != nullptr ? QualifiedName(m_attr->ns, m_attr->name) : NodeNameOf(node);
}

bool CXMLDOMNode::HasNodeName(std::string_view name) const {
    const xmlNode* node = RequireNode();
    const bool named = m_attr != nullptr || node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE;
    if (!named)
        return NodeNameOf(node) == name;
    const xmlNs* ns = m_attr != nullptr ? m_attr->ns : node->ns;
    const xmlChar* local = m_attr != nullptr ? m_attr->name : node->name;
    if (ns != nullptr && ns->prefix != nullptr) {
        const std::string_view prefix = Chars(ns->prefix);
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix || name[prefix.size()] != ':')
            return false;
        name.remove_prefix(prefix.size() + 1);
    }
    return std::string_view(local != nullptr ? Chars(local) : "") == name;
}

std::string CXMLDOMNode::GetText() const {
    std::string text;
    GetText(text);
    return text;
}

void CXMLDOMNode::GetText(std::string& text) const {
    xmlNodePtr node = RequireNode();
    // Most values are a single text node; those are read in place rather than gathered into a copy.
    const bool holdsNodes = m_attr != nullptr || node->type == XML_ELEMENT_NODE;
    const xmlNode* children = m_attr != nullptr ? m_attr->children : node->children;
    if (holdsNodes && children == nullptr)
        text.clear();
    else if (const xmlChar* sole = holdsNodes ? SoleText(children) : nullptr)
        text.assign(Chars(sole));
    else if (m_attr != nullptr)
        text = TakeXmlString(xmlNodeListGetString(node->doc, m_attr->children, 1));
    else
        text = TakeXmlString(xmlNodeGetContent(node));
}

CXMLDOMNode CXMLDOMNode::GetFirstChild() const {
    xmlNodePtr node = RequireNode();
    if (m_attr != nullptr)
        return CXMLDOMNode(m_doc, nullptr);
    return CXMLDOMNode(m_doc, node->children);
}

CXMLDOMNode CXMLDOMNode::GetNextSibling() const {
    xmlNodePtr node = RequireNode();
    if (m_attr != nullptr)
        return CXMLDOMNode(m_doc, nullptr);
    return CXMLDOMNode(m_doc, node->next);
}

CXMLDOMNamedNodeMap CXMLDOMNode::GetAttributes() const {
    xmlNodePtr node = RequireNode();
    const bool isElement = m_attr == nullptr && node->type == XML_ELEMENT_NODE;
    return CXMLDOMNamedNodeMap(m_doc, isElement ? node : nullptr);
}

void CXMLDOMElement::SetAttribute(const std::string& name, const std::string& value) {
    xmlNodePtr node = RequireNode();
    // "xmlns" would be read back as a namespace declaration, not as an attribute.
    if (!IsValidName(name) || name == "xmlns")
        Fail(kInvalidArg, "invalid attribute name: " + name);
    RequireStorable(value, "attribute value");
    // xmlSetProp stores the value as plain text (no entity references are interpreted) and
    // keeps an existing attribute in its place.
    if (xmlSetProp(node, XmlChars(name), XmlChars(value)) == nullptr)
        Fail(kFail, "cannot set attribute " + name);
}

void CXMLDOMElement::SetText(const std::string& text) {
    xmlNodePtr node = RequireNode();
    RequireStorable(text, "element text");
    // The old children leave the tree but stay alive, as wrappers may still point at them.
    std::size_t childCount = 0;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        ++childCount;
    m_doc->ReserveAdoptions(childCount);
    while (node->children != nullptr) {
        xmlNodePtr child = node->children;
        xmlUnlinkNode(child);
        m_doc->Adopt(child);
    }
    if (text.empty())
        return;
    xmlNodePtr textNode = xmlNewDocTextLen(node->doc, XmlChars(text), static_cast<int>(text.size()));
    if (textNode == nullptr)
        Fail(kFail, "cannot create a text node");
    if (xmlAddChild(node, textNode) == nullptr) {
        xmlFreeNode(textNode);
        Fail(kFail, "cannot add a text node");
    }
}

void CXMLDOMElement::AppendChild(const CXMLDOMElement& child) {
    xmlNodePtr node = RequireNode();
    RequireAppendable(m_doc, node, child.m_doc, child.m_node);
    if (xmlAddChild(node, child.m_node) == nullptr)
        Fail(kFail, "cannot append the element");
    m_doc->Release(child.m_node);
}

long CXMLDOMNamedNodeMap::GetLength() const {
    long count = 0;
    for (const xmlAttr* attr = m_element != nullptr ? m_element->properties : nullptr; attr != nullptr;
         attr = attr->next)
        ++count;
    return count;
}

CXMLDOMNode CXMLDOMNamedNodeMap::GetItem(long index) const {
    long position = 0;
    for (xmlAttr* attr = m_element != nullptr ? m_element->properties : nullptr; attr != nullptr;
         attr = attr->next, ++position)
        if (position == index)
            return CXMLDOMNode(m_doc, m_element, attr);
    Fail(kInvalidArg, "attribute index out of range: " + std::to_string(index));
}
