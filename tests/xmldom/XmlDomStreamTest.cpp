#include "XmlDomTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace xmldom_testing;

struct StreamCase {
    const char* label;
    std::string value; // the attribute value and the texts of the document below
};

// One document with nesting, empty elements, an empty section and the case's value in an
// attribute and in texts, written once as a tree and once as a stream.
void BuildTree(CXMLDOMDocument2& doc, const std::string& value) {
    CXMLDOMElement root = doc.CreateElement("r\xC3\xA9seau");
    root.SetAttribute("First", value);
    root.SetAttribute("Second", "2");
    doc.AppendChild(root);
    CXMLDOMElement section = doc.CreateElement("Section");
    root.AppendChild(section);
    for (const std::string& text : {value, std::string(), value + value}) {
        CXMLDOMElement leaf = doc.CreateElement("Leaf");
        leaf.SetText(text);
        section.AppendChild(leaf);
    }
    CXMLDOMElement empty = doc.CreateElement("Empty");
    empty.SetAttribute("Count", "0");
    root.AppendChild(empty);
}

void Stream(CXMLDOMStreamWriter& writer, const std::string& value) {
    writer.StartElement("r\xC3\xA9seau");
    writer.SetAttribute("First", value);
    writer.SetAttribute("Second", "2");
    writer.StartElement("Section");
    for (const std::string& text : {value, std::string(), value + value})
        writer.TextElement("Leaf", text);
    writer.EndElement();
    writer.StartElement("Empty");
    writer.SetAttribute("Count", "0");
    writer.EndElement();
    writer.EndElement();
}

class XmlDomStreamBytes : public ::testing::TestWithParam<StreamCase> {};

TEST_P(XmlDomStreamBytes, StreamWritesWhatTheTreeWrites) {
    TempDir dir;
    CXMLDOMDocument2 doc = NewDocument();
    BuildTree(doc, GetParam().value);
    doc.Save(dir.File("tree.xml"));
    CXMLDOMStreamWriter writer;
    Stream(writer, GetParam().value);
    writer.Save(dir.File("stream.xml"));
    EXPECT_EQ(ReadBytes(dir.File("stream.xml")), ReadBytes(dir.File("tree.xml")));
}

INSTANTIATE_TEST_SUITE_P(Values, XmlDomStreamBytes,
                         ::testing::Values(StreamCase{"Plain", "YWJj+/=="}, StreamCase{"Markup", "a<b>&c\"d'e"},
                                           StreamCase{"Controls", "line\nnext\rtab\there"},
                                           StreamCase{"NonAscii", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x91"},
                                           StreamCase{"Blanks", "  "}),
                         [](const auto& info) { return std::string(info.param.label); });

// Misuse fails as the tree's operations fail, and a failed save leaves no file behind.
TEST(XmlDomStream, RefusesWhatTheTreeRefuses) {
    const std::vector<std::function<void(CXMLDOMStreamWriter&)>> misuses = {
        [](auto& w) { w.StartElement("not a name"); },
        [](auto& w) { w.StartElement("r"), w.SetAttribute("xmlns", "x"); },
        [](auto& w) { w.StartElement("r"), w.TextElement("a", "1"), w.SetAttribute("b", "2"); },
        [](auto& w) { w.StartElement("r"), w.TextElement("a", "\x01"); },
        [](auto& w) { w.StartElement("r"), w.EndElement(), w.StartElement("s"); },
    };
    for (std::size_t i = 0; i < misuses.size(); ++i) {
        CXMLDOMStreamWriter writer;
        EXPECT_TRUE(ThrowsComException([&] { misuses[i](writer); })) << i;
    }
    TempDir dir;
    CXMLDOMStreamWriter unfinished;
    unfinished.StartElement("r");
    EXPECT_TRUE(ThrowsComException([&] { unfinished.Save(dir.File("unfinished.xml")); }));
    EXPECT_FALSE(std::filesystem::exists(dir.File("unfinished.xml")));
}

} // namespace
