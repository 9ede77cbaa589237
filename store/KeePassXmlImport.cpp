#include "KeePassXmlImport.h"

#include "xmldom_files.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace {

bool Named(const xmlNode* node, const char* name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* Child(const xmlNode* parent, const char* name) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (Named(child, name))
            return child;
    }
    return nullptr;
}

// The element's text, its text and CDATA children one after another.
SecretBytes TextOf(const xmlNode* element) {
    SecretBytes text;
    if (element == nullptr)
        return text;
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content != nullptr) {
            const auto* content = reinterpret_cast<const char*>(child->content);
            text.insert(text.end(), content, content + std::strlen(content));
        }
    }
    return text;
}

std::string_view View(const SecretBytes& bytes) {
    return {bytes.data(), bytes.size()};
}

bool IsTrue(const xmlNode* element, const char* attribute) {
    xmlChar* value = xmlGetProp(element, reinterpret_cast<const xmlChar*>(attribute));
    const bool isTrue = value != nullptr && std::strcmp(reinterpret_cast<const char*>(value), "True") == 0;
    xmlFree(value);
    return isTrue;
}

// A document type declaration stops the parse: no entity is ever declared, so none is expanded.
void StopAtDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    parser->_private = parser;
    xmlStopParser(parser);
}

void IgnoreError(void*, xmlErrorPtr) {}

// The parsed document, or null with the reason.
xmlDocPtr Parse(std::string_view text, std::string& reason) {
    if (text.size() > std::size_t(INT_MAX)) {
        reason = "the file is too large to read as XML";
        return nullptr;
    }
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (parser == nullptr) {
        reason = "no memory to read the file";
        return nullptr;
    }
    parser->sax->internalSubset = StopAtDoctype;
    parser->sax->serror = IgnoreError;
    // No XML_PARSE_NOENT, DTDLOAD or HUGE, as for a book.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS | XML_PARSE_BIG_LINES;
    xmlDocPtr doc = xmlCtxtReadMemory(parser, text.data(), int(text.size()), nullptr, nullptr, options);
    const bool doctype = parser->_private != nullptr;
    const bool wellFormed = parser->wellFormed != 0;
    const int line = parser->input != nullptr ? parser->input->line : 0;
    xmlFreeParserCtxt(parser);
    if (doc != nullptr && wellFormed && !doctype && doc->intSubset == nullptr && xmlDocGetRootElement(doc) != nullptr)
        return doc;
    xmlFreeDoc(doc);
    reason = doctype ? "the XML holds a document type declaration, which a KeePass export never does"
                     : "the XML is not well-formed (line " + std::to_string(line) + ")";
    return nullptr;
}

// One entry's strings as the book takes them, and what it leaves behind.
struct EntryStrings {
    SecretBytes title, account, password, url;
    bool encrypted = false; // a value the book needs is encrypted for the inner stream
    bool notes = false;
    std::vector<std::string> others; // the other strings with text
};

EntryStrings ReadStrings(const xmlNode* entry) {
    EntryStrings strings;
    for (const xmlNode* field = entry->children; field != nullptr; field = field->next) {
        if (!Named(field, "String"))
            continue;
        const SecretBytes key = TextOf(Child(field, "Key"));
        const xmlNode* valueNode = Child(field, "Value");
        SecretBytes value = TextOf(valueNode);
        const std::string_view name = View(key);
        SecretBytes* kept = name == "Title"      ? &strings.title
                            : name == "UserName" ? &strings.account
                            : name == "Password" ? &strings.password
                            : name == "URL"      ? &strings.url
                                                 : nullptr;
        const bool encrypted = valueNode != nullptr && IsTrue(valueNode, "Protected");
        if (kept != nullptr && name != "URL") {
            strings.encrypted = strings.encrypted || (encrypted && !value.empty());
            kept->swap(value);
            continue;
        }
        if (kept != nullptr)
            kept->swap(value);
        else if (!value.empty()) {
            strings.notes = strings.notes || name == "Notes";
            strings.others.emplace_back(name);
        }
    }
    return strings;
}

bool HasElementChild(const xmlNode* parent) {
    for (const xmlNode* child = parent != nullptr ? parent->children : nullptr; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            return true;
    }
    return false;
}

