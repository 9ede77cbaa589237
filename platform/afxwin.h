// The framework layer: the small set of windowing operations the program calls, under the names
// it uses, implemented over a widget toolkit. Texts are UTF-8 byte strings; the toolkit is never
// visible from here (its classes are only forward-declared).
#pragma once

#include "afxtypes.h"
#include "dlgtemplate.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QObject;

class CWnd;
class CDialog;
class CDataExchange;
class CDC;
namespace afx_detail {
class WindowBridge;
class ListModel;
} // namespace afx_detail

// Opaque handles.
using HWND = QWidget*;
struct IconData;
using HICON = const IconData*;
struct CursorData;
using HCURSOR = const CursorData*;
struct BrushData;
using HBRUSH = const BrushData*;

// ---------------------------------------------------------------------------------------------
// Message maps: a static table per class routing one message, notification or button to one
// member handler. Entries are made with the typed helpers below, so a wrong handler signature
// fails to compile.

struct MessageMapEntry {
    UINT message = 0; // WM_COMMAND, WM_NOTIFY, WM_CLOSE ...
    UINT code = 0;    // notification code for WM_COMMAND / WM_NOTIFY
    UINT id = 0;      // control id for WM_COMMAND / WM_NOTIFY
    std::function<LRESULT(CWnd&, MSG&)> invoke;
};
using MessageMap = std::vector<MessageMapEntry>;

namespace msgmap {
template <class T> MessageMapEntry OnBnClicked(UINT id, void (T::*handler)()) {
    return {WM_COMMAND, BN_CLICKED, id, [handler](CWnd& w, MSG&) -> LRESULT {
                (static_cast<T&>(w).*handler)();
                return 0;
            }};
}
// The text of an edit changed, typed or set by the program.
template <class T> MessageMapEntry OnEnChange(UINT id, void (T::*handler)()) {
    return {WM_COMMAND, EN_CHANGE, id, [handler](CWnd& w, MSG&) -> LRESULT {
                (static_cast<T&>(w).*handler)();
                return 0;
            }};
}
// Handler of a plain notification-free message (WM_CLOSE, WM_DESTROY, WM_PAINT).
template <class T> MessageMapEntry OnMessage(UINT message, void (T::*handler)()) {
    return {message, 0, 0, [handler](CWnd& w, MSG&) -> LRESULT {
                (static_cast<T&>(w).*handler)();
                return 0;
            }};
}
template <class T> MessageMapEntry OnNotify(UINT code, UINT id, void (T::*handler)(NMHDR*, LRESULT*)) {
    return {WM_NOTIFY, code, id, [handler](CWnd& w, MSG& m) -> LRESULT {
                LRESULT result = 0;
                (static_cast<T&>(w).*handler)(reinterpret_cast<NMHDR*>(m.lParam), &result);
                return result;
            }};
}
template <class T> MessageMapEntry OnTimer(void (T::*handler)(UINT_PTR)) {
    return {WM_TIMER, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                (static_cast<T&>(w).*handler)(m.wParam);
                return 0;
            }};
}
template <class T> MessageMapEntry OnSysCommand(void (T::*handler)(UINT, LPARAM)) {
    return {WM_SYSCOMMAND, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                (static_cast<T&>(w).*handler)(UINT(m.wParam), m.lParam);
                return 0;
            }};
}
template <class T> MessageMapEntry OnSize(void (T::*handler)(UINT, int, int)) {
    return {WM_SIZE, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                (static_cast<T&>(w).*handler)(UINT(m.wParam), int(m.lParam & 0xFFFF), int((m.lParam >> 16) & 0xFFFF));
                return 0;
            }};
}
template <class T> MessageMapEntry OnQueryDragIcon(HCURSOR (T::*handler)()) {
    return {WM_QUERYDRAGICON, 0, 0,
            [handler](CWnd& w, MSG&) -> LRESULT { return reinterpret_cast<LRESULT>((static_cast<T&>(w).*handler)()); }};
}
template <class T> MessageMapEntry OnNcHitTest(LRESULT (T::*handler)(CPoint)) {
    return {WM_NCHITTEST, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                return (static_cast<T&>(w).*handler)(CPoint{int(m.lParam & 0xFFFF), int((m.lParam >> 16) & 0xFFFF)});
            }};
}
template <class T> MessageMapEntry OnLButtonDown(void (T::*handler)(UINT, CPoint)) {
    return {WM_LBUTTONDOWN, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                (static_cast<T&>(w).*handler)(UINT(m.wParam),
                                              CPoint{int(m.lParam & 0xFFFF), int((m.lParam >> 16) & 0xFFFF)});
                return 0;
            }};
}
template <class T> MessageMapEntry OnSetCursor(BOOL (T::*handler)(CWnd*, UINT, UINT)) {
    return {WM_SETCURSOR, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                return (static_cast<T&>(w).*handler)(reinterpret_cast<CWnd*>(m.wParam), UINT(m.lParam & 0xFFFF),
                                                     UINT((m.lParam >> 16) & 0xFFFF));
            }};
}
// The context menu of a control: wParam is the control's id, lParam the screen point.
template <class T> MessageMapEntry OnContextMenu(void (T::*handler)(UINT, CPoint)) {
    return {WM_CONTEXTMENU, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                (static_cast<T&>(w).*
                 handler)(UINT(m.wParam), CPoint{int(short(m.lParam & 0xFFFF)), int(short((m.lParam >> 16) & 0xFFFF))});
                return 0;
            }};
}
template <class T> MessageMapEntry OnCtlColorReflect(HBRUSH (T::*handler)(CDC*, UINT)) {
    return {WM_REFLECT_CTLCOLOR, 0, 0, [handler](CWnd& w, MSG& m) -> LRESULT {
                return reinterpret_cast<LRESULT>(
                    (static_cast<T&>(w).*handler)(reinterpret_cast<CDC*>(m.wParam), UINT(m.lParam)));
            }};
}
} // namespace msgmap

