// Building, walking and round-tripping documents through the XML document component.
#include "XmlDomTestSupport.h"

#include <gtest/gtest.h>

using namespace xmldom_testing;

namespace {

CXMLDOMDocument2 NewDocument() {
    return CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, 23);
}

CXMLDOMElement AppendElement(CXMLDOMDocument2& doc, CXMLDOMElement& parent, const std::string& name,
                             const std::string& text) {
    CXMLDOMElement element = doc.CreateElement(name);
    element.SetText(text);
    parent.AppendChild(element);
    return element;
}

// The names of a node's children, text and comment nodes included, as a walk meets them.
std::vector<std::string> ChildNames(const CXMLDOMNode& node) {
    std::vector<std::string> names;
    for (CXMLDOMNode child = node.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling())
        names.push_back(child.GetNodeName());
    return names;
}

CXMLDOMNode FindChild(const CXMLDOMNode& node, const std::string& name) {
    for (CXMLDOMNode child = node.GetFirstChild(); child; child = child.GetNextSibling())
        if (child.GetNodeName() == name)
            return child;
    return {};
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes AttributesOf(const CXMLDOMNode& node) {
    Attributes result;
    const CXMLDOMNamedNodeMap map = node.GetAttributes();
    for (long i = 0; i < map.GetLength(); ++i)
        result.emplace_back(map.GetItem(i).GetNodeName(), map.GetItem(i).GetText());
    return result;
}

TEST(XmlDomRoundTrip, BookShapedDocumentReadsBackWithLibxml) {
    TempDir dir;
    CXMLDOMDocument2 doc = NewDocument();
    CXMLDOMElement root = doc.CreateElement("Owner");
    const Attributes identity = {{"Author", "Zelvo Software"},
                                 {"Website", "https://example.org"},
                                 {"App", "Zelvo Password Manager"},
                                 {"Version", "1.3.0.1"}};
    for (const auto& [name, value] : identity)
        root.SetAttribute(name, value);
    doc.AppendChild(root);
    CXMLDOMElement admin = doc.CreateElement("AdminInfo");
    root.AppendChild(admin);
    AppendElement(doc, admin, "Account", "Owner");
    AppendElement(doc, admin, "Password", "");
    CXMLDOMElement accounts = doc.CreateElement("Accounts");
    root.AppendChild(accounts);
    accounts.SetAttribute("TotalCnt", "1");
    CXMLDOMElement item = doc.CreateElement("Item");
    item.SetAttribute("Index", "0");
    accounts.AppendChild(item);
    AppendElement(doc, item, "Account", "YQ==");
    AppendElement(doc, item, "Password", "Yg==");
    AppendElement(doc, item, "Comment", "Yw==");
    doc.Save(dir.File("Owner.xml"));

    PlainElement read;
    ASSERT_TRUE(ReadWithLibxml(dir.File("Owner.xml"), read));
    EXPECT_EQ(read.name, "Owner");
    EXPECT_EQ(read.attributes, identity);
    ASSERT_EQ(read.children.size(), 2u);
    const PlainElement& readAdmin = read.children[0];
    ASSERT_EQ(readAdmin.children.size(), 2u);
    EXPECT_EQ(readAdmin.children[0].text, "Owner");
    EXPECT_EQ(readAdmin.children[1].name, "Password");
    EXPECT_EQ(readAdmin.children[1].text, "");
    const PlainElement& readAccounts = read.children[1];
    EXPECT_EQ(readAccounts.attributes, (Attributes{{"TotalCnt", "1"}}));
    ASSERT_EQ(readAccounts.children.size(), 1u);
    const PlainElement& readItem = readAccounts.children[0];
    EXPECT_EQ(readItem.attributes, (Attributes{{"Index", "0"}}));
    ASSERT_EQ(readItem.children.size(), 3u);
    const std::vector<std::pair<std::string, std::string>> leaves = {
        {"Account", "YQ=="}, {"Password", "Yg=="}, {"Comment", "Yw=="}};
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(readItem.children[i].name, leaves[i].first);
        EXPECT_EQ(readItem.children[i].text, leaves[i].second);
    }
}

