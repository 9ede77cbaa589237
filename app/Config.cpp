// The configuration file: the program's identity and the widths of the entry list's first two
// columns, kept in the program directory.
#include "ManagerApp.h"

#include "Globals.h"
#include "ProgramDocument.h"
#include "com.h"
#include "xmldom.h"

#include <string>

namespace {

// Takes the widths found among the section's children; the last of each name wins.
void ReadWidths(const CXMLDOMNode& section) {
    for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
        const std::string name = child.GetNodeName();
        if (name == "Col0Width")
            g_nCol0Width = ParseDecimalInt32(child.GetText());
        else if (name == "Col1Width")
            g_nCol1Width = ParseDecimalInt32(child.GetText());
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
    return RunGuarded([&] {
        CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
        if (!doc.Load(path))
            return false;
        const CXMLDOMElement root = doc.GetDocumentElement();
        if (!IsOwnDocument(root))
            return false;
        ReadLayout(root);
        return true;
    });
}

bool CManagerApp::WriteConfig(const char* fileName) {
    std::string path;
    // Without a program directory there is nowhere sound to write to.
    if (!fileName || !AppDirPath(fileName, path))
        return false;
    return RunGuarded([&] {
        CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
        CXMLDOMElement root = doc.CreateElement("Config");
        StampIdentity(root);
        doc.AppendChild(root);
        CXMLDOMElement layout = doc.CreateElement("Layout");
        root.AppendChild(layout);
        layout.AppendChild(NewTextElement(doc, "Col0Width", g_nCol0Width));
        layout.AppendChild(NewTextElement(doc, "Col1Width", g_nCol1Width));
        // The save replaces the file in one step; a failed save leaves the previous one intact.
        doc.Save(path);
        return true;
    });
}
