// The configuration file: the program's identity and the widths of the entry list's first two
// columns, kept in the program directory.
#include "ManagerApp.h"

#include "ConfigFile.h"
#include "Globals.h"
#include "ProgramDocument.h"
#include "com.h"
#include "xmldom.h"

#include <string>

namespace {

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
    if (ReadConfigFile(path, g_nCol0Width, g_nCol1Width)) {
        m_configLeftAlone.clear();
        return true;
    }
    m_configLeftAlone = ReplaceableAfterFailedRead(path) ? std::string() : path;
    return false;
}

bool CManagerApp::WriteConfig(const char* fileName) {
    std::string path;
    // Without a program directory there is nowhere sound to write to.
    if (!fileName || !AppDirPath(fileName, path) || path == m_configLeftAlone)
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
