// CDialog: dialogs built from templates, modeless and modal runs, data exchange.
#include "internal.h"

#include "dlgunits.h"
#include "resources.h"
#include "testhooks.h"
#include "utf8.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSpinBox>
#include <QShortcutEvent>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <charconv>

namespace afx_test {
namespace {
ModalHook& ModalHookSlot() {
    static ModalHook hook;
    return hook;
}
} // namespace
void SetModalHook(ModalHook hook) {
    ModalHookSlot() = std::move(hook);
}
} // namespace afx_test

namespace afx_detail {

QFont DialogFont(const DlgTemplate& tpl) {
    QFont font = QApplication::font();
    font.setPointSize(tpl.pointSize > 0 ? tpl.pointSize : 8);
    return font;
}

QWidget* CreateListView(QWidget* parent); // listctrl.cpp

Qt::WindowFlags WindowFlagsFromStyles(DWORD style) {
    // A modal frame without minimise and maximise boxes is a dialog; anything else a top-level window.
    const bool dialog = (style & DS_MODALFRAME) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    Qt::WindowFlags flags = (dialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

void FitSizeLimitsToState(QWidget* window) {
    const QSize client = window->property(kFixedClientSizeProperty).toSize();
    if (!client.isValid())
        return;
    if (window->isMaximized()) {
        // Maximising enlarges the window; the controls stay where the template put them.
        window->setMinimumSize(client);
        window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        window->setFixedSize(client); // no thick frame: the user cannot drag the size
    }
}

namespace {

std::vector<CDialog*>& Modals() {
    static std::vector<CDialog*> modals;
    return modals;
}

DialogBaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    return BaseUnitsFromFont(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

QPixmap BitmapFromResource(const std::string& idText) {
    UINT id = 0;
    std::from_chars(idText.data(), idText.data() + idText.size(), id);
    return PixmapFromResource(AfxFindBitmapResource(id), "BMP");
}

QWidget* CreateStatic(const DlgItemTemplate& item, QWidget* parent) {
    auto* label = new QLabel(parent);
    const DWORD type = item.style & SS_TYPEMASK;
    if (type == SS_BITMAP) {
        label->setPixmap(BitmapFromResource(item.text));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (item.exStyle & WS_EX_STATICEDGE)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    }
    label->setText(ToQString(item.text));
    label->setTextFormat(Qt::PlainText);
    const Qt::Alignment horizontal = type == SS_CENTER  ? Qt::AlignHCenter
                                     : type == SS_RIGHT ? Qt::AlignRight
                                                        : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(type != SS_SIMPLE);
    return label;
}

// A push button whose mnemonic clicks it at once, as a dialog's keyboard interface does. The
// toolkit's own button shows a 100 ms press first, and the command would wait for it.
class DialogButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    bool event(QEvent* event) override {
        // A button receives only its own mnemonic; an ambiguous one just moves the focus.
        if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
            click();
            return true;
        }
        return QPushButton::event(event);
    }
};

QWidget* CreateButton(const DlgItemTemplate& item, QWidget* parent) {
    switch (item.style & BS_TYPEMASK) {
    case BS_GROUPBOX: {
        auto* group = new QGroupBox(ToQString(item.text), parent);
        group->setFocusPolicy(Qt::NoFocus);
        return group;
    }
    case BS_AUTOCHECKBOX:
        return new QCheckBox(ToQString(item.text), parent);
    case BS_AUTORADIOBUTTON:
        return new QRadioButton(ToQString(item.text), parent);
    default:
        break;
    }
    auto* button = new DialogButton(ToQString(item.text), parent);
    button->setAutoDefault(false);
    button->setDefault((item.style & 0xF) == BS_DEFPUSHBUTTON);
    return button;
}

QWidget* CreateEdit(const DlgItemTemplate& item, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setText(ToQString(item.text));
    if (item.style & ES_PASSWORD)
        edit->setEchoMode(QLineEdit::Password);
    edit->setReadOnly((item.style & ES_READONLY) != 0);
    if (item.style & ES_NUMBER)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    edit->setFrame((item.style & WS_BORDER) != 0);
    return edit;
}

QWidget* CreateSpin(const DlgItemTemplate& item, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setFrame((item.style & WS_BORDER) != 0);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    // The program reads the text as typed and says itself what is wrong with it.
    spin->setKeyboardTracking(true);
    return spin;
}

QWidget* CreateControl(const DlgItemTemplate& item, QWidget* parent) {
    switch (item.kind) {
    case ControlKind::Spin:
        return CreateSpin(item, parent);
    case ControlKind::Button:
        return CreateButton(item, parent);
    case ControlKind::Edit:
        return CreateEdit(item, parent);
    case ControlKind::ListView:
        return CreateListView(parent);
    case ControlKind::Static:
        break;
    }
    return CreateStatic(item, parent);
}

bool IsTextLabel(const DlgItemTemplate& item) {
    const DWORD type = item.style & SS_TYPEMASK;
    return item.kind == ControlKind::Static && !item.text.empty() && type <= SS_RIGHT;
}

// The static text a reader meets just before a field: on the field's line, nearest to its left.
const DlgItemTemplate* LabelBefore(const DlgTemplate& tpl, const DlgItemTemplate& field) {
    const DlgItemTemplate* label = nullptr;
    for (const DlgItemTemplate& item : tpl.items) {
        const bool sameLine = item.y < field.y + field.cy && field.y < item.y + item.cy;
        const int right = item.x + item.cx;
        if (IsTextLabel(item) && sameLine && right <= field.x && (!label || right > label->x + label->cx))
            label = &item;
    }
    return label;
}

QString AccessibleNameOf(const DlgItemTemplate& label) {
    QString name = ToQString(label.text).trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    return name;
}

// Screen readers name a field after its label, as the original platform does.
void NameFieldsAfterTheirLabels(const DlgTemplate& tpl, const std::vector<QWidget*>& controls) {
    for (std::size_t i = 0; i < tpl.items.size(); ++i) {
        const DlgItemTemplate& field = tpl.items[i];
        if (field.kind != ControlKind::Edit && field.kind != ControlKind::ListView && field.kind != ControlKind::Spin)
            continue;
        // A list has no caption to show; the text its template gives it is its name.
        if (field.kind == ControlKind::ListView && !field.text.empty()) {
            controls[i]->setAccessibleName(ToQString(field.text));
            continue;
        }
        if (const DlgItemTemplate* label = LabelBefore(tpl, field)) {
            controls[i]->setAccessibleName(AccessibleNameOf(*label));
            qobject_cast<QLabel*>(controls[std::size_t(label - tpl.items.data())])->setBuddy(controls[i]);
        }
    }
}

// Top-level windows tell assistive technology whether they are a dialog or an application frame.
class TopLevelAccessible : public QAccessibleWidget {
public:
    explicit TopLevelAccessible(QWidget* window) : QAccessibleWidget(window) {}
    QAccessible::Role role() const override {
        return widget()->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window;
    }
};

// The framework's windows are plain widgets; the toolkit's own windows have classes of their own.
QAccessibleInterface* CreateTopLevelAccessible(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (className != QLatin1String("QWidget") || !widget || !widget->isWindow())
        return nullptr;
    return new TopLevelAccessible(widget);
}

void EnsureAccessibleRoles() {
    static const bool installed = (QAccessible::installFactory(CreateTopLevelAccessible), true);
    (void)installed;
}

// The letter a control's text underlines ("&Login" gives 'L'); "&&" is a literal ampersand.
QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return text[i + 1];
        ++i;
    }
    return {};
}

// A letter typed while a button has the focus is a mnemonic, as Alt with that letter would be: the
// button it underlines is pressed, and a letter several buttons share moves the focus among them.
BOOL PressMnemonic(QWidget* dialog, QChar typed) {
    QWidget* focus = dialog->focusWidget();
    if (!qobject_cast<QAbstractButton*>(focus) || typed.isSpace())
        return FALSE;
    std::vector<QAbstractButton*> matches;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->isEnabled() && button->isVisibleTo(dialog) &&
            MnemonicOf(button->text()).toUpper() == typed.toUpper())
            matches.push_back(button);
    if (matches.empty())
        return FALSE;
    if (matches.size() == 1) {
        matches.front()->click();
        return TRUE;
    }
    const auto current = std::find(matches.begin(), matches.end(), focus);
    const auto next = current == matches.end() || current + 1 == matches.end() ? matches.begin() : current + 1;
    (*next)->setFocus(Qt::ShortcutFocusReason);
    return TRUE;
}

