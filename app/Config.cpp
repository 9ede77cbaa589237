// The configuration file: the program's identity and the widths of the entry list's first two
// columns, kept in the program directory.
#include "ManagerApp.h"

#include "Globals.h"
#include "Identity.h"
#include "xmldom.h"

#include <climits>
#include <cstdint>
#include <string>

namespace {
constexpr DWORD kAllContexts = 23;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a width the way atoi does (leading blanks, optional sign, digits up to the first other
// character, 0 without digits), but a value beyond the int range is held at its nearest end.
int ParseWidth(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t(INT_MAX) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < kLimit)
            value = value * 10 + (text[i] - '0');
    if (negative)
        return value >= kLimit ? INT_MIN : int(-value);
    return value > INT_MAX ? INT_MAX : int(value);
}

// A file of another application names itself in the root's "App" attribute; no "App" passes.
bool IsOwnConfig(const CXMLDOMElement& root) {
    const CXMLDOMNamedNodeMap attributes = root.GetAttributes();
    const long count = attributes.GetLength();
    for (long i = 0; i < count; ++i) {
        const CXMLDOMNode attribute = attributes.GetItem(i);
        if (attribute.GetNodeName() == "App" && attribute.GetText() != kAppTitle)
            return false;
    }
    return true;
}

// Takes the widths found among the section's children; the last of each name wins.
void ReadWidths(const CXMLDOMNode& section) {
    for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
        const std::string name = child.GetNodeName();
        if (name == "Col0Width")
            g_nCol0Width = ParseWidth(child.GetText());
        else if (name == "Col1Width")
            g_nCol1Width = ParseWidth(child.GetText());
    }
}

// Widths are read from the "Layout" element and from every element after it under the root.
void ReadLayout(const CXMLDOMElement& root) {
    bool inLayout = false;
    for (CXMLDOMNode child = root.GetFirstChild(); child; child = child.GetNextSibling()) {
        if (child.GetNodeName() == "Layout")
            inLayout = true;
        if (inLayout)
            ReadWidths(child);
    }
}

CXMLDOMElement NewTextElement(CXMLDOMDocument2& doc, const char* name, int value) {
    CXMLDOMElement element = doc.CreateElement(name);
    element.SetText(std::to_string(value));
    return element;
}
} // namespace

bool CManagerApp::ReadConfig(const char* fileName) {
    std::string path;
    if (!fileName || !AppDirPath(fileName, path))
        return false;
    try {
        CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, kAllContexts);
        if (!doc.Load(path))
            return false;
        const CXMLDOMElement root = doc.GetDocumentElement();
        if (!IsOwnConfig(root))
            return false;
        ReadLayout(root);
        return true;
    } catch (CComException* error) {
        error->Delete();
        return false;
    } catch (...) {
        return false;
    }
}

bool CManagerApp::WriteConfig(const char* fileName) {
    std::string path;
    // Without a program directory there is nowhere sound to write to.
    if (!fileName || !AppDirPath(fileName, path))
        return false;
    try {
        CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, kAllContexts);
        CXMLDOMElement root = doc.CreateElement("Config");
        root.SetAttribute("Author", kAuthor);
        root.SetAttribute("Website", kWebsiteUrl);
        root.SetAttribute("App", kAppTitle);
        root.SetAttribute("Version", kVersion);
        doc.AppendChild(root);
        CXMLDOMElement layout = doc.CreateElement("Layout");
        root.AppendChild(layout);
        layout.AppendChild(NewTextElement(doc, "Col0Width", g_nCol0Width));
        layout.AppendChild(NewTextElement(doc, "Col1Width", g_nCol1Width));
        // The save replaces the file in one step; a failed save leaves the previous one intact.
        doc.Save(path);
        return true;
    } catch (CComException* error) {
        error->Delete();
        return false;
    } catch (...) {
        return false;
    }
}
