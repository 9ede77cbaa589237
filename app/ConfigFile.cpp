#include "ConfigFile.h"

#include "ProgramDocument.h"
#include "com.h"
#include "xmldom.h"

#include <sys/stat.h>

namespace {

// Takes the widths found among the section's children; the last of each name wins.
void ReadWidths(const CXMLDOMNode& section, int& col0Width, int& col1Width) {
    for (CXMLDOMNode child = section.GetFirstChild(); child; child = child.GetNextSibling()) {
        const std::string name = child.GetNodeName();
        if (name == "Col0Width")
            col0Width = ParseDecimalInt32(child.GetText());
        else if (name == "Col1Width")
            col1Width = ParseDecimalInt32(child.GetText());
    }
}

// Widths are read from the "Layout" element and from every element after it under the root.
void ReadLayout(const CXMLDOMElement& root, int& col0Width, int& col1Width) {
    bool inLayout = false;
    for (CXMLDOMNode child = root.GetFirstChild(); child; child = child.GetNextSibling()) {
        if (child.GetNodeName() == "Layout")
            inLayout = true;
        if (inLayout)
            ReadWidths(child, col0Width, col1Width);
    }
}

} // namespace

bool ReadConfigFile(const std::string& path, int& col0Width, int& col1Width) {
    return RunGuarded([&] {
        CXMLDOMDocument2 doc = CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, CLSCTX_ALL);
        if (!doc.Load(path, kMaxConfigBytes))
            return false;
        const CXMLDOMElement root = doc.GetDocumentElement();
        if (!IsOwnDocument(root))
            return false;
        ReadLayout(root, col0Width, col1Width);
        return true;
    });
}

bool ReplaceableAfterFailedRead(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode);
}
