// A refused text is ready to be retyped: once a message box closes, the edit of its owner that holds
// the focus, whether it simply got the focus back or the refusing code moved the focus there, has its
// whole text selected. The text stays; typing replaces it.
#include "internal.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

namespace {

// The owner of the message box that closed last, until its handler has returned to the event loop.
QPointer<QWidget>& RetypeWindow() {
    static QPointer<QWidget> window;
    return window;
}

void SelectWholeText(QWidget* widget) {
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget); spin && spin->isEnabled()) {
        spin->selectAll();
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (edit && edit->isEnabled() && !edit->isReadOnly())
        edit->selectAll();
}

} // namespace

namespace afx_detail {

void PrepareRetypeAfterMessage(QWidget* owner) {
    if (!owner)
        return;
    RetypeWindow() = owner;
    SelectWholeText(owner->focusWidget());
    // A later focus move, once the user is back in charge, selects as Tab or a click would.
    QTimer::singleShot(0, owner, [] { RetypeWindow() = nullptr; });
}

void SelectIfRetyping(QWidget* focused) {
    if (focused && RetypeWindow() && focused->window() == RetypeWindow())
        SelectWholeText(focused);
}

} // namespace afx_detail
