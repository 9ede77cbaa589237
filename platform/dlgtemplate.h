// Dialog templates as plain data: what the resource folder declares and the framework layer turns
// into windows. Parsing a template into widgets is separate from the layout arithmetic
// (see dlgunits.h), so both can be tested on their own.
#pragma once

#include "afxtypes.h"

#include <string>
#include <vector>

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD DS_MODALFRAME = 0x00000080;
constexpr DWORD DS_SETFONT = 0x00000040;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x00000000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x00000001;
constexpr DWORD BS_AUTOCHECKBOX = 0x00000003;
constexpr DWORD BS_GROUPBOX = 0x00000007;
constexpr DWORD BS_AUTORADIOBUTTON = 0x00000009;
constexpr DWORD BS_TYPEMASK = 0x0000000F;

// Edit styles.
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_PASSWORD = 0x0020;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ES_NUMBER = 0x2000;

// Static styles (the low byte holds the type).
constexpr DWORD SS_LEFT = 0x00000000;
constexpr DWORD SS_CENTER = 0x00000001;
constexpr DWORD SS_RIGHT = 0x00000002;
constexpr DWORD SS_ICON = 0x00000003;
constexpr DWORD SS_SIMPLE = 0x0000000B;
constexpr DWORD SS_BITMAP = 0x0000000E;
constexpr DWORD SS_TYPEMASK = 0x0000001F;
constexpr DWORD SS_NOPREFIX = 0x00000080;

// List-view styles.
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_SORTASCENDING = 0x0010;
constexpr DWORD LVS_ALIGNLEFT = 0x0800;

// Control id of controls that nobody addresses.
constexpr UINT IDC_STATIC = UINT(-1);

// Spin: a whole number typed or stepped with the arrow keys and buttons, as an edit with its up-down
// control is.
enum class ControlKind { Button, Edit, Static, ListView, Spin };

struct DlgItemTemplate {
    UINT id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    std::string text;                   // caption; for a picture static, the decimal id of its bitmap resource
    short x = 0, y = 0, cx = 0, cy = 0; // dialog units
    DWORD style = 0;                    // WS_* and the control's own style bits
    DWORD exStyle = 0;
};

struct DlgTemplate {
    UINT id = 0;
    std::string caption;
    short cx = 0, cy = 0; // client area, dialog units
    std::string fontName;
    int pointSize = 8;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string className;              // the registered window class the dialog is created with
    std::vector<DlgItemTemplate> items; // template order is the tab order
};

// Looks a dialog template up by resource id; null when the program has no such template.
// Defined by the resource library.
const DlgTemplate* AfxFindDialogTemplate(UINT id);
