#include "com.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QTemporaryFile>
#include <QWidget>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <memory>

namespace {

using LoadSkinFn = BOOL (*)(const char*);
using UnloadSkinFn = void (*)();

constexpr const char* kWindowClassProperty = "zelvoWindowClass";

bool HasSkin(const QWidget& window) {
    return window.autoFillBackground() && !window.palette().brush(QPalette::Window).texture().isNull();
}

std::unique_ptr<QWidget> NewWindow(const char* windowClass) {
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
    window->setProperty(kWindowClassProperty, QString::fromUtf8(windowClass));
    window->resize(200, 150);
    return window;
}

class SkinLibrary : public testing::Test {
protected:
    void SetUp() override {
        m_module = AfxLoadLibrary(ZELVO_SKIN_LIB);
        ASSERT_NE(m_module, nullptr);
        m_load = reinterpret_cast<LoadSkinFn>(AfxGetProcAddressByOrdinal(m_module, 2));
        m_unload = reinterpret_cast<UnloadSkinFn>(AfxGetProcAddressByOrdinal(m_module, 3));
        m_unloadCount = reinterpret_cast<int (*)()>(dlsym(m_module, "ZelvoSkinUnloadCount"));
        ASSERT_TRUE(m_load && m_unload && m_unloadCount);
    }
    void TearDown() override {
        if (m_unload)
            m_unload();
        AfxFreeLibrary(m_module);
    }

    HMODULE m_module = nullptr;
    LoadSkinFn m_load = nullptr;
    UnloadSkinFn m_unload = nullptr;
    int (*m_unloadCount)() = nullptr;
};

TEST_F(SkinLibrary, OnlyTheProgramsOwnWindowsGetTheBitmap) {
    auto before = NewWindow("Zelvo.MainDlg");
    auto foreign = NewWindow("Other.Class");
    auto unnamed = std::make_unique<QWidget>();
    auto* edit = new QLineEdit(before.get());
    before->show();
    foreign->show();
    unnamed->show();
    const QPalette originalEdit = edit->palette();
    const QPalette originalWindow = before->palette();

    ASSERT_TRUE(m_load(ZELVO_SKIN_BITMAP));
    auto after = NewWindow("Zelvo.MainDlg");
    auto hiddenChild = new QWidget(after.get());
    hiddenChild->setProperty(kWindowClassProperty, "Zelvo.MainDlg"); // a child is never a window of its own
    after->show();

    EXPECT_TRUE(HasSkin(*before));
    EXPECT_TRUE(HasSkin(*after));
    EXPECT_FALSE(HasSkin(*foreign));
    EXPECT_FALSE(HasSkin(*unnamed));
    EXPECT_FALSE(hiddenChild->autoFillBackground());
    EXPECT_EQ(edit->palette().color(QPalette::Base), originalEdit.color(QPalette::Base));
    EXPECT_EQ(edit->palette().color(QPalette::Text), originalEdit.color(QPalette::Text));

    const int unloadsBefore = m_unloadCount();
    m_unload();
    EXPECT_EQ(m_unloadCount(), unloadsBefore + 1);
    EXPECT_FALSE(HasSkin(*before));
    EXPECT_FALSE(HasSkin(*after));
    EXPECT_EQ(before->palette().brush(QPalette::Window), originalWindow.brush(QPalette::Window));
    EXPECT_EQ(before->palette().color(QPalette::WindowText), originalWindow.color(QPalette::WindowText));

    auto afterUnload = NewWindow("Zelvo.MainDlg");
    afterUnload->show();
    EXPECT_FALSE(HasSkin(*afterUnload));
}

TEST_F(SkinLibrary, RestoresAPaletteTheWindowHadSetItself) {
    auto window = NewWindow("Zelvo.MainDlg");
    QPalette own = window->palette();
    own.setColor(QPalette::Window, Qt::darkGreen);
    window->setPalette(own);
    window->show();
    ASSERT_TRUE(m_load(ZELVO_SKIN_BITMAP));
    EXPECT_TRUE(HasSkin(*window));
    m_unload();
    EXPECT_TRUE(window->testAttribute(Qt::WA_SetPalette));
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(Qt::darkGreen));
}

TEST_F(SkinLibrary, AWindowClosedWhileSkinnedIsForgotten) {
    ASSERT_TRUE(m_load(ZELVO_SKIN_BITMAP));
    auto window = NewWindow("Zelvo.MainDlg");
    window->show();
    EXPECT_TRUE(HasSkin(*window));
    window.reset();
    m_unload(); // must not touch the deleted window
}

TEST_F(SkinLibrary, RefusesWhatIsNotAnImage) {
    QTemporaryFile text;
    ASSERT_TRUE(text.open());
    text.write("not a bitmap");
    text.close();
    auto window = NewWindow("Zelvo.MainDlg");
    window->show();
    for (const QByteArray& path : {QByteArray(ZELVO_MISSING_BITMAP), text.fileName().toUtf8(), QByteArray()})
        EXPECT_FALSE(m_load(path.constData())) << path.constData();
    EXPECT_FALSE(m_load(nullptr));
    EXPECT_FALSE(HasSkin(*window));
}

TEST_F(SkinLibrary, UnloadWithoutLoadIsHarmless) {
    auto window = NewWindow("Zelvo.MainDlg");
    window->show();
    const QPalette original = window->palette();
    const int unloadsBefore = m_unloadCount();
    m_unload();
    m_unload();
    EXPECT_EQ(m_unloadCount(), unloadsBefore + 2);
    EXPECT_EQ(window->palette(), original);
    EXPECT_FALSE(window->autoFillBackground());
}

} // namespace
