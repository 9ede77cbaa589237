// The program's dialog templates as data. Positions and sizes are in dialog units; the item order
// is the tab order. Controls carry the style bits a resource compiler would give them by default
// (child, visible, tab stop on buttons, edits and the list), so the framework layer can read them
// as it would any dialog resource.
#include "resource.h"

#include "Identity.h"
#include "dlgtemplate.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr const char* kFontName = "MS Shell Dlg";

constexpr DWORD kMainWindowStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kModalStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kEditStyle = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// Position and size of a control, in dialog units.
struct Box {
    short x, y, cx, cy;
};

DlgItemTemplate Control(UINT id, ControlKind kind, std::string text, Box box, DWORD style, DWORD exStyle = 0) {
    DlgItemTemplate item;
    item.id = id;
    item.kind = kind;
    item.text = std::move(text);
    item.x = box.x;
    item.y = box.y;
    item.cx = box.cx;
    item.cy = box.cy;
    item.style = style;
    item.exStyle = exStyle;
    return item;
}

DlgItemTemplate PushButton(UINT id, std::string text, Box box) {
    return Control(id, ControlKind::Button, std::move(text), box, kChild | BS_PUSHBUTTON | WS_TABSTOP);
}

DlgItemTemplate DefPushButton(UINT id, std::string text, Box box) {
    return Control(id, ControlKind::Button, std::move(text), box, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP);
}

DlgItemTemplate Edit(UINT id, Box box) {
    return Control(id, ControlKind::Edit, "", box, kEditStyle);
}

DlgItemTemplate PasswordEdit(UINT id, Box box) {
    return Control(id, ControlKind::Edit, "", box, kEditStyle | ES_PASSWORD);
}

DlgItemTemplate GroupBox(UINT id, Box box) {
    return Control(id, ControlKind::Button, "", box, kChild | BS_GROUPBOX, WS_EX_TRANSPARENT);
}

DlgItemTemplate Label(UINT id, std::string text, Box box, DWORD alignment) {
    return Control(id, ControlKind::Static, std::move(text), box, kChild | alignment);
}

// The host part of a web address: "https://www.example.org/" gives "www.example.org".
std::string HostOf(std::string_view url) {
    if (const auto scheme = url.find("://"); scheme != std::string_view::npos) {
        url.remove_prefix(scheme + 3);
    }
    return std::string(url.substr(0, url.find('/')));
}

DlgTemplate Dialog(UINT id, std::string caption, short cx, short cy, int pointSize, DWORD style) {
    DlgTemplate dlg;
    dlg.id = id;
    dlg.caption = std::move(caption);
    dlg.cx = cx;
    dlg.cy = cy;
    dlg.fontName = kFontName;
    dlg.pointSize = pointSize;
    dlg.style = style;
    dlg.className = kMainDlgClassName;
    return dlg;
}

DlgTemplate MainWindow() {
    DlgTemplate dlg = Dialog(IDD_ZELVO_MANAGER_DIALOG, "Manager", 339, 292, 9, kMainWindowStyle);
    dlg.exStyle = WS_EX_APPWINDOW;
    dlg.items = {
        PushButton(IDC_BTN_LOGIN, "&Login...", {126, 14, 86, 14}),
        PushButton(IDC_BTN_ABOUT, "&About...", {221, 14, 86, 14}),
        PushButton(IDC_BTN_CREATE_ADMIN, "&Create Admin...", {15, 30, 101, 14}),
        PushButton(IDC_BTN_HELP, "&Help Contents", {126, 30, 86, 14}),
        DefPushButton(IDOK, "E&xit", {221, 30, 86, 14}),
        Edit(IDC_EDIT_ACCOUNT, {69, 57, 237, 12}),
        Edit(IDC_EDIT_PASSWORD, {69, 73, 237, 12}),
        Edit(IDC_EDIT_COMMENT, {69, 89, 236, 12}),
        PushButton(IDC_BTN_INSERT, "&Insert", {40, 108, 54, 14}),
        PushButton(IDC_BTN_UPDATE, "&Update", {102, 108, 54, 14}),
        PushButton(IDC_BTN_DELETE, "&Delete", {164, 108, 54, 14}),
        Control(IDC_LIST_ACCOUNTS, ControlKind::ListView, "", {15, 129, 292, 145},
                kChild | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP),
        GroupBox(IDC_GROUP_COMMANDS, {10, 7, 303, 40}),
        GroupBox(IDC_GROUP_ENTRY, {10, 50, 303, 227}),
        Label(IDC_LABEL_ACCOUNT, "ID(Account):", {19, 57, 48, 8}, SS_RIGHT),
        Label(IDC_LABEL_PASSWORD, "Password:", {19, 73, 48, 8}, SS_RIGHT),
        Label(IDC_LABEL_COMMENT, "Comment:", {19, 89, 48, 8}, SS_RIGHT),
    };
    return dlg;
}

