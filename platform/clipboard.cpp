// The clipboard, guarded for secrets. A guarded copy carries the markers clipboard managers honour,
// never fills the primary selection, and is taken off the clipboard after a while and at the end
// of the run, but only while the clipboard still holds it: a later copy of the user's stays.
#include "internal.h"

#include "testhooks.h"
#include "wipe.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

#include <string.h>

namespace {

// Klipper, and the GNOME managers that honour it, keep no history of a copy with this hint; CopyQ
// ignores it and honours only its own marker. Managers that ignore both keep what they see.
constexpr char kPasswordManagerHint[] = "x-kde-passwordManagerHint";
constexpr char kCopyQHidden[] = "application/x-copyq-hidden";
constexpr int kSecretLifetimeMs = 10000;
constexpr char kGuardedProperty[] = "afxGuardedClipboard";
int g_lifetimeMs = kSecretLifetimeMs;

// Zeros a string's characters where they are stored, though other handles share them.
void WipeShared(QString& text) {
    if (!text.isEmpty())
        ::explicit_bzero(const_cast<QChar*>(text.constData()), std::size_t(text.size()) * sizeof(QChar));
    text.clear();
}

class SecretClipboard : public QObject {
public:
    static SecretClipboard* Instance() {
        if (!Existing() && qApp)
            Slot() = new SecretClipboard(qApp);
        return Existing();
    }
    // Null until the program first copied a secret or guarded an edit.
    static SecretClipboard* Existing() { return Slot(); }

    void Copy(const QString& text) {
        Clear();
        m_text = QString(text.constData(), text.size()); // its own buffer: the caller wipes its copy
        auto* data = new QMimeData;
        data->setText(m_text);
        data->setData(QLatin1String(kPasswordManagerHint), QByteArrayLiteral("secret"));
        data->setData(QLatin1String(kCopyQHidden), QByteArrayLiteral("1"));
        m_data = data;
        QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
        m_expiry.start(g_lifetimeMs);
    }

    // Takes the copy off the clipboard while it is still there, and wipes what is left of it.
    void Clear() {
        m_expiry.stop();
        if (HoldsOurs())
            QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
        m_data = nullptr;
        WipeShared(m_text);
    }

    // Without a display the clipboard is gone with it; only the program's own copy is wiped.
    void Forget() {
        m_expiry.stop();
        m_data = nullptr;
        WipeShared(m_text);
    }

    // The lifetime the copy on the clipboard was given; 0 when none waits to be taken off.
    int PendingLifetimeMs() const { return m_expiry.isActive() ? m_expiry.interval() : 0; }

private:
    static QPointer<SecretClipboard>& Slot() {
        static QPointer<SecretClipboard> instance;
        return instance;
    }

    explicit SecretClipboard(QObject* parent) : QObject(parent) {
        m_expiry.setSingleShot(true);
        connect(&m_expiry, &QTimer::timeout, this, [this] { Clear(); });
        connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard && m_data && !HoldsOurs())
                Forget(); // the user copied something else: the clipboard let go of ours
            if (mode == QClipboard::Selection)
                KeepGuardedSelectionPrivate();
        });
    }

    bool HoldsOurs() const { return m_data && QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) == m_data; }

    // Selecting text in a guarded edit would offer it to every program as the primary selection.
    static void KeepGuardedSelectionPrivate() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QWidget* focus = QApplication::focusWidget();
        if (clipboard->ownsSelection() && focus && focus->property(kGuardedProperty).toBool())
            clipboard->clear(QClipboard::Selection);
    }

    QTimer m_expiry;
    QString m_text;
    const QMimeData* m_data = nullptr; // the clipboard's copy while it may still be ours
};

// Copies and cuts from a guarded edit, by key or from its context menu, go through the guard.
class GuardedEditFilter : public QObject {
public:
    explicit GuardedEditFilter(QLineEdit* edit) : QObject(edit), m_edit(edit) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_edit)
            return false;
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool copy = key->matches(QKeySequence::Copy);
            const bool cut = key->matches(QKeySequence::Cut);
            if (!copy && !cut)
                return false;
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            CopySelection(cut);
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            ShowMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        return false;
    }

private:
    void CopySelection(bool cut) {
        if (!m_edit->hasSelectedText() || m_edit->echoMode() != QLineEdit::Normal)
            return;
        QString selected = m_edit->selectedText();
        SecretClipboard::Instance()->Copy(selected);
        WipeShared(selected);
        if (cut && !m_edit->isReadOnly())
            m_edit->del();
    }

    // The edit's own menu, its Copy and Cut sent through the guard.
    void ShowMenu(const QPoint& globalPos) {
        QMenu* menu = m_edit->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        for (QAction* action : menu->actions()) {
            const bool cut = action->objectName() == QLatin1String("edit-cut");
            if (!cut && action->objectName() != QLatin1String("edit-copy"))
                continue;
            action->disconnect(SIGNAL(triggered(bool)));
            connect(action, &QAction::triggered, this, [this, cut] { CopySelection(cut); });
        }
        menu->popup(globalPos);
    }

    QLineEdit* m_edit;
};

} // namespace

void AfxCopySecretToClipboard(const std::string& text) {
    if (SecretClipboard* clipboard = SecretClipboard::Instance()) {
        QString copy = afx_detail::ToQString(text);
        clipboard->Copy(copy);
        WipeShared(copy);
    }
}

void AfxClearSecretClipboard() {
    if (SecretClipboard* clipboard = SecretClipboard::Existing())
        clipboard->Clear();
}

void afx_detail::ForgetSecretClipboard() {
    if (SecretClipboard* clipboard = SecretClipboard::Existing())
        clipboard->Forget();
}

void CEdit::GuardClipboard() {
    auto* edit = qobject_cast<QLineEdit*>(m_hWnd);
    if (!edit || edit->property(kGuardedProperty).toBool())
        return;
    edit->setProperty(kGuardedProperty, true);
    edit->setDragEnabled(false);
    edit->installEventFilter(new GuardedEditFilter(edit));
    SecretClipboard::Instance(); // watches the selection from now on
}

void afx_test::SetSecretClipboardLifetime(int milliseconds) {
    g_lifetimeMs = milliseconds > 0 ? milliseconds : kSecretLifetimeMs;
}

int afx_test::PendingSecretClipboardLifetime() {
    const SecretClipboard* clipboard = SecretClipboard::Existing();
    return clipboard ? clipboard->PendingLifetimeMs() : 0;
}