// A wrapper of the right class for a control nobody attached an object to.
std::unique_ptr<CWnd> MakeTemporaryWrapper(QWidget* control) {
    if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QGroupBox*>(control))
        return std::make_unique<CButton>();
    if (qobject_cast<QLineEdit*>(control))
        return std::make_unique<CEdit>();
    if (qobject_cast<QSpinBox*>(control))
        return std::make_unique<CSpinEdit>();
    if (qobject_cast<QTableView*>(control))
        return std::make_unique<CListCtrl>();
    return std::make_unique<CStatic>();
}

} // namespace

} // namespace afx_detail

using namespace afx_detail;

CDialog::CDialog() = default;
CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd) {
        // A dialog object going away with its window still open takes the window along.
        ReleaseChildWindows();
        QWidget* widget = m_hWnd;
        DetachFromWidget();
        delete widget;
    }
}

const std::vector<CDialog*>& CDialog::RunningModals() {
    return Modals();
}

bool CDialog::CreateWindowFromTemplate(UINT templateId) {
    const DlgTemplate* tpl = AfxFindDialogTemplate(templateId);
    if (!tpl || m_hWnd || !AfxIsClassRegistered(tpl->className))
        return false;
    m_nTemplateId = templateId;
    EnsureKeyboardFilter();
    EnsureAccessibleRoles();

    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setProperty(kStyleProperty, uint(tpl->style));
    window->setProperty(kExStyleProperty, uint(tpl->exStyle));
    window->setProperty(kWindowClassProperty, ToQString(tpl->className));
    window->setWindowTitle(ToQString(tpl->caption));
    const QFont font = DialogFont(*tpl);
    window->setFont(font);
    const DialogBaseUnits units = MeasureBaseUnits(font);

    window->setWindowFlags(WindowFlagsFromStyles(tpl->style));
    const PixelRect client = DluRectToPixels(0, 0, tpl->cx, tpl->cy, units);
    if (!(tpl->style & WS_THICKFRAME))
        window->setProperty(kFixedClientSizeProperty, QSize(client.width, client.height));
    else
        window->setMinimumSize(client.width, client.height); // a window that can be sized never hides its controls
    FitSizeLimitsToState(window);
    window->resize(client.width, client.height);

    m_hWnd = window;
    Attach(this, window);
    m_pBridge = new WindowBridge(this, window);

    std::vector<QWidget*> controls;
    for (const DlgItemTemplate& item : tpl->items) {
        QWidget* control = CreateControl(item, window);
        controls.push_back(control);
        const PixelRect r = DluRectToPixels(item.x, item.y, item.cx, item.cy, units);
        control->setGeometry(r.x, r.y, r.width, r.height);
        control->setProperty(kCtrlIdProperty, item.id);
        control->setProperty(kStyleProperty, uint(item.style));
        control->setProperty(kExStyleProperty, uint(item.exStyle));
        control->setEnabled(!(item.style & WS_DISABLED));
        if (!(item.style & WS_TABSTOP) && control->focusPolicy() != Qt::NoFocus)
            control->setFocusPolicy(qobject_cast<QLineEdit*>(control) ? Qt::ClickFocus : Qt::NoFocus);
        if (item.id != IDC_STATIC)
            m_controls[item.id] = control;
        ConnectControl(control, item);
    }
    NameFieldsAfterTheirLabels(*tpl, controls);
    // Group boxes are drawn beneath the controls they frame.
    for (QGroupBox* group : window->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        group->lower();
    return true;
}

void CDialog::ConnectControl(QWidget* control, const DlgItemTemplate& item) {
    const UINT id = item.id;
    QPointer<QWidget> window = m_hWnd;
    const auto notify = [this, id, window](UINT code) {
        if (window)
            SendMessage(WM_COMMAND, WPARAM(id & 0xFFFF) | (WPARAM(code) << 16), 0);
    };
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        QObject::connect(button, &QAbstractButton::clicked, m_pBridge, [notify]() { notify(BN_CLICKED); });
    // Typed or set by the program, as an edit reports either.
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        QObject::connect(edit, &QLineEdit::textChanged, m_pBridge, [notify]() { notify(EN_CHANGE); });
    else if (auto* spin = qobject_cast<QSpinBox*>(control); spin && spin->findChild<QLineEdit*>()) {
        // Its field tells every keystroke, a number out of range too; the spin itself tells a step
        // of the arrows. A text is told once, whichever tells it first.
        auto told = std::make_shared<QString>();
        const auto tell = [notify, spin, told]() {
            if (spin->text() == *told)
                return;
            *told = spin->text();
            notify(EN_CHANGE);
        };
        QObject::connect(spin->findChild<QLineEdit*>(), &QLineEdit::textChanged, m_pBridge, tell);
        QObject::connect(spin, &QSpinBox::textChanged, m_pBridge, tell);
    }
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_pParentWnd = parent;
    if (!CreateWindowFromTemplate(templateId))
        return FALSE;
    m_bEnded = false;
    if (OnInitDialog() && m_hWnd)
        FocusFirstTabStop();
    if (m_hWnd && (AfxFindDialogTemplate(templateId)->style & WS_VISIBLE))
        ShowWindow(SW_SHOW);
    return m_hWnd != nullptr;
}

void CDialog::FocusFirstTabStop() {
    const DlgTemplate* tpl = AfxFindDialogTemplate(m_nTemplateId);
    if (!tpl)
        return;
    for (const DlgItemTemplate& item : tpl->items) {
        const auto it = m_controls.find(item.id);
        if ((item.style & WS_TABSTOP) && it != m_controls.end() && it->second->isEnabled()) {
            it->second->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

namespace {
void CenterOver(QWidget* window, QWidget* owner) {
    const QRect area = owner && owner->isVisible()     ? owner->frameGeometry()
                       : QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry()
                                                       : QRect();
    if (area.isValid())
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}
} // namespace

INT_PTR CDialog::DoModal() {
    if (SessionEnding())
        return IDCANCEL;
    // Without a parent, the owner is the innermost running modal dialog, else the main window.
    CWnd* owner = m_pParentWnd ? m_pParentWnd : !Modals().empty() ? Modals().back() : AfxGetMainWnd();
    if (owner && !owner->HasWindow())
        owner = nullptr;
    if (!CreateWindowFromTemplate(m_nTemplateId))
        return -1;
    m_bEnded = false;
    m_nModalResult = -1;
    QWidget* window = m_hWnd;
    if (owner) {
        window->winId();
        owner->GetSafeHwnd()->winId();
        window->windowHandle()->setTransientParent(owner->GetSafeHwnd()->windowHandle());
    }
    window->setWindowModality(Qt::ApplicationModal);
    if (OnInitDialog() && !m_bEnded)
        FocusFirstTabStop();

    // The owner is disabled while the dialog runs, and gets its focus back afterwards.
    QPointer<QWidget> ownerWidget = owner ? owner->GetSafeHwnd() : nullptr;
    QPointer<QWidget> ownerFocus = ownerWidget ? ownerWidget->focusWidget() : nullptr;
    const bool disableOwner = ownerWidget && ownerWidget->isEnabled();
    if (disableOwner)
        ownerWidget->setEnabled(false);

    Modals().push_back(this);
    m_bModalRunning = true;
    if (!m_bEnded && m_hWnd) {
        CenterOver(window, ownerWidget);
        ShowWindow(SW_SHOW);
        if (auto& hook = afx_test::ModalHookSlot()) {
            hook(*this);
            if (!m_bEnded)
                EndDialog(IDCANCEL);
        } else {
            QEventLoop loop;
            m_pLoop = &loop;
            loop.exec(QEventLoop::DialogExec);
            m_pLoop = nullptr;
        }
    }
    m_bModalRunning = false;
    Modals().erase(std::remove(Modals().begin(), Modals().end(), this), Modals().end());

    if (disableOwner && ownerWidget)
        ownerWidget->setEnabled(true);
    if (m_hWnd)
        m_hWnd->hide();
    DestroyWindow();
    if (ownerWidget) {
        ownerWidget->activateWindow();
        if (ownerFocus)
            ownerFocus->setFocus(Qt::ActiveWindowFocusReason);
        if (m_bMessageBox)
            afx_detail::PrepareRetypeAfterMessage(ownerWidget);
    }
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bEnded = true;
    if (m_pLoop)
        static_cast<QEventLoop*>(m_pLoop)->exit(result);
    else if (!m_bModalRunning && m_hWnd && !DisplayLost())
        m_hWnd->hide(); // a modeless dialog is only hidden
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.m_bFailed ? FALSE : TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg && msg->message == WM_CHAR && m_hWnd)
        return PressMnemonic(m_hWnd, QChar(char16_t(msg->wParam)));
    if (!msg || msg->message != WM_KEYDOWN || !m_hWnd)
        return FALSE;
    switch (msg->wParam) {
    case VK_RETURN: {
        // Enter presses the focused push button, otherwise the default button.
        QWidget* focus = m_hWnd->focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focus); button && button->isEnabled()) {
            button->click();
            return TRUE;
        }
        for (const auto& [id, control] : m_controls) {
            auto* candidate = qobject_cast<QPushButton*>(control);
            if (candidate && candidate->isDefault()) {
                if (candidate->isEnabled())
                    candidate->click();
                return TRUE;
            }
        }
        SendMessage(WM_COMMAND, IDOK);
        return TRUE;
    }
    case VK_ESCAPE:
        SendMessage(WM_COMMAND, IDCANCEL);
        return TRUE;
    case VK_F1:
        // Help is the application's command, wherever the key is pressed.
        return AfxGetApp() && AfxGetApp()->OnCmdMsg(ID_HELP);
    case VK_APPS:
    case VK_F10:
        if (msg->wParam == VK_APPS || (msg->lParam & 1)) {
            // In a list the key opens the list's own menu, beside its current row.
            if (auto* list = qobject_cast<QTableView*>(m_hWnd->focusWidget())) {
                const QRect row = list->visualRect(list->currentIndex());
                const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
                QContextMenuEvent event(QContextMenuEvent::Keyboard, at, list->viewport()->mapToGlobal(at));
                QCoreApplication::sendEvent(list, &event);
                return TRUE;
            }
            ShowSystemMenu(this, m_hWnd->mapToGlobal(QPoint(0, 0)));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

LRESULT CDialog::DefWindowProc(MSG& msg) {
    switch (msg.message) {
    case WM_COMMAND:
        if ((msg.wParam & 0xFFFF) == IDOK && (msg.wParam >> 16) == BN_CLICKED)
            OnOK();
        else if ((msg.wParam & 0xFFFF) == IDCANCEL && (msg.wParam >> 16) == BN_CLICKED)
            OnCancel();
        return 0;
    case WM_CLOSE:
        OnCancel();
        return 0;
    default:
        return CWnd::DefWindowProc(msg);
    }
}

CWnd* CDialog::GetDlgItem(UINT id) const {
    if (const auto it = m_attached.find(id); it != m_attached.end() && it->second->HasWindow())
        return it->second;
    const auto control = m_controls.find(id);
    if (control == m_controls.end())
        return nullptr;
    auto& temp = m_tempControls[id];
    if (!temp) {
        // A temporary wrapper only borrows the dialog's widget.
        temp = MakeTemporaryWrapper(control->second);
        temp->m_hWnd = control->second;
    }
    return temp.get();
}

void CDialog::ReleaseChildWindows() {
    std::vector<CWnd*> released;
    for (auto& [id, wnd] : m_attached)
        if (wnd->GetSafeHwnd() && m_controls.count(id) && wnd->GetSafeHwnd() == m_controls[id]) {
            wnd->DetachFromWidget();
            released.push_back(wnd);
        }
    m_attached.clear();
    m_tempControls.clear();
    m_controls.clear();
    // Each attached control object learns that its window is gone; it may delete itself.
    for (CWnd* wnd : released)
        wnd->PostNcDestroy();
}

void CDialog::OnDestroy() {}
void CDialog::OnPaint() {}
void CDialog::OnSysCommandDefault(UINT id, LPARAM lParam) {
    MSG msg{WM_SYSCOMMAND, id, lParam};
    CWnd::DefWindowProc(msg);
}

// ---------------------------------------------------------------------------------------------
// Data exchange.

namespace {
CWnd* ExchangeControl(CDataExchange* dx, UINT id) {
    if (!dx || !dx->m_pDlgWnd)
        return nullptr;
    dx->m_idLastControl = id;
    return dx->m_pDlgWnd->GetDlgItem(id);
}
} // namespace

void DDX_Text(CDataExchange* dx, UINT id, std::string& value) {
    CWnd* control = ExchangeControl(dx, id);
    if (!control)
        return;
    if (dx->m_bSaveAndValidate)
        value = control->GetWindowText();
    else
        control->SetWindowText(value);
}

void DDV_MaxChars(CDataExchange* dx, std::string& value, int maxBytes) {
    if (!dx || !dx->m_pDlgWnd || maxBytes < 0)
        return;
    CWnd* control = dx->m_pDlgWnd->GetDlgItem(dx->m_idLastControl);
    if (!dx->m_bSaveAndValidate) {
        if (auto* edit = dynamic_cast<CEdit*>(control))
            edit->SetLimitText(UINT(maxBytes));
        return;
    }
    if (value.size() > std::size_t(maxBytes)) {
        value.resize(utf8::PrefixLengthWithin(value, std::size_t(maxBytes)));
        if (control)
            control->SetFocus();
        dx->Fail();
    }
}

void DDX_Control(CDataExchange* dx, UINT id, CWnd& control) {
    if (!dx || !dx->m_pDlgWnd || control.HasWindow())
        return;
    control.SubclassDlgItem(id, dx->m_pDlgWnd);
}
