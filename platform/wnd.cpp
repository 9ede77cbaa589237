// CWnd: the window object over one widget, message dispatch through message maps.
#include "internal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QScreen>
#include <QSpinBox>

#include <unordered_map>

namespace afx_detail {
namespace {
std::unordered_map<const QWidget*, CWnd*>& Registry() {
    static std::unordered_map<const QWidget*, CWnd*> registry;
    return registry;
}
} // namespace

QString ToQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

std::string FromQString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void Attach(CWnd* wnd, QWidget* widget) {
    Registry()[widget] = wnd;
}
void Detach(QWidget* widget) {
    Registry().erase(widget);
}

CWnd* PermanentFromWidget(const QWidget* widget) {
    const auto it = Registry().find(widget);
    return it == Registry().end() ? nullptr : it->second;
}

CDialog* DialogOfWidget(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* dlg = dynamic_cast<CDialog*>(PermanentFromWidget(w)))
            return dlg;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

CWnd* FromWidget(QWidget* widget) {
    if (!widget)
        return nullptr;
    if (CWnd* wnd = PermanentFromWidget(widget))
        return wnd;
    CDialog* dlg = DialogOfWidget(widget);
    const QVariant id = widget->property(kCtrlIdProperty);
    if (dlg && id.isValid())
        return dlg->GetDlgItem(id.toUInt());
    return nullptr;
}

} // namespace afx_detail

using namespace afx_detail;

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd && PermanentFromWidget(m_hWnd) == this) {
        // A control object that goes before its dialog's window is forgotten by that dialog.
        if (CDialog* dlg = m_hWnd->isWindow() ? nullptr : DialogOfWidget(m_hWnd->parentWidget()))
            std::erase_if(dlg->m_attached, [this](const auto& entry) { return entry.second == this; });
        Detach(m_hWnd);
    }
    delete m_pBridge;
}

const MessageMap& CWnd::GetMessageMap() const {
    static const MessageMap empty;
    return empty;
}

LRESULT CWnd::WindowProc(MSG& msg) {
    MSG* previous = m_pCurrentMsg;
    m_pCurrentMsg = &msg;
    ++m_nDispatchDepth;
    LRESULT result = 0;
    bool handled = false;
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.message != msg.message)
            continue;
        if (msg.message == WM_COMMAND &&
            (entry.id != UINT(msg.wParam & 0xFFFF) || entry.code != UINT(msg.wParam >> 16)))
            continue;
        if (msg.message == WM_NOTIFY) {
            const auto* hdr = reinterpret_cast<const NMHDR*>(msg.lParam);
            if (!hdr || entry.id != hdr->idFrom || entry.code != hdr->code)
                continue;
        }
        result = entry.invoke(*this, msg);
        handled = true;
        break;
    }
    if (!handled)
        result = DefWindowProc(msg);
    m_pCurrentMsg = previous;
    if (--m_nDispatchDepth == 0 && m_bNcDestroyPending) {
        // The window went while handling this message: the object may delete itself only now.
        m_bNcDestroyPending = false;
        PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{message, wParam, lParam};
    return WindowProc(msg);
}

void CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd)
        return;
    QPointer<QWidget> target = m_hWnd;
    QMetaObject::invokeMethod(
        m_hWnd,
        [target, message, wParam, lParam]() {
            if (CWnd* wnd = target ? PermanentFromWidget(target) : nullptr)
                wnd->SendMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::DefWindowProc(MSG& msg) {
    switch (msg.message) {
    case WM_NCHITTEST:
        // A plain static is transparent to the pointer; other controls take it.
        return qobject_cast<QLabel*>(m_hWnd) ? HTTRANSPARENT : HTCLIENT;
    case WM_SYSCOMMAND:
        if ((msg.wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(WM_CLOSE);
        else if (m_hWnd && (msg.wParam & 0xFFF0) == SC_MINIMIZE)
            m_hWnd->showMinimized();
        else if (m_hWnd && (msg.wParam & 0xFFF0) == SC_MAXIMIZE) {
            m_hWnd->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); // a fixed size would refuse it
            m_hWnd->showMaximized();
        } else if (m_hWnd && (msg.wParam & 0xFFF0) == SC_RESTORE)
            m_hWnd->showNormal();
        else if (m_hWnd && ((msg.wParam & 0xFFF0) == SC_MOVE || (msg.wParam & 0xFFF0) == SC_SIZE))
            afx_detail::StartKeyboardMoveOrSize(m_hWnd->window(), msg.wParam & 0xFFF0);
        return 0;
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    default:
        return 0;
    }
}

LRESULT CWnd::Default() {
    return m_pCurrentMsg ? DefWindowProc(*m_pCurrentMsg) : 0;
}

namespace {
// The text goes in as if typed: a number in the range becomes the value, any other text stays in the
// field for the program to judge.
void SetSpinText(QSpinBox& spin, const QString& text) {
    if (auto* edit = spin.findChild<QLineEdit*>())
        edit->setText(text);
}
} // namespace

void CSpinEdit::SetRange(int lower, int upper) {
    if (auto* spin = qobject_cast<QSpinBox*>(m_hWnd))
        spin->setRange(lower, upper);
}

void CWnd::SetWindowText(const std::string& text) {
    if (!m_hWnd)
        return;
    const QString q = ToQString(text);
    if (m_hWnd->isWindow())
        m_hWnd->setWindowTitle(q);
    else if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd))
        button->setText(q);
    else if (auto* edit = qobject_cast<QLineEdit*>(m_hWnd))
        edit->setText(q);
    else if (auto* spin = qobject_cast<QSpinBox*>(m_hWnd))
        SetSpinText(*spin, q);
    else if (auto* label = qobject_cast<QLabel*>(m_hWnd))
        label->setText(q);
    else if (auto* group = qobject_cast<QGroupBox*>(m_hWnd))
        group->setTitle(q);
}

std::string CWnd::GetWindowText() const {
    if (!m_hWnd)
        return {};
    if (m_hWnd->isWindow())
        return FromQString(m_hWnd->windowTitle());
    if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd))
        return FromQString(button->text());
    if (auto* edit = qobject_cast<QLineEdit*>(m_hWnd))
        return FromQString(edit->text());
    if (auto* spin = qobject_cast<QSpinBox*>(m_hWnd))
        return FromQString(spin->text());
    if (auto* label = qobject_cast<QLabel*>(m_hWnd))
        return FromQString(label->text());
    if (auto* group = qobject_cast<QGroupBox*>(m_hWnd))
        return FromQString(group->title());
    return {};
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!m_hWnd)
        return FALSE;
    const BOOL wasDisabled = !m_hWnd->isEnabled();
    m_hWnd->setEnabled(enable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_hWnd && m_hWnd->isEnabled();
}

BOOL CWnd::ShowWindow(int command) {
    if (!m_hWnd)
        return FALSE;
    const BOOL wasVisible = m_hWnd->isVisible();
    if (command == SW_HIDE) {
        m_hWnd->hide();
    } else {
        m_hWnd->show();
        if (m_hWnd->isWindow()) {
            // The headless platform cannot raise windows and says so on every call.
            if (QGuiApplication::platformName() != QLatin1String("offscreen"))
                m_hWnd->raise();
            m_hWnd->activateWindow();
        }
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
    return m_hWnd && m_hWnd->isVisible();
}
BOOL CWnd::IsIconic() const {
    return m_hWnd && m_hWnd->window()->isMinimized();
}

CWnd* CWnd::SetFocus() {
    CWnd* previous = GetFocus();
    if (m_hWnd) {
        m_hWnd->setFocus(Qt::OtherFocusReason);
        afx_detail::SelectIfRetyping(m_hWnd);
    }
    return previous;
}

CWnd* CWnd::GetFocus() {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) {
        // Without an active window (a headless run), take the focus child of the innermost dialog.
        const auto& modals = CDialog::RunningModals();
        QWidget* top = !modals.empty() ? modals.back()->GetSafeHwnd() : QApplication::activeWindow();
        if (!top && AfxGetMainWnd())
            top = AfxGetMainWnd()->GetSafeHwnd();
        focus = top ? top->focusWidget() : nullptr;
    }
    return FromWidget(focus);
}

