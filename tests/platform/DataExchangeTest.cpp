// Data exchange: texts both ways, byte limits with multi-byte characters at the boundary, and the
// limit the user meets when typing or pasting.
#include "PlatformFixture.h"

#include "utf8.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

#include <string>

namespace {

// The login template with its account edit bound to a string limited to a number of bytes.
class LimitDlg : public CDialog {
public:
    explicit LimitDlg(int limit) : CDialog(IDD_LOGIN), m_limit(limit) {}
    std::string m_strAccount;
    std::string m_strPassword;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialog::DoDataExchange(dx);
        DDX_Text(dx, IDC_EDIT_ACCOUNT, m_strAccount);
        DDV_MaxChars(dx, m_strAccount, m_limit);
        DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    }

private:
    int m_limit;
};

const std::string kE2 = "\xC3\xA9";            // 2 bytes
const std::string kEuro = "\xE2\x82\xAC";      // 3 bytes
const std::string kSmile = "\xF0\x9F\x98\x80"; // 4 bytes
std::string As(std::size_t n) {
    return std::string(n, 'a');
}

// Types text as the keyboard would, one character (a surrogate pair counts as one) per key press.
void TypeText(QWidget* target, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, width);
        i += width - 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, character);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, character);
        QApplication::sendEvent(target, &release);
    }
}

QLineEdit* EditOf(const CDialog& dlg, UINT id) {
    return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)->GetSafeHwnd());
}

using DataExchangeTest = PlatformTest;

TEST_F(DataExchangeTest, ValuesWithinTheLimitRoundTripAndLongerOnesFailTheSave) {
    struct Case {
        int limit;
        std::string value;
        bool saves;
        std::string afterSave;
    };
    const Case cases[] = {
        {128, As(128), true, As(128)},
        {128, As(129), false, As(128)},
        {127, As(127), true, As(127)},
        {127, As(128), false, As(127)},
        {129, As(129), true, As(129)},
        {129, As(130), false, As(129)},
        {128, As(126) + kE2, true, As(126) + kE2},
        {128, As(127) + kE2, false, As(127)},
        {128, As(125) + kEuro, true, As(125) + kEuro},
        {128, As(126) + kEuro, false, As(126)},
        {128, As(124) + kSmile, true, As(124) + kSmile},
        {128, As(125) + kSmile, false, As(125)},
        {127, As(123) + kSmile, true, As(123) + kSmile},
        {127, As(124) + kSmile, false, As(124)},
        {129, As(125) + kSmile, true, As(125) + kSmile},
        {128, "", true, ""},
        {128, "caf" + kE2 + " " + kEuro + kSmile, true, "caf" + kE2 + " " + kEuro + kSmile},
    };
    for (const Case& c : cases) {
        LimitDlg dlg(c.limit);
        dlg.m_strAccount = c.value;
        dlg.m_strPassword = "secret";
        ASSERT_TRUE(dlg.Create(IDD_LOGIN));
        EXPECT_EQ(static_cast<CEdit*>(dlg.GetDlgItem(IDC_EDIT_ACCOUNT))->GetLimitText(), UINT(c.limit));
        EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText(), c.value) << c.limit << " " << c.value.size();
        dlg.m_strAccount.clear();
        dlg.m_strPassword.clear();
        EXPECT_EQ(dlg.UpdateData(TRUE), c.saves ? TRUE : FALSE) << c.limit << " " << c.value.size();
        EXPECT_EQ(dlg.m_strAccount, c.afterSave) << c.limit << " " << c.value.size();
        if (!c.saves) { // the failing field takes the focus
            EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetSafeHwnd());
        }
    }
}

TEST_F(DataExchangeTest, LoadingWritesEveryFieldAndSavingReadsEveryField) {
    LimitDlg dlg(128);
    ASSERT_TRUE(dlg.Create(IDD_LOGIN));
    dlg.m_strAccount = "owner";
    dlg.m_strPassword = std::string("p\xC3\xA4ss");
    EXPECT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(EditOf(dlg, IDC_EDIT_ACCOUNT)->text(), QStringLiteral("owner"));
    EXPECT_EQ(EditOf(dlg, IDC_EDIT_PASSWORD)->text(), QString::fromUtf8("p\xC3\xA4ss"));
    EditOf(dlg, IDC_EDIT_ACCOUNT)->setText(QStringLiteral("other"));
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_strAccount, "other");
    EXPECT_EQ(dlg.m_strPassword, "p\xC3\xA4ss");
    CDialog closed;
    EXPECT_FALSE(closed.UpdateData(TRUE));
}

