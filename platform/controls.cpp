// Buttons, edits with byte-counted limits, menus.
#include "internal.h"

#include "utf8.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {

// Keeps an edit's text within a number of UTF-8 bytes. Text that would overflow loses the
// characters just typed or pasted (those before the cursor), never half a character.
class ByteLimitValidator : public QValidator {
public:
    ByteLimitValidator(UINT maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}
    UINT MaxBytes() const { return m_maxBytes; }

    State validate(QString& input, int& pos) const override {
        while (input.toUtf8().size() > qsizetype(m_maxBytes)) {
            int cut = pos > 0 ? pos : int(input.size());
            if (cut <= 0)
                return Invalid;
            // Remove one whole character (a surrogate pair counts as one).
            const int width =
                (cut >= 2 && input.at(cut - 1).isLowSurrogate() && input.at(cut - 2).isHighSurrogate()) ? 2 : 1;
            input.remove(cut - width, width);
            if (pos > 0)
                pos -= width;
        }
        return Acceptable;
    }

private:
    UINT m_maxBytes;
};

} // namespace

void CButton::Click() {
    if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd); button && button->isEnabled())
        button->click();
}

int CButton::GetCheck() const {
    const auto* button = qobject_cast<const QAbstractButton*>(m_hWnd);
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd); button && button->isCheckable())
        button->setChecked(check == BST_CHECKED);
}

void CEdit::SetLimitText(UINT maxBytes) {
    auto* edit = qobject_cast<QLineEdit*>(m_hWnd);
    if (!edit)
        return;
    if (auto* old = const_cast<QValidator*>(edit->validator()))
        old->deleteLater();
    edit->setValidator(new ByteLimitValidator(maxBytes, edit));
    edit->setProperty(afx_detail::kByteLimitProperty, maxBytes);
}

UINT CEdit::GetLimitText() const {
    const QVariant limit = m_hWnd ? m_hWnd->property(afx_detail::kByteLimitProperty) : QVariant();
    return limit.isValid() ? limit.toUInt() : 0x7FFFFFFE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const std::string& text) {
    m_items.push_back(Item{flags, UINT(id), (flags & MF_SEPARATOR) ? std::string() : text});
    return TRUE;
}

namespace {

// The item at that place, or of that command; the end when there is none.
std::vector<CMenu::Item>::iterator FindMenuItem(std::vector<CMenu::Item>& items, UINT position, UINT flags) {
    if (flags & MF_BYPOSITION)
        return items.begin() + std::ptrdiff_t(std::min<std::size_t>(position, items.size()));
    return std::find_if(items.begin(), items.end(),
                        [&](const CMenu::Item& item) { return item.id == position && !(item.flags & MF_SEPARATOR); });
}

CMenu::Item MenuItem(UINT flags, UINT_PTR id, const std::string& text) {
    const UINT kept = flags & ~MF_BYPOSITION;
    return CMenu::Item{kept, UINT(id), (kept & MF_SEPARATOR) ? std::string() : text};
}

} // namespace

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, const std::string& text) {
    const auto at = FindMenuItem(m_items, position, flags);
    if (at == m_items.end() && !(flags & MF_BYPOSITION))
        return FALSE;
    m_items.insert(at, MenuItem(flags, id, text));
    return TRUE;
}

BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR id, const std::string& text) {
    const auto at = FindMenuItem(m_items, position, flags);
    if (at == m_items.end())
        return FALSE;
    *at = MenuItem(flags, id, text);
    return TRUE;
}

UINT CMenu::EnableMenuItem(UINT id, UINT enable) {
    for (Item& item : m_items) {
        if (item.id != id || (item.flags & MF_SEPARATOR))
            continue;
        const UINT previous = item.flags & MF_GRAYED;
        item.flags = (item.flags & ~MF_GRAYED) | (enable & MF_GRAYED);
        return previous;
    }
    return UINT(-1);
}
