// Toolkit side of the framework layer, shared by its sources only.
#pragma once

#include "afxwin.h"
#include "resources.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <string>

struct IconData {
    QIcon icon;
};

struct CursorData {
    Qt::CursorShape shape;
};

struct BrushData {
    bool hollow;
};

class QPainter;
class QTimer;

namespace afx_detail {

// Widget properties the framework layer keeps on every widget it builds.
inline constexpr const char* kCtrlIdProperty = "zelvoCtrlId";
inline constexpr const char* kStyleProperty = "zelvoStyle";
inline constexpr const char* kExStyleProperty = "zelvoExStyle";
inline constexpr const char* kWindowClassProperty = "zelvoWindowClass";
inline constexpr const char* kByteLimitProperty = "zelvoByteLimit";
// The client size of a window whose template has no thick frame.
inline constexpr const char* kFixedClientSizeProperty = "zelvoFixedClientSize";

QString ToQString(const std::string& utf8);
std::string FromQString(const QString& text);

// Map from widgets to the framework objects attached to them.
void Attach(CWnd* wnd, QWidget* widget);
void Detach(QWidget* widget);
CWnd* PermanentFromWidget(const QWidget* widget);
// The attached object, or the temporary wrapper of a dialog's control.
CWnd* FromWidget(QWidget* widget);
CDialog* DialogOfWidget(const QWidget* widget);

// Routes toolkit events of one window to its message map.
class WindowBridge : public QObject {
public:
    WindowBridge(CWnd* wnd, QWidget* widget);
    ~WindowBridge() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    void KillAllTimers();
    QPainter* CurrentPainter() const { return m_painter; }
    bool HasHandler(UINT message) const;

private:
    bool HandleTopLevelEvent(QEvent* event);
    bool HandleStaticControlEvent(QEvent* event);
    void ApplyControlColours();

    CWnd* m_wnd;
    QPointer<QWidget> m_widget;
    std::map<UINT_PTR, QTimer*> m_timers;
    QPainter* m_painter = nullptr;
    bool m_hover = false;
    bool m_applyingColours = false;
    bool m_savedLook = false;
    QPalette* m_savedPalette = nullptr;
    QFont* m_savedFont = nullptr;
};

// Keyboard messages of every dialog go through its PreTranslateMessage first.
void EnsureKeyboardFilter();
// Opens the system menu of a dialog at a screen position.
void ShowSystemMenu(CWnd* wnd, const QPoint& globalPos);
// Whether the window manager moves and sizes a window on the program's request, and that request
// for a move or a resize (SC_MOVE, SC_SIZE) driven by the keyboard.
bool WindowManagerMovesOnRequest();
bool StartKeyboardMoveOrSize(QWidget* window, UINT command);
// Ends the session when a window of the program is destroyed from outside it.
void WatchWindowsDestroyedFromOutside();

// True while the desktop session or a signal is ending the program.
bool SessionEnding();
// True once the connection to the display is gone: no window may be shown, hidden or destroyed.
bool DisplayLost();
// Answers every system message box still on screen, as if OK had been pressed.
void CloseSystemMessageBoxes();

// Dialog font for a template: the desktop's font family at the template's point size.
QFont DialogFont(const DlgTemplate& tpl);
// An embedded image of a known format ("BMP", "PNG"); a null pixmap when it does not decode.
QPixmap PixmapFromResource(const ResourceBytes& bytes, const char* format);
// The desktop sound theme's name for a beep of that type (its icon bits), and playing it.
std::string EventSoundName(UINT type);
void PlayEventSound(UINT type);
// The window type and decorations a template's styles ask for.
Qt::WindowFlags WindowFlagsFromStyles(DWORD style);
// A window without thick frame keeps its template size, except while it is maximised.
void FitSizeLimitsToState(QWidget* window);
// Forgets pending quits, a session end and a lost display, so that no run's state outlives it.
void ResetRunState();
// Whether a desktop to show windows on is named in the environment and takes a connection.
enum class DisplayState { Reachable, NoneNamed, Unreachable };
DisplayState ProbeDisplay();
// After a message box owned by the window closed: its edit that holds the focus, now or after the
// refusing code moved it, has its whole text selected, so that typing replaces a refused text.
void PrepareRetypeAfterMessage(QWidget* owner);
// Called by every focus move the program makes: selects the edit's text while a refusal is answered.
void SelectIfRetyping(QWidget* focused);
// Forgets a guarded clipboard copy without touching the clipboard: the display is gone.
void ForgetSecretClipboard();

} // namespace afx_detail