TEST(XmlDomRoundTrip, SavedFileCarriesUtf8Declaration) {
    TempDir dir;
    CXMLDOMDocument2 doc = NewDocument();
    CXMLDOMElement root = doc.CreateElement("Config");
    doc.AppendChild(root);
    doc.Save(dir.File("Config.xml"));
    EXPECT_EQ(ReadBytes(dir.File("Config.xml")).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
}

TEST(XmlDomRoundTrip, TextsAndAttributeValuesAreStoredLiterally) {
    const std::vector<std::string> values = {
        "&",     "<tag>",        "]]>",      "\"double\" 'single'", "&amp; kept", "a\r\nb\nc",
        "\ttab", "  padded  ",   "Zürich €", "\xF0\x9F\x98\x80",    "",           "x > y & y < z",
        "&#65;", "<![CDATA[x]]>"};
    for (const std::string& value : values) {
        SCOPED_TRACE("value: " + value);
        TempDir dir;
        CXMLDOMDocument2 doc = NewDocument();
        CXMLDOMElement root = doc.CreateElement("Config");
        root.SetAttribute("Value", value);
        doc.AppendChild(root);
        AppendElement(doc, root, "Leaf", value);
        doc.Save(dir.File("c.xml"));

        PlainElement read;
        ASSERT_TRUE(ReadWithLibxml(dir.File("c.xml"), read));
        EXPECT_EQ(read.attributes, (Attributes{{"Value", value}}));
        ASSERT_EQ(read.children.size(), 1u);
        EXPECT_EQ(read.children[0].text, value);

        CXMLDOMDocument2 loaded = NewDocument();
        ASSERT_TRUE(loaded.Load(dir.File("c.xml")));
        EXPECT_EQ(AttributesOf(loaded.GetDocumentElement()), (Attributes{{"Value", value}}));
        EXPECT_EQ(FindChild(loaded.GetDocumentElement(), "Leaf").GetText(), value);
    }
}

TEST(XmlDomNames, OnlyValidNamesAreAccepted) {
    struct Case {
        std::string name;
        bool validElement;
        bool validAttribute;
    };
    const std::vector<Case> cases = {
        {"Config", true, true},
        {"_x-1.y", true, true},
        {"Z\xC3\xBCrich", true, true},
        {"xmlns", true, false},
        {"", false, false},
        {"1abc", false, false},
        {"-x", false, false},
        {"a b", false, false},
        {"a:b", false, false},
        {"<x>", false, false},
        {"a&b", false, false},
        {"\xFF", false, false},
        {std::string("a\0b", 3), false, false},
        {"Owner\n", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("name: " + c.name);
        CXMLDOMDocument2 doc = NewDocument();
        EXPECT_EQ(ThrowsComException([&] { doc.CreateElement(c.name); }), !c.validElement);
        CXMLDOMElement element = doc.CreateElement("Element");
        EXPECT_EQ(ThrowsComException([&] { element.SetAttribute(c.name, "v"); }), !c.validAttribute);
        EXPECT_EQ(element.GetAttributes().GetLength(), c.validAttribute ? 1 : 0);
    }
}

TEST(XmlDomTexts, TextsXmlCannotHoldAreRefusedAndLeaveTheOldValue) {
    const std::vector<std::string> unstorable = {
        "\xFF",
        "bad \xC3",
        "\xC0\xAF",
        "\xED\xA0\x80",
        "\x01",
        "bell\a",
        std::string("a\0b", 3),
        "\xEF\xBF\xBE",
        "\xF4\x90\x80\x80",
        "\xF8\x88\x80\x80\x80",
    };
    for (const std::string& text : unstorable) {
        SCOPED_TRACE(testing::PrintToString(text));
        TempDir dir;
        CXMLDOMDocument2 doc = NewDocument();
        CXMLDOMElement root = doc.CreateElement("Config");
        doc.AppendChild(root);
        root.SetAttribute("Value", "old");
        root.SetText("old");
        EXPECT_TRUE(ThrowsComException([&] { root.SetText(text); }));
        EXPECT_TRUE(ThrowsComException([&] { root.SetAttribute("Value", text); }));
        doc.Save(dir.File("c.xml"));
        PlainElement read;
        ASSERT_TRUE(ReadWithLibxml(dir.File("c.xml"), read));
        EXPECT_EQ(read.text, "old");
        EXPECT_EQ(read.attributes, (Attributes{{"Value", "old"}}));
    }
}

TEST(XmlDomElements, SettingAnExistingAttributeKeepsItsPlace) {
    CXMLDOMDocument2 doc = NewDocument();
    CXMLDOMElement root = doc.CreateElement("Config");
    root.SetAttribute("Author", "a");
    root.SetAttribute("App", "b");
    root.SetAttribute("Author", "c");
    EXPECT_EQ(AttributesOf(root), (Attributes{{"Author", "c"}, {"App", "b"}}));
}

TEST(XmlDomElements, SetTextReplacesAllContent) {
    CXMLDOMDocument2 doc = NewDocument();
    CXMLDOMElement root = doc.CreateElement("Config");
    doc.AppendChild(root);
    CXMLDOMElement layout = AppendElement(doc, root, "Layout", "inner");
    root.SetText("first");
    root.SetText("second");
    EXPECT_EQ(root.GetText(), "second");
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"#text"}));
    // The element that was removed from the tree is still usable and may be appended again.
    EXPECT_EQ(layout.GetText(), "inner");
    root.SetText("");
    EXPECT_TRUE(root.GetFirstChild().IsNull());
    root.AppendChild(layout);
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"Layout"}));
}