DlgTemplate LoginDialog() {
    DlgTemplate dlg = Dialog(IDD_LOGIN, "Login Dialog", 225, 103, 8, kModalStyle);
    dlg.items = {
        Edit(IDC_EDIT_ACCOUNT, {59, 23, 135, 12}),
        PasswordEdit(IDC_EDIT_PASSWORD, {59, 43, 135, 12}),
        DefPushButton(IDOK, "&OK", {50, 76, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {115, 76, 50, 14}),
        GroupBox(IDC_STATIC, {9, 9, 197, 56}),
        Label(IDC_STATIC, "Account:", {21, 24, 36, 11}, SS_RIGHT),
        Label(IDC_STATIC, "Password:", {16, 43, 41, 11}, SS_RIGHT),
    };
    return dlg;
}

DlgTemplate CreateAdminDialog() {
    DlgTemplate dlg = Dialog(IDD_CREATE_ADMIN, "Create Admin Dialog", 251, 119, 8, kModalStyle);
    dlg.items = {
        Edit(IDC_EDIT_ACCOUNT, {88, 23, 135, 12}),
        PasswordEdit(IDC_EDIT_PASSWORD, {88, 43, 135, 12}),
        PasswordEdit(IDC_EDIT_CONFIRM, {88, 64, 135, 12}),
        DefPushButton(IDOK, "&OK", {60, 92, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {125, 92, 50, 14}),
        GroupBox(IDC_STATIC, {7, 9, 223, 77}),
        Label(IDC_STATIC, "Account:", {10, 24, 69, 11}, SS_RIGHT),
        Label(IDC_STATIC, "Password:", {10, 43, 69, 11}, SS_RIGHT),
        Label(IDC_STATIC, "Confim Password:", {10, 64, 69, 11}, SS_RIGHT),
    };
    return dlg;
}

// Laid out as Create Admin: the password to replace, then the new one twice.
DlgTemplate ChangePasswordDialog() {
    DlgTemplate dlg = Dialog(IDD_CHANGE_PASSWORD, "Change Password Dialog", 251, 119, 8, kModalStyle);
    dlg.items = {
        PasswordEdit(IDC_EDIT_OLD_PASSWORD, {88, 23, 135, 12}),
        PasswordEdit(IDC_EDIT_PASSWORD, {88, 43, 135, 12}),
        PasswordEdit(IDC_EDIT_CONFIRM, {88, 64, 135, 12}),
        DefPushButton(IDOK, "&OK", {60, 92, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {125, 92, 50, 14}),
        GroupBox(IDC_STATIC, {7, 9, 223, 77}),
        Label(IDC_STATIC, "Old Password:", {10, 24, 69, 11}, SS_RIGHT),
        Label(IDC_STATIC, "New Password:", {10, 43, 69, 11}, SS_RIGHT),
        Label(IDC_STATIC, "Confirm Password:", {10, 64, 69, 11}, SS_RIGHT),
    };
    return dlg;
}

// ---------------------------------------------------------------------------------------------
// Strong passwords.

DlgItemTemplate CheckBox(UINT id, std::string text, Box box) {
    return Control(id, ControlKind::Button, std::move(text), box, kChild | BS_AUTOCHECKBOX | WS_TABSTOP);
}

// The password and its strength above the choices it is made with; Use is the default button.
DlgTemplate GeneratePasswordDialog() {
    DlgTemplate dlg = Dialog(IDD_GENERATE_PASSWORD, "Generate Password", 250, 161, 8, kModalStyle);
    dlg.items = {
        Control(IDC_EDIT_GENERATED, ControlKind::Edit, "", {55, 9, 188, 12}, kEditStyle | ES_READONLY),
        Label(IDC_STATIC_STRENGTH, "", {55, 26, 188, 8}, SS_LEFT | SS_NOPREFIX),
        Control(IDC_EDIT_LENGTH, ControlKind::Spin, "", {55, 53, 36, 12}, kEditStyle),
        CheckBox(IDC_CHECK_LOWER_CASE, "&Lower case (a-z)", {15, 81, 105, 10}),
        CheckBox(IDC_CHECK_UPPER_CASE, "Upp&er case (A-Z)", {125, 81, 110, 10}),
        CheckBox(IDC_CHECK_DIGITS, "&Digits (0-9)", {15, 95, 105, 10}),
        CheckBox(IDC_CHECK_SYMBOLS, "&Symbols (!#$%...)", {125, 95, 110, 10}),
        CheckBox(IDC_CHECK_NO_LOOK_ALIKES, "E&xclude look-alike characters (O 0 l 1 I ...)", {15, 111, 220, 10}),
        PushButton(IDC_BTN_GENERATE, "&Generate", {7, 140, 60, 14}),
        DefPushButton(IDOK, "&Use", {127, 140, 55, 14}),
        PushButton(IDCANCEL, "&Cancel", {188, 140, 55, 14}),
        Label(IDC_STATIC, "Password:", {7, 11, 44, 8}, SS_RIGHT),
        Label(IDC_STATIC, "Strength:", {7, 26, 44, 8}, SS_RIGHT),
        GroupBox(IDC_STATIC, {7, 40, 236, 90}),
        Label(IDC_STATIC, "Length:", {15, 55, 36, 8}, SS_RIGHT),
        Label(IDC_STATIC, "from 4 to 128 characters", {96, 55, 139, 8}, SS_LEFT),
        Label(IDC_STATIC_LENGTH_ERROR, "", {55, 68, 180, 8}, SS_LEFT | SS_NOPREFIX),
    };
    return dlg;
}

// The administrator password's strength and the progress above the entries found; never a password.
// The window can be sized: the list takes the room, the buttons keep to the lower right corner.
DlgTemplate CheckPasswordsDialog() {
    DlgTemplate dlg = Dialog(IDD_CHECK_PASSWORDS, "Check Passwords", 380, 212, 8, kModalStyle | WS_THICKFRAME);
    dlg.items = {
        Label(IDC_STATIC_ADMIN_STRENGTH, "", {7, 7, 290, 8}, SS_LEFT | SS_NOPREFIX),
        PushButton(IDC_BTN_CHANGE_ADMIN, "C&hange Password...", {303, 4, 70, 14}),
        Label(IDC_STATIC_NOT_ENCRYPTED,
              "This book is not encrypted: anyone who can read its file can read every password. Encrypt Book in "
              "the window menu locks it.",
              {7, 21, 366, 8}, SS_LEFT | SS_NOPREFIX),
        Label(IDC_STATIC_CHECK_STATUS, "", {7, 33, 366, 8}, SS_LEFT | SS_NOPREFIX),
        Control(IDC_LIST_PASSWORD_PROBLEMS, ControlKind::ListView, "Weak or reused passwords", {7, 45, 366, 140},
                kChild | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP),
        PushButton(IDC_BTN_REPLACE_PASSWORD, "&Replace Password...", {169, 191, 82, 14}),
        DefPushButton(IDOK, "&Go to Entry", {257, 191, 55, 14}),
        PushButton(IDCANCEL, "&Cancel", {318, 191, 55, 14}),
    };
    return dlg;
}

// A new password for one entry, shown by its account ID and comment, which stay as they are.
DlgTemplate ReplacePasswordDialog() {
    DlgTemplate dlg = Dialog(IDD_REPLACE_PASSWORD, "Replace Password", 250, 98, 8, kModalStyle);
    dlg.items = {
        Control(IDC_EDIT_ACCOUNT, ControlKind::Edit, "", {62, 9, 181, 12}, kEditStyle | ES_READONLY),
        Control(IDC_EDIT_COMMENT, ControlKind::Edit, "", {62, 27, 181, 12}, kEditStyle | ES_READONLY),
        PasswordEdit(IDC_EDIT_PASSWORD, {62, 45, 121, 12}),
        PushButton(IDC_BTN_GENERATE, "&Generate...", {188, 44, 55, 14}),
        DefPushButton(IDOK, "&OK", {127, 77, 55, 14}),
        PushButton(IDCANCEL, "&Cancel", {188, 77, 55, 14}),
        Label(IDC_STATIC, "ID(Account):", {7, 11, 51, 8}, SS_RIGHT),
        Label(IDC_STATIC, "Comment:", {7, 29, 51, 8}, SS_RIGHT),
        Label(IDC_STATIC, "New password:", {7, 47, 51, 8}, SS_RIGHT),
    };
    return dlg;
}

DlgTemplate MessageBoxDialog() {
    DlgTemplate dlg = Dialog(IDD_MESSAGE_BOX, "Message Box", 260, 69, 8, kModalStyle);
    dlg.items = {
        DefPushButton(IDC_BTN_MSGBOX_OK, "&OK", {104, 41, 50, 14}),
        Label(IDC_STATIC_MSGBOX_TEXT, "", {17, 11, 227, 13}, SS_CENTER),
    };
    return dlg;
}

DlgTemplate FindDialog() {
    DlgTemplate dlg = Dialog(IDD_FIND, "Find", 226, 57, 8, kModalStyle);
    dlg.items = {
        Label(IDC_STATIC, "Find what:", {7, 11, 40, 8}, SS_RIGHT),
        Edit(IDC_EDIT_FIND, {51, 9, 165, 12}),
        DefPushButton(IDOK, "Find &Next", {99, 34, 55, 14}),
        PushButton(IDCANCEL, "&Cancel", {161, 34, 55, 14}),
    };
    return dlg;
}

DlgTemplate AboutDialog() {
    DlgTemplate dlg = Dialog(IDD_ABOUTBOX, std::string("About ") + kAppTitle, 234, 151, 8, kModalStyle);
    dlg.items = {
        Control(IDC_STATIC, ControlKind::Static, std::to_string(IDB_ABOUT), {2, 1, 219, 94}, kChild | SS_BITMAP,
                WS_EX_STATICEDGE),
        Label(IDC_LINK_WEBSITE, "Website : " + HostOf(kWebsiteUrl), {7, 96, 109, 8}, SS_LEFT),
        Label(IDC_LINK_MAIL, std::string("Mail to : ") + kSupportMail, {7, 106, 109, 8}, SS_LEFT),
        Label(IDC_STATIC, "Zelvo Password Manager Version 1.3", {7, 116, 131, 8}, SS_NOPREFIX | SS_LEFT),
        Label(IDC_STATIC, "Your passwords stay on this computer.", {7, 126, 131, 8}, SS_LEFT),
        DefPushButton(IDOK, "&OK", {167, 123, 50, 16}),
    };
    return dlg;
}

const std::array<DlgTemplate, 10>& AllTemplates() {
    static const std::array<DlgTemplate, 10> templates = {
        MainWindow(),
        LoginDialog(),
        CreateAdminDialog(),
        MessageBoxDialog(),
        AboutDialog(),
        FindDialog(),
        ChangePasswordDialog(),
        // Strong passwords.
        GeneratePasswordDialog(),
        CheckPasswordsDialog(),
        ReplacePasswordDialog(),
    };
    return templates;
}

// What an import will do, line by line, before anything changes; the rows left out fill the list
// on request.
DlgTemplate ImportDialog() {
    DlgTemplate dlg = Dialog(IDD_IMPORT, "Import", 300, 262, 8, kModalStyle);
    dlg.items = {
        CheckBox(IDC_CHECK_LEAVE_OUT_NEAR, "Leave &these rows out", {14, 142, 150, 10}),
        PushButton(IDC_BTN_SHOW_LEFT_OUT, "Show &Left Out", {7, 164, 70, 14}),
        Control(IDC_LIST_LEFT_OUT, ControlKind::ListView, "Rows left out", {7, 182, 286, 54},
                kChild | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP),
        DefPushButton(IDOK, "&OK", {90, 242, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {160, 242, 50, 14}),
        GroupBox(IDC_STATIC, {7, 4, 286, 156}),
        Label(IDC_STATIC, "File:", {12, 13, 54, 8}, SS_RIGHT),
        Label(IDC_STATIC_IMPORT_FILE, "", {70, 13, 216, 8}, SS_SIMPLE),
        Label(IDC_STATIC, "Recognised as:", {12, 24, 54, 8}, SS_RIGHT),
        Label(IDC_STATIC_IMPORT_SOURCE, "", {70, 24, 216, 8}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_CONVERSION, "", {14, 35, 272, 8}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_ADDED, "", {14, 47, 272, 8}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_ALREADY, "", {14, 58, 272, 8}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_REFUSED, "", {14, 69, 272, 16}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_NOT_CARRIED, "", {14, 87, 272, 24}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_CUT, "", {14, 113, 272, 8}, SS_LEFT),
        Label(IDC_STATIC_IMPORT_NEAR, "", {14, 124, 272, 16}, SS_LEFT),
    };
    return dlg;
}

// Laid out as Login, under a line that names the book to merge.
DlgTemplate ImportBookDialog() {
    DlgTemplate dlg = Dialog(IDD_IMPORT_BOOK, "Import Account Book", 225, 121, 8, kModalStyle);
    dlg.items = {
        Edit(IDC_EDIT_ACCOUNT, {59, 41, 135, 12}),
        PasswordEdit(IDC_EDIT_PASSWORD, {59, 61, 135, 12}),
        DefPushButton(IDOK, "&OK", {50, 94, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {115, 94, 50, 14}),
        Label(IDC_STATIC_IMPORT_FILE, "", {9, 7, 207, 16}, SS_LEFT),
        GroupBox(IDC_STATIC, {9, 27, 197, 56}),
        Label(IDC_STATIC, "Account:", {21, 42, 36, 11}, SS_RIGHT),
        Label(IDC_STATIC, "Password:", {16, 61, 41, 11}, SS_RIGHT),
    };
    return dlg;
}

// The administrator password, under what an export means: every password in clear.
DlgTemplate ExportDialog() {
    DlgTemplate dlg = Dialog(IDD_EXPORT, "Export", 225, 111, 8, kModalStyle);
    dlg.items = {
        PasswordEdit(IDC_EDIT_PASSWORD, {59, 57, 135, 12}),
        DefPushButton(IDOK, "&OK", {50, 84, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {115, 84, 50, 14}),
        Label(IDC_STATIC,
              "The exported file will hold every password of this book in clear text: anyone who can read "
              "the file can read them all. Type the administrator password to go on.",
              {9, 7, 207, 34}, SS_LEFT),
        GroupBox(IDC_STATIC, {9, 45, 197, 30}),
        Label(IDC_STATIC, "Password:", {16, 58, 41, 11}, SS_RIGHT),
    };
    return dlg;
}

// The administrator password under what locking or unlocking the book means, as Export asks for it.
DlgTemplate LockDialog(UINT id, const char* caption, const char* meaning) {
    DlgTemplate dlg = Dialog(id, caption, 225, 131, 8, kModalStyle);
    dlg.items = {
        PasswordEdit(IDC_EDIT_PASSWORD, {59, 77, 135, 12}),
        DefPushButton(IDOK, "&OK", {50, 104, 50, 14}),
        PushButton(IDCANCEL, "&Cancel", {115, 104, 50, 14}),
        Label(IDC_STATIC, meaning, {9, 7, 207, 54}, SS_LEFT),
        GroupBox(IDC_STATIC, {9, 65, 197, 30}),
        Label(IDC_STATIC, "Password:", {16, 78, 41, 11}, SS_RIGHT),
    };
    return dlg;
}

const std::array<DlgTemplate, 2>& LockTemplates() {
    static const std::array<DlgTemplate, 2> templates = {
        LockDialog(IDD_ENCRYPT_BOOK, "Encrypt Book",
                   "From now on this book opens only with its administrator password, and nobody can recover "
                   "a forgotten one: write it down somewhere safe. Only this program can read the book's file, "
                   "its earlier versions and its journal. Type the administrator password to encrypt the book."),
        LockDialog(IDD_DECRYPT_BOOK, "Decrypt Book",
                   "The book's file will hold every password again in a form that anyone who can read the file "
                   "can read, as will its earlier versions and its journal. Type the administrator password to "
                   "decrypt the book."),
    };
    return templates;
}

// Import, the merge of another book, and Export.
const std::array<DlgTemplate, 3>& MovingTemplates() {
    static const std::array<DlgTemplate, 3> templates = {ImportDialog(), ImportBookDialog(), ExportDialog()};
    return templates;
}

} // namespace

const DlgTemplate* AfxFindDialogTemplate(UINT id) {
    for (const std::span<const DlgTemplate> group :
         {std::span<const DlgTemplate>(AllTemplates()), std::span<const DlgTemplate>(MovingTemplates()),
          std::span<const DlgTemplate>(LockTemplates())}) {
        for (const DlgTemplate& dlg : group) {
            if (dlg.id == id) {
                return &dlg;
            }
        }
    }
    return nullptr;
}
