// The skin library: paints a bitmap behind every window of the program's dialog class. Loading
// installs an application-wide filter that skins such windows as they are polished or shown
// (windows already open included); unloading removes it and gives every window back its palette.
#include "com.h"

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

#define SKIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The property the framework layer sets on the top-level widget of every dialog: its window class.
constexpr const char* kWindowClassProperty = "zelvoWindowClass";
// The window class whose windows are skinned.
constexpr const char* kSkinnedClass = "Zelvo.MainDlg";

// What a skinned window looked like before, to give it back on unload.
struct SavedLook {
    QPointer<QWidget> window;
    QPalette palette;
    bool paletteWasSet = false;
    bool autoFill = false;
};

bool IsSkinnable(const QWidget* widget) {
    return widget && widget->isWindow() && widget->property(kWindowClassProperty).toString() == kSkinnedClass;
}

// Text drawn straight on the background must contrast with it: dark text on a light bitmap.
QColor TextColourFor(const QPixmap& bitmap) {
    const QColor average =
        bitmap.toImage().scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
    return average.lightness() >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

class SkinFilter final : public QObject {
public:
    explicit SkinFilter(const QPixmap& bitmap) : m_bitmap(bitmap), m_textColour(TextColourFor(bitmap)) {}

    ~SkinFilter() override { RestoreAll(); }

    // Skins a window of the skinned class once; other widgets are left alone.
    void Apply(QWidget* window) {
        if (!IsSkinnable(window) || IsSkinned(window))
            return;
        m_saved.push_back(
            {window, window->palette(), window->testAttribute(Qt::WA_SetPalette), window->autoFillBackground()});
        // Only the window's own roles change: edits, lists and buttons keep their Base and Button
        // colours and stay readable over the bitmap.
        QPalette palette = window->palette();
        palette.setBrush(QPalette::Window, QBrush(m_bitmap));
        palette.setColor(QPalette::WindowText, m_textColour);
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        window->update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish || event->type() == QEvent::Show)
            if (watched->isWidgetType())
                Apply(static_cast<QWidget*>(watched));
        return false;
    }

private:
    bool IsSkinned(const QWidget* window) const {
        for (const SavedLook& look : m_saved)
            if (look.window == window)
                return true;
        return false;
    }

    void RestoreAll() {
        for (const SavedLook& look : m_saved) {
            if (!look.window)
                continue;
            if (look.paletteWasSet)
                look.window->setPalette(look.palette);
            else
                look.window->setPalette(QPalette()); // back to the inherited palette
            look.window->setAutoFillBackground(look.autoFill);
            look.window->update();
        }
        m_saved.clear();
    }

    QPixmap m_bitmap;
    QColor m_textColour;
    std::vector<SavedLook> m_saved;
};

std::unique_ptr<SkinFilter>& ActiveSkin() {
    static std::unique_ptr<SkinFilter> skin;
    return skin;
}

int g_unloadCalls = 0;

void UnloadSkin() {
    ++g_unloadCalls;
    if (auto& skin = ActiveSkin()) {
        if (qApp)
            qApp->removeEventFilter(skin.get());
        skin.reset();
    }
}

BOOL LoadSkin(const char* bitmapPath) {
    if (!bitmapPath || !*bitmapPath || !qApp)
        return FALSE;
    QImageReader reader(QString::fromUtf8(bitmapPath), "BMP");
    // The skin is a BMP: asking every image plugin whether it reads one would load them all.
    reader.setAutoDetectImageFormat(false);
    const QPixmap bitmap = QPixmap::fromImage(reader.read());
    if (bitmap.isNull())
        return FALSE;
    if (ActiveSkin()) {
        qApp->removeEventFilter(ActiveSkin().get());
        ActiveSkin().reset();
    }
    ActiveSkin() = std::make_unique<SkinFilter>(bitmap);
    qApp->installEventFilter(ActiveSkin().get());
    for (QWidget* window : QApplication::topLevelWidgets())
        ActiveSkin()->Apply(window);
    return TRUE;
}

} // namespace

// The library's operations by ordinal: 2 loads a skin from a bitmap path, 3 unloads it.
SKIN_EXPORT const OrdinalExport AfxOrdinalExports[] = {
    {2, reinterpret_cast<void*>(&LoadSkin)},
    {3, reinterpret_cast<void*>(&UnloadSkin)},
    {0, nullptr},
};

// How often the unload operation has run since the library was loaded; lets tests see that the
// program unloads the skin exactly once per run.
SKIN_EXPORT int ZelvoSkinUnloadCount() {
    return g_unloadCalls;
}