TEST(XmlDomElements, InvalidTreeChangesThrow) {
    using Step = std::function<void(CXMLDOMDocument2&)>;
    const std::vector<std::pair<std::string, Step>> cases = {
        {"append twice",
         [](CXMLDOMDocument2& doc) {
             CXMLDOMElement a = doc.CreateElement("a"), b = doc.CreateElement("b"), c = doc.CreateElement("c");
             a.AppendChild(c);
             b.AppendChild(c);
         }},
        {"second root",
         [](CXMLDOMDocument2& doc) {
             doc.AppendChild(doc.CreateElement("a"));
             doc.AppendChild(doc.CreateElement("b"));
         }},
        {"root appended under an element",
         [](CXMLDOMDocument2& doc) {
             CXMLDOMElement root = doc.CreateElement("a");
             doc.AppendChild(root);
             doc.CreateElement("b").AppendChild(root);
         }},
        {"element under itself",
         [](CXMLDOMDocument2& doc) {
             CXMLDOMElement a = doc.CreateElement("a");
             a.AppendChild(a);
         }},
        {"ancestor under descendant",
         [](CXMLDOMDocument2& doc) {
             CXMLDOMElement a = doc.CreateElement("a"), b = doc.CreateElement("b"), c = doc.CreateElement("c");
             a.AppendChild(b);
             b.AppendChild(c);
             c.AppendChild(a);
         }},
        {"element of another document",
         [](CXMLDOMDocument2& doc) {
             CXMLDOMDocument2 other = NewDocument();
             doc.CreateElement("a").AppendChild(other.CreateElement("b"));
         }},
        {"null element", [](CXMLDOMDocument2& doc) { doc.CreateElement("a").AppendChild(CXMLDOMElement()); }},
        {"null root", [](CXMLDOMDocument2& doc) { doc.AppendChild(CXMLDOMElement()); }},
        {"text on a null element", [](CXMLDOMDocument2&) { CXMLDOMElement().SetText("x"); }},
        {"name of a null node", [](CXMLDOMDocument2&) { CXMLDOMNode().GetNodeName(); }},
        {"walk from a null node", [](CXMLDOMDocument2&) { CXMLDOMNode().GetNextSibling(); }},
        {"save without root", [](CXMLDOMDocument2& doc) { doc.Save(TempDir().File("never.xml")); }},
        {"null document", [](CXMLDOMDocument2&) { CXMLDOMDocument2().CreateElement("a"); }},
        {"aggregated document", [](CXMLDOMDocument2& doc) { doc = CDOMDocument30Class::CreateXMLDOMDocument2(&doc); }},
    };
    for (const auto& [label, step] : cases) {
        SCOPED_TRACE(label);
        CXMLDOMDocument2 doc = NewDocument();
        const Step& change = step;
        EXPECT_TRUE(ThrowsComException([&] { change(doc); }));
    }
}

