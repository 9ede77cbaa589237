// System services: command line, directories, message boxes, beeps, the shell, cursors, icons,
// window classes, and the test seams that stand in for them.
#include "internal.h"

#include "resources.h"
#include "testhooks.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QPixmap>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace afx_test {
namespace {
struct Hooks {
    MessageBoxHook messageBox;
    ShellHook shell;
    std::string commandLine;
    bool commandLineSet = false;
    std::string moduleFileName;
    int beeps = 0;
    UINT lastBeep = 0;
    std::vector<std::string> sounds;
    int handCursorLookups = 0;
    int handCursorAvailable = -1; // -1: ask the platform
};
Hooks& State() {
    static Hooks hooks;
    return hooks;
}
} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    State().messageBox = std::move(hook);
}
void SetShellHook(ShellHook hook) {
    State().shell = std::move(hook);
}
int BeepCount() {
    return State().beeps;
}
UINT LastBeepType() {
    return State().lastBeep;
}
const std::vector<std::string>& RequestedSounds() {
    return State().sounds;
}
void ResetBeeps() {
    State().beeps = 0;
    State().lastBeep = 0;
    State().sounds.clear();
}
void SetCommandLine(const std::string& commandLine) {
    State().commandLine = commandLine;
    State().commandLineSet = true;
}
void SetModuleFileName(const std::string& path) {
    State().moduleFileName = path;
}
void SetHandCursorAvailable(bool available) {
    State().handCursorAvailable = available ? 1 : 0;
}
int HandCursorLookups() {
    return State().handCursorLookups;
}
void ResetAll() {
    State() = Hooks{};
    SetModalHook(nullptr);
    SetSecretClipboardLifetime(0);
    SetPopupMenuHook(nullptr);
    SetFileDialogHook(nullptr);
    AfxClearSecretClipboard();
    afx_detail::ResetRunState();
}
} // namespace afx_test

using afx_detail::FromQString;
using afx_detail::ToQString;

void InitCommonControls() {}
void AfxEnableControlContainer() {}

std::string AfxGetModuleFileName() {
    if (!afx_test::State().moduleFileName.empty())
        return afx_test::State().moduleFileName;
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string GetCommandLine() {
    if (afx_test::State().commandLineSet)
        return afx_test::State().commandLine;
    const auto quoted = [](const std::string& word) {
        return word.find(' ') == std::string::npos ? word : "\"" + word + "\"";
    };
    return quoted(AfxGetModuleFileName());
}

bool AfxCommandLineCarriesModulePath() {
    return AfxGetModuleFileName().find('"') == std::string::npos;
}

BOOL CreateDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 ? TRUE : FALSE;
}

namespace {
// System message boxes on screen now, so the end of the session can close them.
std::vector<QMessageBox*>& OpenSystemBoxes() {
    static std::vector<QMessageBox*> boxes;
    return boxes;
}
} // namespace

namespace {
void RequestSound(UINT type) {
    afx_test::State().sounds.push_back(afx_detail::EventSoundName(type));
    // The toolkit's fallback beep goes through the display, which may be gone while the book is saved.
    if (!afx_detail::DisplayLost())
        afx_detail::PlayEventSound(type);
}
} // namespace

int MessageBox(CWnd* owner, const std::string& text, const std::string& caption, UINT type) {
    // The box sounds as it opens, as the desktop's own message boxes do; a plain box is silent.
    if (type & 0xF0)
        RequestSound(type);
    if (auto& hook = afx_test::State().messageBox)
        return hook(text, caption, type);
    const bool retryCancel = (type & 0x0F) == MB_RETRYCANCEL;
    if (afx_detail::SessionEnding() || !qApp) {
        // Nobody is there to answer while the session ends: the message goes to the error stream,
        // and a question is answered with its safe choice.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return retryCancel ? IDCANCEL : IDOK;
    }
    QMessageBox box(owner ? owner->GetSafeHwnd() : nullptr);
    box.setWindowTitle(ToQString(caption));
    box.setText(ToQString(text));
    const UINT icon = type & 0xF0;
    box.setIcon(icon == MB_ICONERROR         ? QMessageBox::Critical
                : icon == MB_ICONQUESTION    ? QMessageBox::Question
                : icon == MB_ICONWARNING     ? QMessageBox::Warning
                : icon == MB_ICONINFORMATION ? QMessageBox::Information
                                             : QMessageBox::NoIcon);
    box.setStandardButtons(retryCancel ? QMessageBox::Retry | QMessageBox::Cancel : QMessageBox::Ok);
    OpenSystemBoxes().push_back(&box);
    const int answer = box.exec();
    OpenSystemBoxes().erase(std::remove(OpenSystemBoxes().begin(), OpenSystemBoxes().end(), &box),
                            OpenSystemBoxes().end());
    if (!retryCancel)
        return IDOK;
    return answer == QMessageBox::Retry ? IDRETRY : IDCANCEL;
}

