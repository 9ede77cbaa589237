#include "DlgGeneratePassword.h"

#include "MessageBox.h"
#include "PasswordHealth.h"
#include "StrengthText.h"
#include "resource.h"
#include "wipe.h"

#include <charconv>
#include <string>

namespace {

// The check box of each kind of character, with the choice it stands for.
struct KindBox {
    UINT id;
    bool PasswordGeneratorOptions::*chosen;
};
constexpr KindBox kKindBoxes[] = {
    {IDC_CHECK_LOWER_CASE, &PasswordGeneratorOptions::lowerCase},
    {IDC_CHECK_UPPER_CASE, &PasswordGeneratorOptions::upperCase},
    {IDC_CHECK_DIGITS, &PasswordGeneratorOptions::digits},
    {IDC_CHECK_SYMBOLS, &PasswordGeneratorOptions::symbols},
};

// The length typed, when it is a whole number a password may have.
bool ParseLength(const std::string& text, std::size_t& length) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return false;
    if (value < kMinGeneratedLength || value > kMaxGeneratedLength)
        return false;
    length = value;
    return true;
}

bool Checked(const CDialog& dialog, UINT id) {
    const auto* box = static_cast<const CButton*>(dialog.GetDlgItem(id));
    return box && box->GetCheck() == BST_CHECKED;
}

void SetChecked(CDialog& dialog, UINT id, bool checked) {
    if (auto* box = static_cast<CButton*>(dialog.GetDlgItem(id)))
        box->SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
}

} // namespace

CDlgGeneratePassword::CDlgGeneratePassword(PasswordGeneratorOptions& options, CWnd* parent)
    : CDialog(IDD_GENERATE_PASSWORD, parent), m_options(options) {}

const MessageMap& CDlgGeneratePassword::GetMessageMap() const {
    using C = CDlgGeneratePassword;
    static const MessageMap map = {
        msgmap::OnBnClicked(IDC_CHECK_LOWER_CASE, &C::OnChoiceClicked),
        msgmap::OnBnClicked(IDC_CHECK_UPPER_CASE, &C::OnChoiceClicked),
        msgmap::OnBnClicked(IDC_CHECK_DIGITS, &C::OnChoiceClicked),
        msgmap::OnBnClicked(IDC_CHECK_SYMBOLS, &C::OnChoiceClicked),
        msgmap::OnBnClicked(IDC_CHECK_NO_LOOK_ALIKES, &C::OnChoiceClicked),
        msgmap::OnEnChange(IDC_EDIT_LENGTH, &C::OnLengthChanged),
        msgmap::OnBnClicked(IDC_BTN_GENERATE, &C::OnBnClickedGenerate),
    };
    return map;
}

BOOL CDlgGeneratePassword::OnInitDialog() {
    CDialog::OnInitDialog();
    // What is copied from the password goes to the clipboard guarded, as from the main window's field.
    if (auto* shown = static_cast<CEdit*>(GetDlgItem(IDC_EDIT_GENERATED)))
        shown->GuardClipboard();
    ShowChoices();
    Generate();
    return TRUE;
}

void CDlgGeneratePassword::ShowChoices() {
    m_bShowingChoices = true;
    if (auto* length = static_cast<CSpinEdit*>(GetDlgItem(IDC_EDIT_LENGTH)))
        length->SetRange(int(kMinGeneratedLength), int(kMaxGeneratedLength));
    ShowKinds();
    if (CWnd* length = GetDlgItem(IDC_EDIT_LENGTH))
        length->SetWindowText(std::to_string(m_options.length));
    m_bShowingChoices = false;
}

void CDlgGeneratePassword::ShowKinds() {
    for (const KindBox& kind : kKindBoxes)
        SetChecked(*this, kind.id, m_options.*kind.chosen);
    SetChecked(*this, IDC_CHECK_NO_LOOK_ALIKES, m_options.excludeLookAlikes);
}

bool CDlgGeneratePassword::ReadKinds(PasswordGeneratorOptions& options) const {
    bool anyKind = false;
    for (const KindBox& kind : kKindBoxes) {
        options.*kind.chosen = Checked(*this, kind.id);
        anyKind = anyKind || options.*kind.chosen;
    }
    options.excludeLookAlikes = Checked(*this, IDC_CHECK_NO_LOOK_ALIKES);
    return anyKind;
}

void CDlgGeneratePassword::OnChoiceClicked() {
    PasswordGeneratorOptions chosen = m_options;
    if (!ReadKinds(chosen)) {
        // The box just cleared was the last kind: it is checked again, and the password stays.
        ShowKinds();
        ShowMessage(std::string(DescribeGeneratorError(GeneratorError::NoKindChosen)), this);
        return;
    }
    m_options = chosen;
    Generate();
}

void CDlgGeneratePassword::OnLengthChanged() {
    if (!m_bShowingChoices)
        Generate();
}

void CDlgGeneratePassword::OnBnClickedGenerate() {
    Generate();
    if (m_password.Text().empty())
        ExplainMissingPassword();
}

void CDlgGeneratePassword::Generate() {
    const CWnd* edit = GetDlgItem(IDC_EDIT_LENGTH);
    std::size_t length = 0;
    if (edit && ParseLength(edit->GetWindowText(), length)) {
        m_options.length = length;
        m_error = GeneratePassword(m_options, m_password);
    } else {
        // The choices keep the last length a password could have.
        m_password.Wipe();
        m_error = GeneratorError::LengthOutOfRange;
    }
    ShowPassword();
}

void CDlgGeneratePassword::ShowPassword() {
    std::string text(m_password.Text());
    if (CWnd* shown = GetDlgItem(IDC_EDIT_GENERATED))
        shown->SetWindowText(text);
    WipeString(text);
    // A wrong length is told on the length's own line; the strength line says what else went wrong.
    const bool lengthWrong = m_error == GeneratorError::LengthOutOfRange;
    const std::string strength = m_error == GeneratorError::None ? StrengthText(RatePassword(m_password.Text()))
                                 : lengthWrong                   ? std::string()
                                                                 : std::string(DescribeGeneratorError(m_error));
    if (CWnd* line = GetDlgItem(IDC_STATIC_STRENGTH))
        line->SetWindowText(strength);
    if (CWnd* line = GetDlgItem(IDC_STATIC_LENGTH_ERROR))
        line->SetWindowText(lengthWrong ? std::string(DescribeGeneratorError(m_error)) : std::string());
}

void CDlgGeneratePassword::OnOK() {
    if (m_password.Text().empty()) {
        ExplainMissingPassword();
        return;
    }
    EndDialog(IDOK);
}

void CDlgGeneratePassword::ExplainMissingPassword() {
    ShowMessage(std::string(DescribeGeneratorError(m_error)), this);
    const UINT mend = m_error == GeneratorError::LengthOutOfRange ? IDC_EDIT_LENGTH : IDC_BTN_GENERATE;
    if (CWnd* control = GetDlgItem(mend))
        control->SetFocus();
}
