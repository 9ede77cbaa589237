#include "resource.h"

#include "Identity.h"
#include "dlgtemplate.h"
#include "resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TemplateCase {
    UINT id;
    UINT defaultButton;
};

const TemplateCase kTemplates[] = {
    {IDD_ZELVO_MANAGER_DIALOG, IDOK},
    {IDD_LOGIN, IDOK},
    {IDD_CREATE_ADMIN, IDOK},
    {IDD_MESSAGE_BOX, IDC_BTN_MSGBOX_OK},
    {IDD_ABOUTBOX, IDOK},
    {IDD_GENERATE_PASSWORD, IDOK},
    {IDD_CHECK_PASSWORDS, IDOK},
    {IDD_REPLACE_PASSWORD, IDOK},
    {IDD_IMPORT, IDOK},
    {IDD_IMPORT_BOOK, IDOK},
    {IDD_EXPORT, IDOK},
    {IDD_CHANGE_PASSWORD, IDOK},
    {IDD_FIND, IDOK},
};

void PrintTo(const TemplateCase& param, std::ostream* os) {
    *os << "template " << param.id;
}

class DialogTemplateTest : public testing::TestWithParam<TemplateCase> {
protected:
    const DlgTemplate& Template() const {
        const DlgTemplate* dlg = AfxFindDialogTemplate(GetParam().id);
        if (dlg == nullptr) {
            throw std::runtime_error("no template " + std::to_string(GetParam().id));
        }
        return *dlg;
    }
};

bool IsButtonOfStyle(const DlgItemTemplate& item, DWORD buttonType) {
    return item.kind == ControlKind::Button && (item.style & 0xF) == buttonType;
}

// Every dialog is created with the class the application registers, and starts hidden.
TEST_P(DialogTemplateTest, NamesTheRegisteredClassAndStartsHidden) {
    EXPECT_EQ(Template().className, kMainDlgClassName);
    EXPECT_EQ(Template().style & WS_VISIBLE, 0u);
    EXPECT_EQ(Template().fontName, "MS Shell Dlg");
}

TEST_P(DialogTemplateTest, ControlIdsAreUnique) {
    std::set<UINT> seen;
    for (const DlgItemTemplate& item : Template().items) {
        if (item.id != IDC_STATIC) {
            EXPECT_TRUE(seen.insert(item.id).second) << "duplicate id " << item.id;
        }
    }
}

TEST_P(DialogTemplateTest, EveryControlLiesInsideTheClientArea) {
    const DlgTemplate& dlg = Template();
    for (const DlgItemTemplate& item : dlg.items) {
        EXPECT_GE(item.x, 0) << item.id;
        EXPECT_GE(item.y, 0) << item.id;
        EXPECT_GT(item.cx, 0) << item.id;
        EXPECT_GT(item.cy, 0) << item.id;
        EXPECT_LE(item.x + item.cx, dlg.cx) << "control " << item.id << " '" << item.text << "'";
        EXPECT_LE(item.y + item.cy, dlg.cy) << "control " << item.id << " '" << item.text << "'";
    }
}

TEST_P(DialogTemplateTest, HasExactlyOneDefaultButton) {
    const auto& items = Template().items;
    const auto isDefault = [](const DlgItemTemplate& item) { return IsButtonOfStyle(item, BS_DEFPUSHBUTTON); };
    ASSERT_EQ(std::count_if(items.begin(), items.end(), isDefault), 1);
    const auto found = std::find_if(items.begin(), items.end(), isDefault);
    EXPECT_EQ(found->id, GetParam().defaultButton);
    EXPECT_NE(found->style & WS_TABSTOP, 0u);
}

