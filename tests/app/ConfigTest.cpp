#include "AppTestSupport.h"

#include "Identity.h"
#include "xmldom.h"

#include <gtest/gtest.h>

#include <ostream>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace {

const std::string kFixtures = std::string(ZELVO_TEST_DATA) + "/config";

struct ReadCase {
    const char* file;
    bool ok;
    int col0;
    int col1;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.file;
}

class ConfigReader : public testing::TestWithParam<ReadCase> {
protected:
    void SetUp() override {
        ResetGlobals();
        SetAppDir(kFixtures);
    }
    void TearDown() override { ResetGlobals(); }
};

TEST_P(ConfigReader, ReadsTheWidthsOfTheProgramsOwnFile) {
    const ReadCase& c = GetParam();
    TestableApp app;
    EXPECT_EQ(app.ReadConfig(c.file), c.ok);
    EXPECT_EQ(g_nCol0Width, c.col0);
    EXPECT_EQ(g_nCol1Width, c.col1);
}

std::string CaseName(const testing::TestParamInfo<ReadCase>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    for (char& ch : name)
        if (ch == '_')
            ch = 'X';
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ConfigReader,
    testing::Values(ReadCase{"own.xml", true, 220, 90}, ReadCase{"absent.xml", false, 150, 150},
                    ReadCase{"foreign_app.xml", false, 150, 150}, ReadCase{"app_case.xml", false, 150, 150},
                    ReadCase{"app_after_others.xml", false, 150, 150}, ReadCase{"no_app.xml", true, 210, 80},
                    ReadCase{"other_root.xml", true, 230, 70}, ReadCase{"text_width.xml", true, 200, 0},
                    ReadCase{"widths_under_root.xml", true, 150, 150},
                    ReadCase{"widths_as_attributes.xml", true, 150, 150},
                    ReadCase{"width_after_layout.xml", true, 240, 99},
                    ReadCase{"width_before_layout.xml", true, 150, 150}, ReadCase{"width_twice.xml", true, 260, 120},
                    ReadCase{"huge_numbers.xml", true, INT_MAX, INT_MIN},
                    ReadCase{"int_bounds.xml", true, INT_MAX, INT_MIN}, ReadCase{"atoi_forms.xml", true, -42, 7},
                    ReadCase{"nested_text.xml", true, 15, 64}, ReadCase{"not_well_formed.xml", false, 150, 150},
                    ReadCase{"empty.xml", false, 150, 150}, ReadCase{"doctype.xml", false, 150, 150},
                    ReadCase{"comments_and_cdata.xml", true, 180, 120}),
    CaseName);

TEST(ConfigReaderArguments, NullNameOrUnknownFolderFails) {
    ResetGlobals();
    TestableApp app;
    SetAppDir(kFixtures);
    EXPECT_FALSE(app.ReadConfig(nullptr));
    g_szAppDir[0] = '\0';
    EXPECT_FALSE(app.ReadConfig("own.xml"));
    EXPECT_EQ(g_nCol0Width, 150);
    ResetGlobals();
}

// The written file, read back with libxml2 itself rather than the component that wrote it.
struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<Element> children;
};

Element ToElement(xmlNodePtr node) {
    Element element{reinterpret_cast<const char*>(node->name), {}, {}, {}};
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
        element.attributes.emplace_back(reinterpret_cast<const char*>(a->name), reinterpret_cast<char*>(value));
        xmlFree(value);
    }
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            element.children.push_back(ToElement(child));
        else if (child->type == XML_TEXT_NODE)
            element.text += reinterpret_cast<const char*>(child->content);
        else
            ADD_FAILURE() << "unexpected node type " << child->type;
    }
    return element;
}

bool ParseFile(const std::string& path, Element& root) {
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
    if (!doc)
        return false;
    root = ToElement(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return true;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ConfigWriter : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        SetAppDir(m_dir.Path());
    }
    void TearDown() override { ResetGlobals(); }
    TempDir m_dir;
    TestableApp m_app;
};

TEST_F(ConfigWriter, WritesIdentityThenLayoutWithBothWidths) {
    g_nCol0Width = 220;
    g_nCol1Width = -5;
    ASSERT_TRUE(m_app.WriteConfig("Config.xml"));
    Element root;
    ASSERT_TRUE(ParseFile(m_dir / "Config.xml", root));
    EXPECT_EQ(root.name, "Config");
    const std::vector<std::pair<std::string, std::string>> identity = {
        {"Author", kAuthor}, {"Website", kWebsiteUrl}, {"App", kAppTitle}, {"Version", kVersion}};
    EXPECT_EQ(root.attributes, identity);
    EXPECT_EQ(root.text, "");
    ASSERT_EQ(root.children.size(), 1u);
    const Element& layout = root.children[0];
    EXPECT_EQ(layout.name, "Layout");
    EXPECT_TRUE(layout.attributes.empty());
    ASSERT_EQ(layout.children.size(), 2u);
    EXPECT_EQ(layout.children[0].name, "Col0Width");
    EXPECT_EQ(layout.children[0].text, "220");
    EXPECT_EQ(layout.children[1].name, "Col1Width");
    EXPECT_EQ(layout.children[1].text, "-5");
    for (const Element& width : layout.children) {
        EXPECT_TRUE(width.children.empty());
        EXPECT_TRUE(width.attributes.empty());
    }
}

