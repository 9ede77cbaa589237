// Helpers shared by the XML document component's tests.
#pragma once

#include "xmldom.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace xmldom_testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("xmldom-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline CXMLDOMDocument2 NewDocument() {
    return CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, 23);
}

// True when the call threw the component's error (which is then freed).
inline bool ThrowsComException(const std::function<void()>& call) {
    try {
        call();
    } catch (CComException* error) {
        error->Delete();
        return true;
    }
    return false;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteBytes(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string DataFile(const std::string& name) {
    return std::string(XMLDOM_TEST_DATA_DIR) + "/" + name;
}

// An element as libxml2 reads it on its own, with only element children kept.
struct PlainElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text; // all text content, for a leaf
    std::vector<PlainElement> children;
};

inline std::string TakeString(xmlChar* text) {
    std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return result;
}

inline PlainElement ToPlain(xmlNodePtr node) {
    PlainElement element;
    element.name = reinterpret_cast<const char*>(node->name);
    for (xmlAttrPtr attr = node->properties; attr != nullptr; attr = attr->next)
        element.attributes.emplace_back(reinterpret_cast<const char*>(attr->name),
                                        TakeString(xmlNodeListGetString(node->doc, attr->children, 1)));
    element.text = TakeString(xmlNodeGetContent(node));
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            element.children.push_back(ToPlain(child));
    return element;
}

// Reads a saved file with libxml2 directly, independently of the component; false when it cannot.
inline bool ReadWithLibxml(const std::string& path, PlainElement& root) {
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr)
        return false;
    const bool hasRoot = xmlDocGetRootElement(doc) != nullptr;
    if (hasRoot)
        root = ToPlain(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return hasRoot;
}

// Every text reachable from the node through the component: names, texts and attribute values.
inline void CollectTexts(const CXMLDOMNode& node, std::vector<std::string>& texts) {
    texts.push_back(node.GetText());
    const CXMLDOMNamedNodeMap attributes = node.GetAttributes();
    for (long i = 0; i < attributes.GetLength(); ++i)
        texts.push_back(attributes.GetItem(i).GetText());
    for (CXMLDOMNode child = node.GetFirstChild(); child; child = child.GetNextSibling())
        CollectTexts(child, texts);
}

} // namespace xmldom_testing
