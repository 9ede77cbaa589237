// Toolkit events turned into window messages: timers, close, keys, the system menu, painting,
// and the pointer and colouring messages of subclassed static controls.
#include "internal.h"

#include "testhooks.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <utility>

namespace afx_detail {
namespace {

LPARAM PackPoint(const QPoint& p) {
    return LPARAM((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16));
}

UINT VirtualKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_F1:
        return VK_F1;
    case Qt::Key_F3:
        return VK_F3;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_F10:
        return VK_F10;
    case Qt::Key_Menu:
        return VK_APPS;
    default:
        return UINT(key->key() & 0xFFFF);
    }
}

// The modifiers of the key press being offered to a dialog, as GetKeyState reports them.
Qt::KeyboardModifiers g_offeredModifiers;
bool g_offeringKey = false;

class OfferingKey {
public:
    explicit OfferingKey(const QKeyEvent* key) : m_outer(g_offeringKey), m_outerModifiers(g_offeredModifiers) {
        g_offeringKey = true;
        g_offeredModifiers = key->modifiers();
    }
    ~OfferingKey() {
        g_offeringKey = m_outer;
        g_offeredModifiers = m_outerModifiers;
    }
    OfferingKey(const OfferingKey&) = delete;
    OfferingKey& operator=(const OfferingKey&) = delete;

private:
    bool m_outer;
    Qt::KeyboardModifiers m_outerModifiers;
};

// Gives every key press inside a dialog to the dialog's PreTranslateMessage first.
class KeyboardFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease)
            m_offered = {};
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        // A key the receiver ignores travels on to its parents: it was offered already.
        if (event == m_offered.event && m_offered.receiver && widget != m_offered.receiver &&
            widget->isAncestorOf(m_offered.receiver))
            return false;
        CDialog* dlg = DialogOfWidget(widget->window());
        if (!dlg || widget->window() != dlg->GetSafeHwnd())
            return false;
        m_offered = {event, widget};
        const auto* key = static_cast<QKeyEvent*>(event);
        const OfferingKey offering(key);
        MSG msg{WM_KEYDOWN, VirtualKey(key), (key->modifiers() & Qt::ShiftModifier) ? LPARAM(1) : LPARAM(0)};
        if (dlg->PreTranslateMessage(&msg))
            return true;
        // The character the key types follows, as the dialog manager sees it, for bare mnemonics.
        const QString text = key->text();
        if (text.size() != 1 || !text[0].isPrint() ||
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        MSG typed{WM_CHAR, WPARAM(text[0].unicode()), 0};
        return dlg->PreTranslateMessage(&typed) != FALSE;
    }

private:
    // The key press last offered, and its first receiver.
    struct Offered {
        const QEvent* event = nullptr;
        QPointer<QWidget> receiver;
    };
    Offered m_offered;
};

} // namespace

void EnsureKeyboardFilter() {
    static KeyboardFilter* filter = nullptr;
    if (!filter && qApp) {
        filter = new KeyboardFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

// Fills a pop-up with a menu's items; each action carries its item's id.
void FillPopup(QMenu& popup, const CMenu& menu) {
    for (const CMenu::Item& item : menu.Items()) {
        if (item.flags & MF_SEPARATOR)
            popup.addSeparator();
        else {
            QAction* action = popup.addAction(ToQString(item.text));
            action->setData(item.id);
            action->setEnabled(!(item.flags & MF_GRAYED));
        }
    }
}

void ShowSystemMenu(CWnd* wnd, const QPoint& globalPos) {
    CMenu* menu = wnd ? wnd->GetSystemMenu(FALSE) : nullptr;
    if (!menu)
        return;
    QMenu popup(wnd->GetSafeHwnd());
    FillPopup(popup, *menu);
    for (QAction* action : popup.actions()) {
        const UINT id = action->data().toUInt();
        const QWidget* window = wnd->GetSafeHwnd();
        if (id == SC_RESTORE)
            action->setEnabled(window->isMaximized() || window->isMinimized());
        else if (id == SC_MAXIMIZE)
            action->setEnabled(!window->isMaximized() && (wnd->GetStyle() & WS_MAXIMIZEBOX));
        else if (id == SC_MINIMIZE)
            action->setEnabled(wnd->GetStyle() & WS_MINIMIZEBOX);
        else if (id == SC_MOVE)
            action->setEnabled(!window->isMaximized());
        else if (id == SC_SIZE)
            action->setEnabled((wnd->GetStyle() & WS_THICKFRAME) && !window->isMaximized() && !window->isMinimized() &&
                               WindowManagerMovesOnRequest());
    }
    popup.setAccessibleName(QStringLiteral("Window menu"));
    QPointer<QWidget> alive = wnd->GetSafeHwnd();
    QAction* chosen = popup.exec(globalPos);
    if (chosen && alive)
        wnd->SendMessage(WM_SYSCOMMAND, WPARAM(chosen->data().toUInt()), 0);
}

WindowBridge::WindowBridge(CWnd* wnd, QWidget* widget) : QObject(widget), m_wnd(wnd), m_widget(widget) {
    widget->installEventFilter(this);
}

WindowBridge::~WindowBridge() {
    if (m_widget)
        m_widget->removeEventFilter(this);
    delete m_savedPalette;
    delete m_savedFont;
}

UINT_PTR WindowBridge::SetTimer(UINT_PTR id, UINT elapseMs) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this, id]() { m_wnd->SendMessage(WM_TIMER, id); });
    }
    timer->start(int(std::max<UINT>(elapseMs, 1)));
    return id;
}

bool WindowBridge::KillTimer(UINT_PTR id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return false;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
    return true;
}