TEST_F(ConfigWriter, WhatIsWrittenReadsBack) {
    const std::vector<std::pair<int, int>> widths = {{150, 150}, {0, 1}, {INT_MIN, INT_MAX}, {-1, 999999}};
    for (const auto& [col0, col1] : widths) {
        g_nCol0Width = col0;
        g_nCol1Width = col1;
        ASSERT_TRUE(m_app.WriteConfig("Config.xml"));
        g_nCol0Width = g_nCol1Width = 12345;
        ASSERT_TRUE(m_app.ReadConfig("Config.xml"));
        EXPECT_EQ(g_nCol0Width, col0);
        EXPECT_EQ(g_nCol1Width, col1);
    }
}

TEST_F(ConfigWriter, ReplacesAForeignFile) {
    { std::ofstream(m_dir / "Config.xml") << "<Config App=\"Other\"/>"; }
    ASSERT_TRUE(m_app.WriteConfig("Config.xml"));
    EXPECT_TRUE(m_app.ReadConfig("Config.xml"));
}

// Read at start, written at exit: an invalid file of the program's folder is replaced as ever, but a
// link's target that could not be read as the configuration is the user's, and stays byte for byte.
TEST(ConfigReadThenWritten, ReplacesOnlyWhatWasTheProgramsToReplace) {
    struct Case {
        const char* label;
        const char* elsewhere; // the bytes of a file outside the program folder; null: none
        bool linked;           // Config.xml is a link to that file; otherwise a file of these bytes
        bool written;
    };
    const std::string ownConfig = ReadAll(kFixtures + "/own.xml");
    const Case cases[] = {
        {"invalid file in the folder", "my notes\n", false, true},
        {"link to a file of the user's", "my notes\n", true, false},
        {"link leading nowhere", nullptr, true, false},
        {"link to the program's configuration", ownConfig.c_str(), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResetGlobals();
        TempDir dir;
        const std::string program = dir / "program";
        const std::string elsewhere = dir / "notes.txt";
        std::filesystem::create_directory(program);
        SetAppDir(program);
        if (c.elsewhere)
            std::ofstream(c.linked ? elsewhere : program + "/Config.xml") << c.elsewhere;
        if (c.linked)
            std::filesystem::create_symlink(elsewhere, program + "/Config.xml");
        TestableApp app;
        app.ReadConfig("Config.xml");
        EXPECT_EQ(app.WriteConfig("Config.xml"), c.written);
        EXPECT_EQ(std::filesystem::is_symlink(program + "/Config.xml"), c.linked);
        if (c.written)
            EXPECT_TRUE(app.ReadConfig("Config.xml"));
        else if (c.elsewhere)
            EXPECT_EQ(ReadAll(elsewhere), c.elsewhere);
        else
            EXPECT_FALSE(std::filesystem::exists(elsewhere));
    }
    ResetGlobals();
}

TEST_F(ConfigWriter, FailedSaveKeepsThePreviousFile) {
    g_nCol0Width = 222;
    ASSERT_TRUE(m_app.WriteConfig("Config.xml"));
    const std::string before = ReadAll(m_dir / "Config.xml");
    g_nCol0Width = 333;
    xmldom_test::FailNextSaveBeforeRename();
    EXPECT_FALSE(m_app.WriteConfig("Config.xml"));
    EXPECT_EQ(ReadAll(m_dir / "Config.xml"), before);
}

TEST_F(ConfigWriter, RefusesWhenThereIsNowhereToWrite) {
    EXPECT_FALSE(m_app.WriteConfig(nullptr));
    EXPECT_FALSE(m_app.WriteConfig(std::string(MAX_PATH, 'c').c_str()));
    g_szAppDir[0] = '\0';
    EXPECT_FALSE(m_app.WriteConfig("Config.xml"));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

TEST_F(ConfigWriter, UnwritableFolderFails) {
    SetAppDir(m_dir / "missing");
    EXPECT_FALSE(m_app.WriteConfig("Config.xml"));
}

} // namespace