// ---------------------------------------------------------------------------------------------
// Drawing: just what painting an icon and colouring a static text need.

struct LOGFONT {
    std::string faceName;
    int pointSize = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

class CFont {
public:
    CFont() = default;
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    BOOL CreateFontIndirect(const LOGFONT* lf);
    BOOL GetLogFont(LOGFONT* lf) const;
    BOOL DeleteObject();
    bool IsNull() const { return !m_created; }

private:
    LOGFONT m_lf;
    bool m_created = false;
};

class CDC {
public:
    virtual ~CDC() = default;
    CFont* SelectObject(CFont* font);
    COLORREF SetTextColor(COLORREF color);
    int SetBkMode(int mode);
    BOOL DrawIcon(int x, int y, HICON icon);
    // What the colouring request chose; read by the framework layer after the request.
    CFont* SelectedFont() const { return m_pFont; }
    COLORREF TextColor() const { return m_textColor; }
    bool TextColorSet() const { return m_textColorSet; }
    int BkMode() const { return m_bkMode; }
    void* PainterHandle() const { return m_painter; }

protected:
    CFont* m_pFont = nullptr;
    COLORREF m_textColor = 0;
    bool m_textColorSet = false;
    int m_bkMode = OPAQUE;
    void* m_painter = nullptr; // the toolkit's painter while painting, else null
};

// Paint context of one paint message of a window.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    UINT_PTR GetSafeHdc() const { return reinterpret_cast<UINT_PTR>(this); }
};

HBRUSH AfxGetStockHollowBrush();
int GetSystemMetrics(int index);

// ---------------------------------------------------------------------------------------------
// The system menu of a window.

class CMenu {
public:
    struct Item {
        UINT flags = MF_STRING;
        UINT id = 0;
        std::string text;
    };
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const std::string& text = {});
    // Puts an item before the one at that place (MF_BYPOSITION) or of that command; at the end
    // for a place past the last item. FALSE when no item has that command.
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, const std::string& text = {});
    // Gives the item of that command (MF_BYCOMMAND) a new id, text and flags; FALSE when there is none.
    BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, const std::string& text = {});
    // Grays (MF_GRAYED) or enables (MF_ENABLED) the item of that command; its previous state, or
    // -1 when the menu has no such item.
    UINT EnableMenuItem(UINT id, UINT enable);
    const std::vector<Item>& Items() const { return m_items; }
    // Shows the menu as a pop-up at the screen point and waits for a choice. With
    // TPM_RETURNCMD the chosen item's id is returned (0 for none); otherwise the choice is sent
    // to the owner as WM_COMMAND. A tab in an item's text sets off its key, shown on the right.
    UINT TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);

private:
    std::vector<Item> m_items;
};