namespace afx_detail {
void CloseSystemMessageBoxes() {
    for (QMessageBox* box : OpenSystemBoxes())
        box->done(QMessageBox::Cancel);
}
} // namespace afx_detail

BOOL MessageBeep(UINT type) {
    ++afx_test::State().beeps;
    afx_test::State().lastBeep = type;
    RequestSound(type);
    return TRUE;
}

INT_PTR ShellExecute(CWnd*, const std::string& verb, const std::string& file, const std::string&, const std::string&,
                     int) {
    if (auto& hook = afx_test::State().shell)
        return hook(verb, file);
    if (verb != "open" || file.empty())
        return SE_ERR_NOASSOC;
    const QString target = ToQString(file);
    QUrl url(target);
    if (url.scheme().isEmpty() || url.scheme().size() == 1) {
        if (!QFileInfo::exists(target))
            return SE_ERR_FNF;
        url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    }
    return QDesktopServices::openUrl(url) ? 42 : SE_ERR_NOASSOC;
}

HCURSOR AfxLoadHandCursor() {
    ++afx_test::State().handCursorLookups;
    if (afx_test::State().handCursorAvailable == 0)
        return nullptr;
    static const CursorData hand{Qt::PointingHandCursor};
    return &hand;
}

namespace {
QPointer<QWidget>& CursorTarget() {
    static QPointer<QWidget> target;
    return target;
}
HCURSOR& CurrentCursor() {
    static HCURSOR current = nullptr;
    return current;
}
} // namespace

HCURSOR SetCursor(HCURSOR cursor) {
    const HCURSOR previous = CurrentCursor();
    CurrentCursor() = cursor;
    // The shape applies to the widget under the pointer, the one asking for its cursor.
    QWidget* target = QApplication::widgetAt(QCursor::pos());
    if (!target)
        target = CursorTarget();
    if (target && cursor)
        target->setCursor(cursor->shape);
    return previous;
}

QPixmap afx_detail::PixmapFromResource(const ResourceBytes& bytes, const char* format) {
    if (!bytes.data)
        return {};
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data), qsizetype(bytes.size));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, format);
    // The format is known: asking every image plugin whether it reads it would load them all.
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

HICON AfxLoadIconResource(UINT id) {
    static std::map<UINT, IconData> cache;
    if (const auto it = cache.find(id); it != cache.end())
        return &it->second;
    const std::vector<ResourceBytes> images = AfxFindIconResource(id);
    if (images.empty())
        return nullptr;
    IconData data;
    for (const ResourceBytes& image : images) {
        const QPixmap pixmap = afx_detail::PixmapFromResource(image, "PNG");
        if (!pixmap.isNull())
            data.icon.addPixmap(pixmap);
    }
    if (data.icon.isNull())
        return nullptr;
    return &cache.emplace(id, std::move(data)).first->second;
}

namespace {
std::set<std::string>& RegisteredClasses() {
    static std::set<std::string> classes{"#32770"};
    return classes;
}
bool& FailRegistration() {
    static bool fail = false;
    return fail;
}
} // namespace

namespace afx_test {
void FailClassRegistration(bool fail) {
    FailRegistration() = fail;
}
void UnregisterClass(const std::string& className) {
    RegisteredClasses().erase(className);
}
} // namespace afx_test

void* AfxGetInstanceHandle() {
    static int moduleInstance = 0;
    return &moduleInstance;
}

BOOL GetClassInfo(void*, const std::string& className, WNDCLASS* wc) {
    if (!wc || !RegisteredClasses().count(className))
        return FALSE;
    wc->lpszClassName = className;
    return TRUE;
}

BOOL AfxRegisterClass(WNDCLASS* wc) {
    if (!wc || wc->lpszClassName.empty() || FailRegistration())
        return FALSE;
    RegisteredClasses().insert(wc->lpszClassName);
    return TRUE;
}

BOOL AfxIsClassRegistered(const std::string& className) {
    return RegisteredClasses().count(className) ? TRUE : FALSE;
}
