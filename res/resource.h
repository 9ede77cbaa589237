// Resource and control ids of the program, and the window class every dialog template names.
// Shared by the resource library (which defines the resources) and the windows that address them.
#pragma once

#include "afxtypes.h"

// Window class registered at start-up; every dialog template of the program names it.
inline constexpr const char* kMainDlgClassName = "Zelvo.MainDlg";

// Dialog templates.
constexpr UINT IDD_ABOUTBOX = 100;             // About box
constexpr UINT IDD_ZELVO_MANAGER_DIALOG = 102; // main window
constexpr UINT IDD_LOGIN = 129;                // Login dialog
constexpr UINT IDD_CREATE_ADMIN = 130;         // Create Admin dialog
constexpr UINT IDD_MESSAGE_BOX = 133;          // the program's own message box
constexpr UINT IDD_FIND = 134;                 // Find
constexpr UINT IDD_CHANGE_PASSWORD = 144;      // Change Password

// Moving entries in and out: what an import will do, the administrator of a book to merge, and the
// administrator password that lets an export write every password out.
constexpr UINT IDD_IMPORT = 140;
constexpr UINT IDD_IMPORT_BOOK = 141;
constexpr UINT IDD_EXPORT = 142;
// Strong passwords: the generator and the check of the book's passwords.
constexpr UINT IDD_GENERATE_PASSWORD = 143; // Generate Password
constexpr UINT IDD_CHECK_PASSWORDS = 145;   // Check Passwords
constexpr UINT IDD_REPLACE_PASSWORD = 146;  // a new password for one entry the check found
// Locking the book: the administrator password under what encrypting or decrypting it means.
constexpr UINT IDD_ENCRYPT_BOOK = 147;
constexpr UINT IDD_DECRYPT_BOOK = 148;

// Icons, bitmaps and strings.
constexpr UINT IDR_MAINFRAME = 128; // program icon group (48 x 48, 32-bit and 8-bit)
constexpr UINT IDB_ABOUT = 137;     // picture of the About box, 326 x 150, 24-bit
constexpr UINT IDS_ABOUTBOX = 101;  // text of the About item in the main window's system menu

// Command ids of the items of the main window's system menu (multiples of 16, below 0xF000).
constexpr UINT IDM_ABOUTBOX = 0x0010;
constexpr UINT IDM_UNDO = 0x0100;              // "Undo <change>", the last change to the book taken back
constexpr UINT IDM_REDO = 0x0110;              // "Redo <change>", the last change undone made again
constexpr UINT IDM_IMPORT = 0x0020;            // "Import...", from a CSV file or another account book
constexpr UINT IDM_EXPORT = 0x0030;            // "Export...", every entry to a CSV file
constexpr UINT IDM_GENERATE_PASSWORD = 0x0040; // "Generate Password..."
constexpr UINT IDM_CHANGE_PASSWORD = 0x0050;   // "Change Password...", of the administrator
constexpr UINT IDM_CHECK_PASSWORDS = 0x0060;   // "Check Passwords...", weak and reused ones
constexpr UINT IDM_ENCRYPT_BOOK = 0x0070;      // "Encrypt Book...", with the administrator password
constexpr UINT IDM_DECRYPT_BOOK = 0x0080;      // "Decrypt Book...", back to a plain book

// Main window commands.
constexpr UINT IDC_BTN_LOGIN = 1000;        // "&Login..."
constexpr UINT IDC_BTN_ABOUT = 1018;        // "&About..."
constexpr UINT IDC_BTN_CREATE_ADMIN = 1014; // "&Create Admin..."
constexpr UINT IDC_BTN_HELP = 1016;         // "&Help Contents"
constexpr UINT IDC_BTN_INSERT = 1004;       // "&Insert"
constexpr UINT IDC_BTN_UPDATE = 1006;       // "&Update"
constexpr UINT IDC_BTN_DELETE = 1007;       // "&Delete"

// Edit fields (the account and password edits are shared by the main window, Login and Create Admin).
constexpr UINT IDC_EDIT_ACCOUNT = 1019;      // account ID / administrator account name
constexpr UINT IDC_EDIT_PASSWORD = 1009;     // password
constexpr UINT IDC_EDIT_COMMENT = 1010;      // comment of an entry
constexpr UINT IDC_EDIT_CONFIRM = 1017;      // password confirmation in Create Admin
constexpr UINT IDC_EDIT_FIND = 1033;         // the text Find looks for
constexpr UINT IDC_EDIT_OLD_PASSWORD = 1034; // the administrator password to be replaced