class KeePassEntries {
public:
    KeePassEntries(ImportPlanBuilder& builder, SecretBytes recycleBin)
        : m_builder(builder), m_recycleBin(std::move(recycleBin)) {}

    // The groups are walked in document order; libxml2's depth limit bounds the recursion.
    bool ReadGroup(const xmlNode* group, bool top, std::string& reason) {
        if (!m_recycleBin.empty() && View(TextOf(Child(group, "UUID"))) == View(m_recycleBin))
            return true;
        for (const xmlNode* child = group->children; child != nullptr; child = child->next) {
            if (Named(child, "Entry") && !ReadEntry(child, top, reason))
                return false;
            if (Named(child, "Group") && !ReadGroup(child, false, reason))
                return false;
        }
        return true;
    }

private:
    bool ReadEntry(const xmlNode* entry, bool inTopGroup, std::string& reason) {
        if (m_builder.Rows() == kMaxImportRows) {
            reason =
                "the file has more than " + std::to_string(kMaxImportRows) + " entries, more than one import takes";
            return false;
        }
        const std::size_t line = std::size_t(xmlGetLineNo(entry));
        EntryStrings strings = ReadStrings(entry);
        if (strings.encrypted) {
            m_builder.Refuse(line, RowProblem::Unreadable, View(strings.title),
                             "encrypted for the database; export it from KeePass as XML");
            return true;
        }
        if (!m_builder.Offer(line, View(strings.account), View(strings.password), View(strings.title),
                             View(strings.url)))
            return true;
        auto& left = strings.others;
        if (!strings.url.empty() && !strings.title.empty())
            left.insert(left.begin(), "URL");
        if (!inTopGroup)
            left.insert(left.begin(), "Group");
        if (!TextOf(Child(entry, "Tags")).empty())
            left.emplace_back("Tags");
        if (Child(entry, "Binary") != nullptr)
            left.emplace_back("Attachments");
        if (HasElementChild(Child(entry, "History")))
            left.emplace_back("History");
        for (const std::string& name : left)
            m_builder.LeavesColumn(name);
        if (!left.empty())
            m_builder.LeavesData(line, strings.notes);
        return true;
    }

    ImportPlanBuilder& m_builder;
    const SecretBytes m_recycleBin;
};

} // namespace

bool IsKeePassXml(std::string_view text) {
    std::size_t at = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    for (;;) {
        at = text.find('<', at);
        if (at == std::string_view::npos)
            return false;
        const std::string_view rest = text.substr(at);
        if (rest.starts_with("<?")) {
            at = text.find("?>", at);
        } else if (rest.starts_with("<!--")) {
            at = text.find("-->", at);
        } else if (rest.starts_with("<!")) {
            // A document type declaration may hold markup of its own; the reader refuses it anyway.
            at = text.find("<KeePassFile", at);
        } else {
            return rest.starts_with("<KeePassFile") &&
                   (rest.size() == 12 || std::strchr(" \t\r\n>/", rest[12]) != nullptr);
        }
        if (at == std::string_view::npos)
            return false;
    }
}

bool PlanKeePassXmlImport(std::string_view text, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    plan.Clear();
    xmlDocPtr doc = Parse(text, reason);
    if (doc == nullptr)
        return false;
    const xmlNode* file = xmlDocGetRootElement(doc);
    const xmlNode* root = Named(file, "KeePassFile") ? Child(file, "Root") : nullptr;
    const xmlNode* top = root != nullptr ? Child(root, "Group") : nullptr;
    bool planned = false;
    if (top == nullptr) {
        reason = "the XML is no KeePass export: it has no KeePassFile, Root and Group";
    } else {
        const xmlNode* meta = Child(file, "Meta");
        const bool binEnabled = meta != nullptr && View(TextOf(Child(meta, "RecycleBinEnabled"))) != "False";
        ImportPlanBuilder builder(list, plan, kKeePassXmlSource, "Line");
        KeePassEntries entries(builder, binEnabled ? TextOf(Child(meta, "RecycleBinUUID")) : SecretBytes());
        planned = entries.ReadGroup(top, true, reason);
    }
    xmlFreeDoc(doc);
    if (!planned)
        plan.Clear();
    return planned;
}