TEST_F(DataExchangeTest, TypingStopsAtTheLimitWithoutBreakingACharacter) {
    struct Case {
        int limit;
        std::size_t prefilled;
        QString typed;
        std::string expected;
    };
    const Case cases[] = {
        {128, 120, QStringLiteral("bcdefghijk"), As(120) + "bcdefghi"},
        {128, 126, QString::fromUtf8(kE2), As(126) + kE2},
        {128, 126, QString::fromUtf8(kE2 + "x"), As(126) + kE2},
        {128, 127, QString::fromUtf8(kE2), As(127)},
        {128, 126, QString::fromUtf8(kEuro), As(126)},
        {128, 125, QString::fromUtf8(kEuro + kEuro), As(125) + kEuro},
        {127, 125, QString::fromUtf8(kE2 + kE2), As(125) + kE2},
        {129, 127, QString::fromUtf8(kEuro + "zz"), As(127) + "zz"},
        {128, 124, QString::fromUtf8(kSmile + kSmile), As(124) + kSmile},
        {128, 125, QString::fromUtf8(kSmile + "b"), As(125) + "b"},
    };
    for (const Case& c : cases) {
        LimitDlg dlg(c.limit);
        dlg.m_strAccount = As(c.prefilled);
        ASSERT_TRUE(dlg.Create(IDD_LOGIN));
        ShowAndExpose(dlg);
        QWidget* edit = dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetSafeHwnd();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        TypeText(edit, c.typed);
        const std::string text = dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText();
        EXPECT_EQ(text, c.expected) << c.limit << " " << c.prefilled;
        EXPECT_TRUE(dlg.UpdateData(TRUE));
    }
}

TEST_F(DataExchangeTest, PastingIsCutToTheLimitOnACharacterBoundary) {
    struct Case {
        std::size_t prefilled;
        int cursor; // where the paste goes; -1: at the end
        std::string pasted;
        std::string expected;
    };
    const Case cases[] = {
        {120, -1, std::string(20, 'b'), As(120) + std::string(8, 'b')},
        {122, -1, kSmile + kSmile + kSmile, As(122) + kSmile},
        {124, -1, kSmile + kSmile, As(124) + kSmile},
        {125, -1, kSmile, As(125)},
        {120, 0, kEuro + kEuro + kEuro + kEuro, kEuro + kEuro + As(120)},
        {0, -1, std::string(64, 'x') + kE2 + std::string(64, 'y'), std::string(64, 'x') + kE2 + std::string(62, 'y')},
    };
    for (const Case& c : cases) {
        LimitDlg dlg(128);
        dlg.m_strAccount = As(c.prefilled);
        ASSERT_TRUE(dlg.Create(IDD_LOGIN));
        QLineEdit* edit = EditOf(dlg, IDC_EDIT_ACCOUNT);
        edit->setCursorPosition(c.cursor < 0 ? int(edit->text().size()) : c.cursor);
        QApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
        edit->paste();
        const std::string text = dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText();
        EXPECT_EQ(text, c.expected) << c.prefilled << " " << c.pasted.size();
        EXPECT_TRUE(utf8::IsValid(text));
        EXPECT_LE(text.size(), 128u);
    }
}

TEST_F(DataExchangeTest, ChangingTheLimitAppliesTheNewOne) {
    LimitDlg dlg(128);
    ASSERT_TRUE(dlg.Create(IDD_LOGIN));
    auto* edit = static_cast<CEdit*>(dlg.GetDlgItem(IDC_EDIT_ACCOUNT));
    edit->SetLimitText(4);
    EXPECT_EQ(edit->GetLimitText(), 4u);
    QTest::keyClicks(edit->GetSafeHwnd(), QStringLiteral("abcdef"));
    EXPECT_EQ(edit->GetWindowText(), "abcd");
    auto* password = static_cast<CEdit*>(dlg.GetDlgItem(IDC_EDIT_PASSWORD));
    EXPECT_GT(password->GetLimitText(), 1000u); // unlimited unless set
}

} // namespace