void WindowBridge::KillAllTimers() {
    for (auto& [id, timer] : m_timers) {
        timer->stop();
        timer->deleteLater();
    }
    m_timers.clear();
}

bool WindowBridge::HasHandler(UINT message) const {
    for (const MessageMapEntry& entry : m_wnd->GetMessageMap())
        if (entry.message == message)
            return true;
    return false;
}

bool WindowBridge::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_widget)
        return false;
    return m_widget->isWindow() ? HandleTopLevelEvent(event) : HandleStaticControlEvent(event);
}

bool WindowBridge::HandleTopLevelEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Close:
        // The window decides itself whether and how it closes.
        event->ignore();
        m_wnd->SendMessage(WM_CLOSE);
        return true;
    case QEvent::ContextMenu: {
        // A right click on the dialog's background, outside every control, opens the system menu.
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QWidget* child = m_widget->childAt(menuEvent->pos());
        if (child && !qobject_cast<QGroupBox*>(child))
            return false;
        ShowSystemMenu(m_wnd, menuEvent->globalPos());
        return true;
    }
    case QEvent::WindowStateChange:
        FitSizeLimitsToState(m_widget);
        return false;
    case QEvent::Resize: {
        const QSize size = m_widget->size();
        m_wnd->SendMessage(WM_SIZE, m_widget->isMinimized() ? 1 : 0, PackPoint(QPoint(size.width(), size.height())));
        return false;
    }
    case QEvent::Paint: {
        if (!HasHandler(WM_PAINT))
            return false;
        QPainter painter(m_widget);
        m_painter = &painter;
        m_wnd->SendMessage(WM_PAINT);
        m_painter = nullptr;
        return false;
    }
    default:
        return false;
    }
}

bool WindowBridge::HandleStaticControlEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter: {
        const QPoint global = QCursor::pos();
        if (m_wnd->SendMessage(WM_NCHITTEST, 0, PackPoint(global)) == HTTRANSPARENT)
            return false;
        if (!m_wnd->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_wnd), HTCLIENT | (WM_MOUSEMOVE << 16)))
            return false;
        return false;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (m_wnd->SendMessage(WM_NCHITTEST, 0, PackPoint(mouse->globalPosition().toPoint())) == HTTRANSPARENT)
            return false;
        m_wnd->SendMessage(WM_LBUTTONDOWN, 1, PackPoint(mouse->position().toPoint()));
        return HasHandler(WM_LBUTTONDOWN);
    }
    case QEvent::Paint:
        if (!m_applyingColours && HasHandler(WM_REFLECT_CTLCOLOR))
            ApplyControlColours();
        return false;
    default:
        return false;
    }
}

// Asks the control how it wants to be coloured, and applies the answer before it paints.
void WindowBridge::ApplyControlColours() {
    m_applyingColours = true;
    if (!m_savedLook) {
        m_savedPalette = new QPalette(m_widget->palette());
        m_savedFont = new QFont(m_widget->font());
        m_savedLook = true;
    }
    CDC dc;
    const auto brush = reinterpret_cast<HBRUSH>(
        m_wnd->SendMessage(WM_REFLECT_CTLCOLOR, reinterpret_cast<WPARAM>(&dc), LPARAM(CTLCOLOR_STATIC)));
    QPalette palette = *m_savedPalette;
    QFont font = *m_savedFont;
    if (brush) {
        if (dc.TextColorSet()) {
            const COLORREF c = dc.TextColor();
            palette.setColor(QPalette::WindowText, QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
        if (const CFont* selected = dc.SelectedFont(); selected && !selected->IsNull()) {
            LOGFONT lf;
            selected->GetLogFont(&lf);
            font =
                QFont(ToQString(lf.faceName), lf.pointSize, lf.weight >= 700 ? QFont::Bold : QFont::Normal, lf.italic);
            font.setUnderline(lf.underline);
        }
        m_widget->setAutoFillBackground(false);
    }
    if (m_widget->palette() != palette)
        m_widget->setPalette(palette);
    if (m_widget->font() != font)
        m_widget->setFont(font);
    m_applyingColours = false;
}

} // namespace afx_detail

short GetKeyState(int virtualKey) {
    using afx_detail::g_offeredModifiers;
    const Qt::KeyboardModifiers held =
        afx_detail::g_offeringKey ? g_offeredModifiers : QGuiApplication::keyboardModifiers();
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    if (virtualKey == int(VK_SHIFT))
        modifier = Qt::ShiftModifier;
    else if (virtualKey == int(VK_CONTROL))
        modifier = Qt::ControlModifier;
    else if (virtualKey == int(VK_MENU))
        modifier = Qt::AltModifier;
    return modifier != Qt::NoModifier && (held & modifier) ? short(0x8000) : short(0);
}

namespace {
afx_test::PopupMenuHook g_popupMenuHook;
} // namespace

void afx_test::SetPopupMenuHook(PopupMenuHook hook) {
    g_popupMenuHook = std::move(hook);
}

UINT CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
    QPointer<QWidget> alive = owner ? owner->GetSafeHwnd() : nullptr;
    UINT id = 0;
    if (g_popupMenuHook) {
        id = g_popupMenuHook(*this);
    } else {
        QMenu popup(owner ? owner->GetSafeHwnd() : nullptr);
        afx_detail::FillPopup(popup, *this);
        QAction* chosen = popup.exec(QPoint(x, y));
        id = chosen ? chosen->data().toUInt() : 0;
    }
    if (!(flags & TPM_RETURNCMD) && id != 0 && alive)
        owner->SendMessage(WM_COMMAND, id, 0);
    return (flags & TPM_RETURNCMD) ? id : UINT(id != 0);
}