// ---------------------------------------------------------------------------------------------
// Windows.

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool HasWindow() const { return m_hWnd != nullptr; }

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued: delivered from the message loop after the current message.
    void PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual const MessageMap& GetMessageMap() const;

    // Texts, state, focus, geometry.
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void GetWindowRect(CRect* rect) const; // screen pixels, outer frame
    void GetClientRect(CRect* rect) const;
    void ScreenToClient(CPoint* point) const;
    // Places a child window in its parent's client area, in pixels.
    void MoveWindow(const CRect& rect);
    void Invalidate(BOOL erase = TRUE);
    void RedrawWindow();
    UINT GetDlgCtrlID() const;
    DWORD GetStyle() const;
    virtual CWnd* GetDlgItem(UINT id) const;
    CWnd* GetParent() const;
    CFont* GetFont() const;
    HICON SetIcon(HICON icon, BOOL big);
    HICON GetIcon(BOOL big) const;
    CMenu* GetSystemMenu(BOOL revert);

    // Timers deliver WM_TIMER to this window's message map.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    BOOL KillTimer(UINT_PTR id);

    // Attaches this object to an existing control of a dialog (the control keeps its widget).
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    virtual BOOL DestroyWindow();

    // Default processing of a message that no map entry handled.
    virtual LRESULT DefWindowProc(MSG& msg);
    // The message being handled right now (for "pass it on to default processing").
    const MSG* GetCurrentMessage() const { return m_pCurrentMsg; }
    LRESULT Default();

    // Framework internals.
    afx_detail::WindowBridge* Bridge() const { return m_pBridge; }
    LRESULT WindowProc(MSG& msg);

protected:
    virtual void PostNcDestroy();
    // Called when this object is attached to an existing control.
    virtual void OnAttached() {}
    // Called by DestroyWindow after the destroy handling, before the widgets go.
    virtual void ReleaseChildWindows() {}
    // Detaches this object from its widget without destroying the widget.
    void DetachFromWidget();

    HWND m_hWnd = nullptr;
    afx_detail::WindowBridge* m_pBridge = nullptr;

private:
    friend class afx_detail::WindowBridge;
    friend class CDialog;
    MSG* m_pCurrentMsg = nullptr;
    // Messages being handled right now; a window destroyed meanwhile gets PostNcDestroy after them.
    int m_nDispatchDepth = 0;
    bool m_bNcDestroyPending = false;
    HICON m_icons[2] = {nullptr, nullptr};
    std::unique_ptr<CMenu> m_pSysMenu;
    mutable std::unique_ptr<CFont> m_pFont;
};

class CButton : public CWnd {
public:
    // Presses the button as a click would (used by the keyboard handling and by tests).
    void Click();
    // Whether a check box or radio button is checked (BST_CHECKED) or not (BST_UNCHECKED).
    int GetCheck() const;
    void SetCheck(int check);
};

class CEdit : public CWnd {
public:
    // Limit of the text the user can type, in UTF-8 bytes; a character is never cut.
    void SetLimitText(UINT maxBytes);
    UINT GetLimitText() const;
    // Copies and cuts from the edit go to the clipboard guarded, as AfxCopySecretToClipboard
    // does, and selecting its text never fills the primary selection.
    void GuardClipboard();
};

class CStatic : public CWnd {};

// A whole-number field with arrows: its text is what is typed, so a number outside the range can be
// on the way to one inside it ("1" before "12"); the arrows step within the range.
class CSpinEdit : public CWnd {
public:
    void SetRange(int lower, int upper);
};

// The desktop's own dialog for choosing a file to open or a name to save under. The filter lists
// the file kinds offered, as "Description|*.ext;*.other|Description|*|", the first chosen unless
// SetFilterIndex says otherwise.
class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const std::string& defaultExtension = {}, const std::string& fileName = {},
                DWORD flags = 0, const std::string& filter = {}, CWnd* parent = nullptr);
    // Shows the dialog and waits for a choice: IDOK with a file chosen, IDCANCEL without.
    INT_PTR DoModal();
    void SetTitle(const std::string& title) { m_title = title; }
    // The folder the dialog opens in; empty: the toolkit's choice.
    void SetInitialFolder(const std::string& folder) { m_folder = folder; }
    const std::string& InitialFolder() const { return m_folder; }
    // The file kind offered first (from 1); after DoModal, the kind the user chose.
    void SetFilterIndex(int index) { m_filterIndex = index; }
    int GetFilterIndex() const { return m_filterIndex; }
    // The path chosen, in UTF-8.
    const std::string& GetPathName() const { return m_path; }

    bool IsOpenDialog() const { return m_open; }
    const std::string& Title() const { return m_title; }
    const std::string& FileName() const { return m_fileName; }
    // The descriptions of the file kinds offered, in order.
    std::vector<std::string> FilterDescriptions() const;