TEST(XmlDomElements, NodesOutliveTheirDocumentObject) {
    CXMLDOMNode leaf;
    {
        CXMLDOMDocument2 doc = NewDocument();
        CXMLDOMElement root = doc.CreateElement("Config");
        doc.AppendChild(root);
        AppendElement(doc, root, "Col0Width", "150");
        // Elements never appended, alone and as a small tree, are freed with the document.
        doc.CreateElement("Orphan");
        CXMLDOMElement orphanParent = doc.CreateElement("OrphanParent");
        AppendElement(doc, orphanParent, "OrphanChild", "x");
        leaf = root.GetFirstChild();
    }
    EXPECT_EQ(leaf.GetNodeName(), "Col0Width");
    EXPECT_EQ(leaf.GetText(), "150");
}

TEST(XmlDomWalk, HandWrittenFileWalksEveryNodeInOrder) {
    CXMLDOMDocument2 doc = NewDocument();
    ASSERT_TRUE(doc.Load(DataFile("sample.xml")));
    EXPECT_EQ(doc.GetParseError().GetErrorCode(), 0);
    CXMLDOMElement root = doc.GetDocumentElement();
    EXPECT_EQ(root.GetNodeName(), "Owner");
    EXPECT_EQ(AttributesOf(root), (Attributes{{"Author", "Zelvo Software"},
                                              {"App", "Zelvo Password Manager"},
                                              {"Version", "1.3.0.1"},
                                              {"Website", "https://example.org/?a=1&b=2"}}));
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"#text", "AdminInfo", "#text", "Accounts", "#text"}));
    const CXMLDOMNode admin = FindChild(root, "AdminInfo");
    EXPECT_EQ(ChildNames(admin),
              (std::vector<std::string>{"#text", "Account", "#text", "#comment", "#text", "Password", "#text"}));
    EXPECT_EQ(FindChild(admin, "Account").GetText(), "Owner");
    EXPECT_EQ(FindChild(admin, "Password").GetText(), "cGFzcw==");
    const CXMLDOMNode item = FindChild(FindChild(root, "Accounts"), "Item");
    EXPECT_EQ(ChildNames(item), (std::vector<std::string>{"Account", "Password", "Comment"}));
    EXPECT_EQ(FindChild(item, "Account").GetText(), "a <b> & A");
    EXPECT_EQ(ChildNames(FindChild(item, "Password")), (std::vector<std::string>{"#cdata-section"}));
    EXPECT_EQ(FindChild(item, "Password").GetText(), "x<y");
    EXPECT_EQ(FindChild(item, "Comment").GetText(), "");
    EXPECT_EQ(item.GetText(), "a <b> & Ax<y");
}

TEST(XmlDomWalk, AttributeItemsAreBoundedAndHaveNoChildren) {
    CXMLDOMDocument2 doc = NewDocument();
    ASSERT_TRUE(doc.Load(DataFile("sample.xml")));
    const CXMLDOMNamedNodeMap attributes = doc.GetDocumentElement().GetAttributes();
    ASSERT_EQ(attributes.GetLength(), 4);
    for (long index : {-1L, 4L, 1000L}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(ThrowsComException([&] { attributes.GetItem(index); }));
    }
    const CXMLDOMNode last = attributes.GetItem(3);
    EXPECT_EQ(last.GetNodeName(), "Website");
    EXPECT_TRUE(last.GetFirstChild().IsNull());
    EXPECT_TRUE(last.GetNextSibling().IsNull());
    EXPECT_EQ(last.GetAttributes().GetLength(), 0);
    EXPECT_EQ(doc.GetDocumentElement().GetFirstChild().GetAttributes().GetLength(), 0);
}