TEST_P(DialogTemplateTest, PushButtonsCheckBoxesEditsAndListsTakeTheFocusOnTab) {
    for (const DlgItemTemplate& item : Template().items) {
        const bool focusable = IsButtonOfStyle(item, BS_PUSHBUTTON) || IsButtonOfStyle(item, BS_DEFPUSHBUTTON) ||
                               IsButtonOfStyle(item, BS_AUTOCHECKBOX) || item.kind == ControlKind::Edit ||
                               item.kind == ControlKind::Spin || item.kind == ControlKind::ListView;
        EXPECT_EQ((item.style & WS_TABSTOP) != 0, focusable) << item.id << " '" << item.text << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, DialogTemplateTest, testing::ValuesIn(kTemplates),
                         [](const testing::TestParamInfo<TemplateCase>& info) {
                             return "Template" + std::to_string(info.param.id);
                         });

const DlgItemTemplate* FindItem(UINT dialogId, UINT itemId) {
    const DlgTemplate* dlg = AfxFindDialogTemplate(dialogId);
    if (dlg == nullptr) {
        return nullptr;
    }
    const auto found =
        std::find_if(dlg->items.begin(), dlg->items.end(), [itemId](const auto& item) { return item.id == itemId; });
    return found == dlg->items.end() ? nullptr : &*found;
}

TEST(DialogTemplates, UnknownIdHasNoTemplate) {
    EXPECT_EQ(AfxFindDialogTemplate(101), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(0), nullptr);
}

TEST(DialogTemplates, MainWindowTabOrder) {
    const DlgTemplate* dlg = AfxFindDialogTemplate(IDD_ZELVO_MANAGER_DIALOG);
    ASSERT_NE(dlg, nullptr);
    std::vector<UINT> tabStops;
    for (const DlgItemTemplate& item : dlg->items) {
        if (item.style & WS_TABSTOP) {
            tabStops.push_back(item.id);
        }
    }
    const std::vector<UINT> expected = {IDC_BTN_LOGIN,  IDC_BTN_ABOUT,    IDC_BTN_CREATE_ADMIN, IDC_BTN_HELP,
                                        UINT(IDOK),     IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD,    IDC_EDIT_COMMENT,
                                        IDC_BTN_INSERT, IDC_BTN_UPDATE,   IDC_BTN_DELETE,       IDC_LIST_ACCOUNTS};
    EXPECT_EQ(tabStops, expected);
}

struct EditCase {
    UINT dialog;
    UINT edit;
    bool masked;
};

void PrintTo(const EditCase& param, std::ostream* os) {
    *os << "template " << param.dialog << " edit " << param.edit;
}

class EditStyleTest : public testing::TestWithParam<EditCase> {};

// Passwords show in clear in the main window but are masked while logging in, creating a book,
// merging another book, or giving the password that lets an export write every password out.
TEST_P(EditStyleTest, PasswordMaskingAndScrolling) {
    const DlgItemTemplate* item = FindItem(GetParam().dialog, GetParam().edit);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->kind, ControlKind::Edit);
    EXPECT_EQ((item->style & ES_PASSWORD) != 0, GetParam().masked);
    EXPECT_EQ(item->style & (ES_AUTOHSCROLL | WS_BORDER), ES_AUTOHSCROLL | WS_BORDER);
}

const EditCase kEdits[] = {
    {IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_ACCOUNT, false},
    {IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_PASSWORD, false},
    {IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_COMMENT, false},
    {IDD_LOGIN, IDC_EDIT_ACCOUNT, false},
    {IDD_LOGIN, IDC_EDIT_PASSWORD, true},
    {IDD_CREATE_ADMIN, IDC_EDIT_ACCOUNT, false},
    {IDD_CREATE_ADMIN, IDC_EDIT_PASSWORD, true},
    {IDD_CREATE_ADMIN, IDC_EDIT_CONFIRM, true},
    {IDD_IMPORT_BOOK, IDC_EDIT_ACCOUNT, false},
    {IDD_IMPORT_BOOK, IDC_EDIT_PASSWORD, true},
    {IDD_EXPORT, IDC_EDIT_PASSWORD, true},
    {IDD_CHANGE_PASSWORD, IDC_EDIT_OLD_PASSWORD, true},
    {IDD_CHANGE_PASSWORD, IDC_EDIT_PASSWORD, true},
    {IDD_CHANGE_PASSWORD, IDC_EDIT_CONFIRM, true},
};

INSTANTIATE_TEST_SUITE_P(AllEdits, EditStyleTest, testing::ValuesIn(kEdits),
                         [](const testing::TestParamInfo<EditCase>& info) {
                             return "Template" + std::to_string(info.param.dialog) + "Edit" +
                                    std::to_string(info.param.edit);
                         });

TEST(DialogTemplates, AboutPictureNamesItsBitmap) {
    const DlgTemplate* dlg = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(dlg, nullptr);
    const auto picture = std::find_if(dlg->items.begin(), dlg->items.end(),
                                      [](const auto& item) { return (item.style & SS_TYPEMASK) == SS_BITMAP; });
    ASSERT_NE(picture, dlg->items.end());
    EXPECT_EQ(picture->kind, ControlKind::Static);
    EXPECT_EQ(picture->text, std::to_string(IDB_ABOUT));
    EXPECT_NE(AfxFindBitmapResource(UINT(std::stoul(picture->text))).data, nullptr);
}

TEST(DialogTemplates, AboutLinksShowTheMakersAddresses) {
    const DlgItemTemplate* web = FindItem(IDD_ABOUTBOX, IDC_LINK_WEBSITE);
    const DlgItemTemplate* mail = FindItem(IDD_ABOUTBOX, IDC_LINK_MAIL);
    ASSERT_NE(web, nullptr);
    ASSERT_NE(mail, nullptr);
    const std::string prefix = "Website : ";
    ASSERT_EQ(web->text.rfind(prefix, 0), 0u) << web->text;
    const std::string host = web->text.substr(prefix.size());
    EXPECT_EQ(std::string(kWebsiteUrl), "https://" + host + "/");
    EXPECT_EQ(mail->text, std::string("Mail to : ") + kSupportMail);
}

TEST(StringTable, AboutMenuItemAndUnknownIds) {
    EXPECT_EQ(AfxLoadResourceString(IDS_ABOUTBOX), "About Password Manager(&A)...");
    EXPECT_EQ(AfxLoadResourceString(102), "");
    EXPECT_EQ(AfxLoadResourceString(0), "");
}

} // namespace