private:
    bool m_open;
    std::string m_defaultExtension;
    std::string m_fileName;
    DWORD m_flags;
    std::string m_filter;
    CWnd* m_parent;
    std::string m_title;
    std::string m_folder;
    int m_filterIndex = 1;
    std::string m_path;
};

class CListCtrl : public CWnd {
public:
    DWORD GetExtendedStyle() const;
    DWORD SetExtendedStyle(DWORD style);
    int InsertColumn(int column, const std::string& heading, int format = LVCFMT_LEFT, int width = -1);
    int GetColumnWidth(int column) const;
    BOOL SetColumnWidth(int column, int width);
    int GetItemCount() const;
    int InsertItem(int item, const std::string& text);
    BOOL SetItemText(int item, int subItem, const std::string& text);
    std::string GetItemText(int item, int subItem) const;
    // Copies at most length - 1 bytes of the text and a NUL into the buffer; returns the bytes copied.
    int GetItemText(int item, int subItem, char* buffer, int length) const;
    BOOL SetItemData(int item, UINT_PTR data);
    UINT_PTR GetItemData(int item) const;
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();
    // Selection and focus as the user would set them; changes raise LVN_ITEMCHANGING. Item -1
    // sets the selection of every row.
    UINT GetItemState(int item, UINT mask) const;
    BOOL SetItemState(int item, UINT state, UINT mask);
    // Reserves room for many rows before a bulk insert.
    void ReserveItems(int count);
    // Scrolls the list until the row is in view.
    BOOL EnsureVisible(int item, BOOL partialOK);

protected:
    void OnAttached() override;
};

// ---------------------------------------------------------------------------------------------
// Data exchange.

class CDataExchange {
public:
    CDataExchange(CDialog* dlg, BOOL saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
    // Marks the exchange as failed; UpdateData then returns FALSE.
    void Fail() { m_bFailed = true; }
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    bool m_bFailed = false;
    UINT m_idLastControl = 0;
};

void DDX_Text(CDataExchange* dx, UINT id, std::string& value);
// Limits the text to maxBytes UTF-8 bytes: sets the control's limit when loading; when saving,
// a longer value fails the exchange and is cut to the limit on a character boundary.
void DDV_MaxChars(CDataExchange* dx, std::string& value, int maxBytes);
void DDX_Control(CDataExchange* dx, UINT id, CWnd& control);

// ---------------------------------------------------------------------------------------------
// Dialogs.

class CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modeless creation from a template; FALSE when the template is missing or its window class
    // was never registered.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Runs the dialog modally; returns the EndDialog result, or -1 when it could not be created.
    INT_PTR DoModal();
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);

    UINT GetTemplateId() const { return m_nTemplateId; }
    bool IsModalRunning() const { return m_bModalRunning; }
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT DefWindowProc(MSG& msg) override;
    CWnd* GetDlgItem(UINT id) const override;

    // Base handlers that derived handlers call first.
    void OnDestroy();
    void OnPaint();
    void OnSysCommandDefault(UINT id, LPARAM lParam);

    // Every modal dialog running now, innermost last.
    static const std::vector<CDialog*>& RunningModals();

protected:
    UINT m_nTemplateId = 0;
    CWnd* m_pParentWnd = nullptr;
    // The dialog tells its owner of a refusal: once it closes, the owner's edit that holds the focus
    // has its whole text selected, so that the refused text can be retyped.
    bool m_bMessageBox = false;

protected:
    void ReleaseChildWindows() override;

private:
    friend class afx_detail::WindowBridge;
    friend class CWnd;
    friend void DDX_Control(CDataExchange* dx, UINT id, CWnd& control);
    bool CreateWindowFromTemplate(UINT templateId);
    void ConnectControl(QWidget* control, const DlgItemTemplate& item);
    void FocusFirstTabStop();
    bool m_bModalRunning = false;
    bool m_bEnded = false;
    int m_nModalResult = -1;
    void* m_pLoop = nullptr;
    std::map<UINT, QWidget*> m_controls;                          // every addressable control by id
    mutable std::map<UINT, std::unique_ptr<CWnd>> m_tempControls; // wrappers for controls nobody attached
    std::map<UINT, CWnd*> m_attached;                             // members attached to their controls
};