TEST(XmlDomWalk, LoadReplacesContentAndKeepsEarlierNodesUsable) {
    TempDir dir;
    WriteBytes(dir.File("Config.xml"), "<Config><Layout/></Config>");
    CXMLDOMDocument2 doc = NewDocument();
    ASSERT_TRUE(doc.Load(DataFile("sample.xml")));
    const CXMLDOMElement firstRoot = doc.GetDocumentElement();
    ASSERT_TRUE(doc.Load(dir.File("Config.xml")));
    EXPECT_EQ(doc.GetDocumentElement().GetNodeName(), "Config");
    EXPECT_EQ(firstRoot.GetNodeName(), "Owner");
    EXPECT_FALSE(doc.Load(dir.File("missing.xml")));
    EXPECT_NE(doc.GetParseError().GetErrorCode(), 0);
    EXPECT_TRUE(doc.GetDocumentElement().IsNull());
    // A document emptied by a failed load can be built and loaded again.
    doc.AppendChild(doc.CreateElement("Rebuilt"));
    EXPECT_EQ(doc.GetDocumentElement().GetNodeName(), "Rebuilt");
    EXPECT_TRUE(doc.Load(dir.File("Config.xml")));
    EXPECT_EQ(doc.GetParseError().GetErrorCode(), 0);
    EXPECT_TRUE(doc.GetParseError().GetReason().empty());
}

// The node, its attributes and everything below it, in document order.
void CollectNodes(const CXMLDOMNode& node, std::vector<CXMLDOMNode>& nodes) {
    nodes.push_back(node);
    const CXMLDOMNamedNodeMap attributes = node.GetAttributes();
    for (long i = 0; i < attributes.GetLength(); ++i)
        nodes.push_back(attributes.GetItem(i));
    for (CXMLDOMNode child = node.GetFirstChild(); child; child = child.GetNextSibling())
        CollectNodes(child, nodes);
}

const char kIndentedDocument[] = "<root xmlns:p=\"urn:x\" p:attr=\"1\">\n"
                                 "  <p:item> </p:item>\n"
                                 "  <!--c-->\n"
                                 "  <plain>t<b/> u</plain>\n"
                                 "</root>\n";

TEST(XmlDomWalk, WhitespaceBetweenElementsIsDroppedOnlyWhenAsked) {
    TempDir dir;
    WriteBytes(dir.File("indented.xml"), kIndentedDocument);
    const std::vector<std::pair<bool, std::vector<std::string>>> cases = {
        {true, {"#text", "p:item", "#text", "#comment", "#text", "plain", "#text"}},
        {false, {"p:item", "#comment", "plain"}},
    };
    for (const auto& [preserve, rootChildren] : cases) {
        CXMLDOMDocument2 doc = NewDocument();
        doc.SetPreserveWhiteSpace(preserve);
        ASSERT_TRUE(doc.Load(dir.File("indented.xml")));
        const CXMLDOMElement root = doc.GetDocumentElement();
        EXPECT_EQ(ChildNames(root), rootChildren) << preserve;
        // An element's own whitespace and text beside other content are kept either way.
        EXPECT_EQ(FindChild(root, "p:item").GetText(), " ") << preserve;
        EXPECT_EQ(FindChild(root, "plain").GetText(), "t u") << preserve;
    }
}

TEST(XmlDomWalk, NameComparedInPlaceAgreesWithTheNodeName) {
    TempDir dir;
    WriteBytes(dir.File("indented.xml"), kIndentedDocument);
    CXMLDOMDocument2 doc = NewDocument();
    ASSERT_TRUE(doc.Load(dir.File("indented.xml")));
    std::vector<CXMLDOMNode> nodes;
    CollectNodes(doc.GetDocumentElement(), nodes);
    ASSERT_EQ(nodes.size(), 13u);
    for (const CXMLDOMNode& node : nodes) {
        const std::string name = node.GetNodeName();
        EXPECT_TRUE(node.HasNodeName(name)) << name;
        for (const std::string& other :
             {name.substr(0, name.size() - 1), name + "x", name.substr(name.find(':') + 1), "p:" + name, std::string()})
            EXPECT_EQ(node.HasNodeName(other), other == name) << name << " / " << other;
    }
}

} // namespace
