// Writing a document straight out, in document order, without building its tree.
#include "wipe.h"
#include "xmldom_state.h"

#include <algorithm>

using namespace xmldom_detail;

namespace {

// The escapes the serialiser of the tree uses, so that both ways give the same bytes.
const char* TextEscape(char c) {
    switch (c) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

const char* AttributeEscape(char c) {
    switch (c) {
    case '"':
        return "&quot;";
    case '\n':
        return "&#10;";
    case '\t':
        return "&#9;";
    default:
        return TextEscape(c);
    }
}

template <class Escape> void AppendEscaped(WipingString& out, const std::string& text, Escape escape) {
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const char* replacement = escape(text[i])) {
            out.append(text, plainFrom, i - plainFrom).append(replacement);
            plainFrom = i + 1;
        }
    }
    out.append(text, plainFrom, std::string::npos);
}

void RequireValidName(const std::string& name, const char* what) {
    if (!IsValidName(name))
        Fail(kInvalidArg, std::string("invalid ") + what + " name: " + name);
}

} // namespace

// A large document repeats a handful of names many thousand times; each is checked once.
void CXMLDOMStreamWriter::RequireName(const std::string& name, const char* what) {
    if (std::find(m_checkedNames.begin(), m_checkedNames.end(), name) != m_checkedNames.end())
        return;
    RequireValidName(name, what);
    if (m_checkedNames.size() < kCheckedNamesKept)
        m_checkedNames.push_back(name);
}

CXMLDOMStreamWriter::CXMLDOMStreamWriter() : m_out("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {}

void CXMLDOMStreamWriter::StartElement(const std::string& name) {
    RequireName(name, "element");
    if (m_open.empty() && m_rootWritten)
        Fail(kFail, "the document already has a root element");
    OpenLine();
    m_out.append(1, '<').append(name);
    m_open.push_back(name);
    m_rootWritten = true;
    m_startTagOpen = true;
}

void CXMLDOMStreamWriter::SetAttribute(const std::string& name, const std::string& value) {
    if (!m_startTagOpen)
        Fail(kUnexpected, "attributes go on an element before its children");
    // "xmlns" would be read back as a namespace declaration, not as an attribute.
    if (name == "xmlns")
        Fail(kInvalidArg, "invalid attribute name: " + name);
    RequireName(name, "attribute");
    RequireStorable(value, "attribute value");
    m_out.append(1, ' ').append(name).append("=\"");
    AppendEscaped(m_out, value, AttributeEscape);
    m_out.append(1, '"');
}

void CXMLDOMStreamWriter::TextElement(const std::string& name, const std::string& text) {
    RequireName(name, "element");
    RequireStorable(text, "element text");
    if (m_open.empty())
        Fail(kFail, "a text element needs an open parent");
    OpenLine();
    m_out.append(1, '<').append(name);
    if (text.empty()) {
        m_out.append("/>\n");
        return;
    }
    m_out.append(1, '>');
    AppendEscaped(m_out, text, TextEscape);
    m_out.append("</").append(name).append(">\n");
}

void CXMLDOMStreamWriter::EndElement() {
    if (m_open.empty())
        Fail(kUnexpected, "no element is open");
    if (m_startTagOpen) {
        m_out.append("/>\n");
        m_startTagOpen = false;
    } else {
        m_out.append(2 * (m_open.size() - 1), ' ').append("</").append(m_open.back()).append(">\n");
    }
    m_open.pop_back();
}

std::string CXMLDOMStreamWriter::Save(const std::string& path, const FileIdentity* expected) {
    return SaveBytes(path, Bytes(), expected);
}

const WipingString& CXMLDOMStreamWriter::Bytes() const {
    if (!m_rootWritten || !m_open.empty())
        Fail(kFail, "the document is not complete");
    return m_out;
}

std::string CXMLDOMStreamWriter::SaveBytes(const std::string& path, std::string_view bytes,
                                           const FileIdentity* expected) {
    return ReplaceFileAtomically(
        path, [bytes](int fd) { return WriteBytes(fd, bytes.data(), bytes.size()); }, expected);
}

// A new child line: the parent's start tag ends first, and the child is indented two spaces a level.
void CXMLDOMStreamWriter::OpenLine() {
    if (m_startTagOpen) {
        m_out.append(">\n");
        m_startTagOpen = false;
    }
    m_out.append(2 * m_open.size(), ' ');
}