// ---------------------------------------------------------------------------------------------
// Application object and process entry.

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    HICON LoadIcon(UINT id) const;

    // Commands the application object handles itself, by id.
    struct CommandEntry {
        UINT id;
        void (CWinApp::*handler)();
    };
    virtual const std::vector<CommandEntry>& GetMessageMap() const;
    // Runs the handler of a command; FALSE when the message map has none for it.
    BOOL OnCmdMsg(UINT id);
    // The standard Help command: opens the program's help file, the application name followed by
    // ".chm", in the program directory.
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    // The module's application name: the executable's file name without extension.
    std::string m_strAppName;
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// Process entry: creates the toolkit application, then runs the application object.
int AfxWinMain(int argc, char** argv);
// Makes the process non-dumpable (no core file, no tracing by the same user) and its core size
// limit 0. AfxRunApplication calls it before InitInstance, so before any book is read.
void AfxProtectProcessMemory();
// Protects the process memory, runs InitInstance, the message loop when it returned TRUE
// (otherwise destroys the main window if one exists), then ExitInstance, whose result is returned.
// Needs the toolkit application.
int AfxRunApplication(CWinApp& app);
// The message loop: runs until PostQuitMessage.
int AfxRunMessageLoop();
void PostQuitMessage(int exitCode);
// Delivers queued messages and timers that are due now, without waiting.
void AfxPumpMessages();
// Ends the run as a closed main window would, after cancelling every modal dialog; used when the
// desktop session ends or a termination signal arrives.
void AfxEndSession();
// Routes SIGTERM, SIGINT, SIGHUP and the desktop's end of session to AfxEndSession, and a lost
// connection to the display to the same close and shutdown, run without touching any window.
void AfxInstallSessionEndHandlers();
// Clears the ending state (for runs of several application objects in one process).
void AfxResetSessionEnd();

// ---------------------------------------------------------------------------------------------
// The clipboard.

// Puts a secret on the clipboard, guarded: it carries the markers clipboard managers honour and keep
// no history of (x-kde-passwordManagerHint = secret, application/x-copyq-hidden = 1), never goes
// into the primary selection, and is taken off again after ten seconds, unless something else was
// copied meanwhile. The run's end takes it off too, on the same condition.
void AfxCopySecretToClipboard(const std::string& text);
// Takes a guarded copy off the clipboard now, if the clipboard still holds it.
void AfxClearSecretClipboard();

// The state of a key as of the key message being handled: the high bit is set while it is down.
short GetKeyState(int virtualKey);

// ---------------------------------------------------------------------------------------------
// Window classes.

struct WNDCLASS {
    UINT style = 0;
    int cbWndExtra = 0;
    std::string lpszClassName;
};
BOOL GetClassInfo(void* instance, const std::string& className, WNDCLASS* wc);
BOOL AfxRegisterClass(WNDCLASS* wc);
BOOL AfxIsClassRegistered(const std::string& className);
void* AfxGetInstanceHandle();

// ---------------------------------------------------------------------------------------------
// System services.

void InitCommonControls();
void AfxEnableControlContainer();
// The process command line: the absolute path of the executable (quoted when it holds blanks).
// The program takes no arguments, so none given to the process are passed on.
std::string GetCommandLine();
// Whether the command line can carry the executable's path: the splitter reads a double quote as
// quoting, so a path holding one would name another folder.
bool AfxCommandLineCarriesModulePath();
// The executable's absolute path.
std::string AfxGetModuleFileName();
BOOL CreateDirectory(const std::string& path);
// The system message box; returns the button pressed (IDOK).
int MessageBox(CWnd* owner, const std::string& text, const std::string& caption, UINT type);
BOOL MessageBeep(UINT type);
// Performs a shell verb ("open") on a file, web address or mailto: address; above 32 on success.
INT_PTR ShellExecute(CWnd* owner, const std::string& verb, const std::string& file, const std::string& parameters,
                     const std::string& directory, int showCommand);
// The platform's pointing-hand cursor; null when it has none.
HCURSOR AfxLoadHandCursor();
HCURSOR SetCursor(HCURSOR cursor);
// The pointer's position in screen pixels.
BOOL GetCursorPos(CPoint* point);
// An icon from the icon group resource of that id; null when there is none.
HICON AfxLoadIconResource(UINT id);