// Main window list, frames and labels.
constexpr UINT IDC_LIST_ACCOUNTS = 1005;  // the entry list (report view)
constexpr UINT IDC_GROUP_COMMANDS = 1001; // frame around the command buttons
constexpr UINT IDC_GROUP_ENTRY = 1003;    // frame around the edit fields, entry buttons and list
constexpr UINT IDC_LABEL_ACCOUNT = 1013;  // "ID(Account):"
constexpr UINT IDC_LABEL_PASSWORD = 1012; // "Password:"
constexpr UINT IDC_LABEL_COMMENT = 1011;  // "Comment:"

// Import and Export.
constexpr UINT IDC_STATIC_IMPORT_FILE = 1100;        // the name of the file to import
constexpr UINT IDC_STATIC_IMPORT_SOURCE = 1101;      // what the file was recognised as
constexpr UINT IDC_STATIC_IMPORT_ADDED = 1102;       // how many entries will be added
constexpr UINT IDC_STATIC_IMPORT_ALREADY = 1103;     // how many rows are in the list already
constexpr UINT IDC_STATIC_IMPORT_REFUSED = 1104;     // how many rows cannot be imported, and why
constexpr UINT IDC_STATIC_IMPORT_NOT_CARRIED = 1105; // how many rows held data the book has no place for
constexpr UINT IDC_STATIC_IMPORT_CUT = 1106;         // how many comments are cut
constexpr UINT IDC_BTN_SHOW_LEFT_OUT = 1107;         // "Show &Left Out"
constexpr UINT IDC_LIST_LEFT_OUT = 1108;             // the rows left out: line, title and reason
constexpr UINT IDC_STATIC_IMPORT_CONVERSION = 1109;  // how the file's text was made UTF-8, when it was
constexpr UINT IDC_STATIC_IMPORT_NEAR = 1110;        // how many rows share an account ID and password
constexpr UINT IDC_CHECK_LEAVE_OUT_NEAR = 1111;      // "Leave these rows out"

// Message box.
constexpr UINT IDC_BTN_MSGBOX_OK = 1020;      // "&OK"
constexpr UINT IDC_STATIC_MSGBOX_TEXT = 1021; // the message line

// About box hyperlinks.
constexpr UINT IDC_LINK_WEBSITE = 1031; // "Website : ..."
constexpr UINT IDC_LINK_MAIL = 1032;    // "Mail to : ..."

// Generate Password.
constexpr UINT IDC_EDIT_GENERATED = 1050;       // the generated password, read-only
constexpr UINT IDC_STATIC_STRENGTH = 1051;      // its strength: "Excellent, 118.9 bits"
constexpr UINT IDC_EDIT_LENGTH = 1052;          // its length in characters, a spin from 4 to 128
constexpr UINT IDC_CHECK_LOWER_CASE = 1053;     // drawn from a to z too
constexpr UINT IDC_CHECK_UPPER_CASE = 1054;     // drawn from A to Z too
constexpr UINT IDC_CHECK_DIGITS = 1055;         // drawn from 0 to 9 too
constexpr UINT IDC_CHECK_SYMBOLS = 1056;        // drawn from the punctuation too
constexpr UINT IDC_CHECK_NO_LOOK_ALIKES = 1057; // leaves out characters easily mistaken for others
constexpr UINT IDC_BTN_GENERATE = 1058;         // "&Generate": a new password with the same choices
constexpr UINT IDC_STATIC_LENGTH_ERROR = 1059;  // why the length typed makes no password

// Check Passwords.
constexpr UINT IDC_STATIC_ADMIN_STRENGTH = 1060;  // the administrator password's strength
constexpr UINT IDC_STATIC_CHECK_STATUS = 1061;    // progress, then what was found
constexpr UINT IDC_LIST_PASSWORD_PROBLEMS = 1062; // one line per entry with a weak or reused password
constexpr UINT IDC_BTN_REPLACE_PASSWORD = 1063;   // "&Replace Password...": a new one for the chosen line's entry
constexpr UINT IDC_BTN_CHANGE_ADMIN = 1064;       // "C&hange Password...", shown when the administrator's is at risk
constexpr UINT IDC_STATIC_NOT_ENCRYPTED = 1065;   // said while the book is not encrypted