void CWnd::GetWindowRect(CRect* rect) const {
    if (!rect || !m_hWnd)
        return;
    const QRect r =
        m_hWnd->isWindow() ? m_hWnd->frameGeometry() : QRect(m_hWnd->mapToGlobal(QPoint(0, 0)), m_hWnd->size());
    *rect = CRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CWnd::GetClientRect(CRect* rect) const {
    if (!rect || !m_hWnd)
        return;
    *rect = CRect{0, 0, m_hWnd->width(), m_hWnd->height()};
}

void CWnd::ScreenToClient(CPoint* point) const {
    if (!point || !m_hWnd)
        return;
    const QPoint p = m_hWnd->mapFromGlobal(QPoint(point->x, point->y));
    *point = CPoint{p.x(), p.y()};
}

void CWnd::MoveWindow(const CRect& rect) {
    if (m_hWnd)
        m_hWnd->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
}

void CWnd::Invalidate(BOOL) {
    if (m_hWnd)
        m_hWnd->update();
}

void CWnd::RedrawWindow() {
    if (m_hWnd)
        m_hWnd->update();
}

UINT CWnd::GetDlgCtrlID() const {
    return m_hWnd ? m_hWnd->property(kCtrlIdProperty).toUInt() : 0;
}

DWORD CWnd::GetStyle() const {
    return m_hWnd ? DWORD(m_hWnd->property(kStyleProperty).toUInt()) : 0;
}

CWnd* CWnd::GetDlgItem(UINT) const {
    return nullptr;
}

CWnd* CWnd::GetParent() const {
    if (!m_hWnd)
        return nullptr;
    if (!m_hWnd->isWindow())
        return DialogOfWidget(m_hWnd->parentWidget());
    const auto* dlg = dynamic_cast<const CDialog*>(this);
    return dlg ? dlg->m_pParentWnd : nullptr;
}

CFont* CWnd::GetFont() const {
    if (!m_hWnd)
        return nullptr;
    const QFont font = m_hWnd->font();
    LOGFONT lf;
    lf.faceName = FromQString(font.family());
    lf.pointSize = font.pointSize();
    lf.weight = font.weight() >= QFont::Bold ? 700 : 400;
    lf.italic = font.italic();
    lf.underline = font.underline();
    m_pFont = std::make_unique<CFont>();
    m_pFont->CreateFontIndirect(&lf);
    return m_pFont.get();
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    HICON previous = m_icons[big ? 1 : 0];
    m_icons[big ? 1 : 0] = icon;
    if (m_hWnd && icon) {
        // The desktop picks the size it needs from one icon holding both images.
        QIcon combined = icon->icon;
        if (HICON other = m_icons[big ? 0 : 1])
            for (const QSize& size : other->icon.availableSizes())
                combined.addPixmap(other->icon.pixmap(size));
        m_hWnd->setWindowIcon(combined);
    }
    return previous;
}

HICON CWnd::GetIcon(BOOL big) const {
    return m_icons[big ? 1 : 0];
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    if (!m_hWnd || !(GetStyle() & WS_SYSMENU))
        return nullptr;
    if (!m_pSysMenu || revert) {
        m_pSysMenu = std::make_unique<CMenu>();
        m_pSysMenu->AppendMenu(MF_STRING, SC_RESTORE, "&Restore");
        // Moving is the window manager's work; where it takes no request, the item would do nothing.
        if (afx_detail::WindowManagerMovesOnRequest())
            m_pSysMenu->AppendMenu(MF_STRING, SC_MOVE, "&Move");
        m_pSysMenu->AppendMenu(MF_STRING, SC_SIZE, "&Size");
        m_pSysMenu->AppendMenu(MF_STRING, SC_MINIMIZE, "Mi&nimize");
        m_pSysMenu->AppendMenu(MF_STRING, SC_MAXIMIZE, "Ma&ximize");
        m_pSysMenu->AppendMenu(MF_SEPARATOR);
        m_pSysMenu->AppendMenu(MF_STRING, SC_CLOSE, "&Close");
    }
    return m_pSysMenu.get();
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (!m_hWnd)
        return 0;
    if (!m_pBridge)
        m_pBridge = new WindowBridge(this, m_hWnd);
    return m_pBridge->SetTimer(id, elapseMs);
}

BOOL CWnd::KillTimer(UINT_PTR id) {
    return m_pBridge && m_pBridge->KillTimer(id);
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    auto* dlg = dynamic_cast<CDialog*>(parent);
    if (m_hWnd || !dlg)
        return FALSE;
    CWnd* existing = dlg->GetDlgItem(id);
    if (!existing || !existing->m_hWnd)
        return FALSE;
    m_hWnd = existing->m_hWnd;
    Attach(this, m_hWnd);
    dlg->m_attached[id] = this;
    m_pBridge = new WindowBridge(this, m_hWnd);
    OnAttached();
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    if (m_pBridge)
        m_pBridge->KillAllTimers();
    // The destroy handling runs while every child control still exists.
    SendMessage(WM_DESTROY);
    ReleaseChildWindows();
    QWidget* widget = m_hWnd;
    const bool ownsWidget = widget->isWindow();
    DetachFromWidget();
    // Without a display the widget is left alone; the process ends right after.
    if (ownsWidget && !DisplayLost())
        delete widget;
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    if (m_nDispatchDepth > 0)
        m_bNcDestroyPending = true;
    else
        PostNcDestroy();
    return TRUE;
}

void CWnd::DetachFromWidget() {
    if (m_hWnd && PermanentFromWidget(m_hWnd) == this)
        Detach(m_hWnd);
    m_hWnd = nullptr;
    delete m_pBridge;
    m_pBridge = nullptr;
}

void CWnd::PostNcDestroy() {}

BOOL GetCursorPos(CPoint* point) {
    if (!point)
        return FALSE;
    const QPoint p = QCursor::pos();
    *point = CPoint{p.x(), p.y()};
    return TRUE;
}
