// The application object, the process entry, the message loop and the session's end.
#include "internal.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {
CWinApp* g_pTheApp = nullptr;
QEventLoop* g_pMainLoop = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;
// Each quit request is numbered, so a request already answered cannot end a later loop.
unsigned g_quitRequests = 0;
unsigned g_quitRequestsAnswered = 0;
bool g_sessionEnding = false;
bool g_displayLost = false;
// Set once a thread other than the user-interface thread heard that the display is gone.
std::atomic<bool> g_displayLossHeard{false};
// How long a thread other than the user-interface thread holds the process for the save.
constexpr int kSaveBeforeLossSeconds = 20;
QtMessageHandler g_previousMessageHandler = nullptr;
// The status of a run ended by the loss of its display, after its work was saved.
constexpr int kDisplayLostExitCode = 1;
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the loop picks the request up from the pipe.
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

// The toolkit reports a lost display ("The X11 connection broke", "The Wayland connection
// broke", or in later versions "The Wayland connection experienced a fatal error") and ends the
// process right after; the report is the last moment to save the session.
bool ReportsLostDisplay(const QString& message) {
    return message.contains(QLatin1String("connection broke")) ||
           message.contains(QLatin1String("Wayland connection experienced a fatal error"));
}

// Ends the run as a closed main window would, while no window may be touched: the close message
// stores what the main window keeps, shutdown writes the files, and the process ends.
[[noreturn]] void EndSessionWithoutDisplay() {
    g_displayLost = true;
    g_sessionEnding = true;
    afx_detail::ForgetSecretClipboard();
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_CLOSE);
    if (CWinApp* app = AfxGetApp())
        app->ExitInstance();
    std::fflush(nullptr);
    std::_Exit(kDisplayLostExitCode);
}

void OnToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (g_previousMessageHandler)
        g_previousMessageHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
    if (!ReportsLostDisplay(message) || !qApp)
        return;
    // The toolkit ends the whole process right after its report, on whichever thread made it.
    // The user-interface thread runs the shutdown there and then, unless it already is.
    if (QThread::currentThread() == qApp->thread()) {
        if (!g_displayLost)
            EndSessionWithoutDisplay();
        return;
    }
    // Another thread (the toolkit's Wayland event thread) asks the user-interface thread to, and
    // waits here for the end the shutdown brings.
    if (!g_displayLossHeard.exchange(true))
        QMetaObject::invokeMethod(
            qApp,
            [] {
                if (!g_displayLost)
                    EndSessionWithoutDisplay();
            },
            Qt::QueuedConnection);
    std::this_thread::sleep_for(std::chrono::seconds(kSaveBeforeLossSeconds));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLeakCheckedBuild = true;
#else
constexpr bool kLeakCheckedBuild = false;
#endif

// Once shutdown has run, the files are written and closed and every secret is wiped; what is left
// to the toolkit's and the statics' destructors only gives memory back, which the end of the
// process does at once. A leak-checked build takes the long way, so its check still runs.
void EndProcessAfterShutdown(int exitCode) {
    if (kLeakCheckedBuild)
        return;
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

// Says, in the program's own words, that there is no desktop to show it; false when there is.
bool ExplainMissingDisplay() {
    switch (afx_detail::ProbeDisplay()) {
    case afx_detail::DisplayState::Reachable:
        return false;
    case afx_detail::DisplayState::NoneNamed:
        std::fprintf(stderr, "Zelvo Password Manager needs a graphical desktop, but no display was found "
                             "(DISPLAY and WAYLAND_DISPLAY are not set).\n");
        return true;
    case afx_detail::DisplayState::Unreachable:
        std::fprintf(stderr,
                     "Zelvo Password Manager needs a graphical desktop, but none could be reached "
                     "(DISPLAY \"%s\", WAYLAND_DISPLAY \"%s\"): is the desktop session still running?\n",
                     qgetenv("DISPLAY").constData(), qgetenv("WAYLAND_DISPLAY").constData());
        return true;
    }
    return true;
}
} // namespace

namespace afx_detail {
bool SessionEnding() {
    return g_sessionEnding;
}
bool DisplayLost() {
    return g_displayLost;
}
} // namespace afx_detail

// Ends the run as if the user had closed the main window: every modal dialog is cancelled, then
// the main window gets its close message, so the normal shutdown saves what must be saved.
void AfxEndSession() {
    if (g_sessionEnding)
        return;
    g_sessionEnding = true;
    afx_detail::CloseSystemMessageBoxes();
    const auto modals = CDialog::RunningModals();
    for (auto it = modals.rbegin(); it != modals.rend(); ++it)
        (*it)->EndDialog(IDCANCEL);
    if (CWnd* main = AfxGetMainWnd())
        main->PostMessage(WM_CLOSE);
    else
        PostQuitMessage(0);
}

void AfxResetSessionEnd() {
    g_sessionEnding = false;
}

void afx_detail::ResetRunState() {
    g_quitPending = false;
    g_quitCode = 0;
    g_quitRequestsAnswered = g_quitRequests;
    g_sessionEnding = false;
    g_displayLost = false;
    g_displayLossHeard = false;
}

void AfxInstallSessionEndHandlers() {
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    if (pipe(g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, qApp, []() {
            char buffer[16];
            [[maybe_unused]] const ssize_t n = read(g_signalPipe[0], buffer, sizeof buffer);
            AfxEndSession();
        });
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &action, nullptr);
    }
    g_previousMessageHandler = qInstallMessageHandler(OnToolkitMessage);
    afx_detail::WatchWindowsDestroyedFromOutside();
    if (auto* gui = qobject_cast<QGuiApplication*>(qApp)) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, gui, [](QSessionManager&) { AfxEndSession(); });
    }
}

CWinApp::CWinApp(const char* appName) {
    if (appName)
        m_strAppName = appName;
    g_pTheApp = this;
}

CWinApp::~CWinApp() {
    if (g_pTheApp == this)
        g_pTheApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}
int CWinApp::ExitInstance() {
    return m_nExitCode;
}
HICON CWinApp::LoadIcon(UINT id) const {
    return AfxLoadIconResource(id);
}

const std::vector<CWinApp::CommandEntry>& CWinApp::GetMessageMap() const {
    static const std::vector<CommandEntry> none;
    return none;
}

BOOL CWinApp::OnCmdMsg(UINT id) {
    for (const CommandEntry& entry : GetMessageMap()) {
        if (entry.id == id) {
            (this->*entry.handler)();
            return TRUE;
        }
    }
    return FALSE;
}

void CWinApp::OnHelp() {
    const std::filesystem::path module(AfxGetModuleFileName());
    const std::string name = m_strAppName.empty() ? module.stem().string() : m_strAppName;
    ShellExecute(m_pMainWnd, "open", (module.parent_path() / (name + ".chm")).string(), "", "", SW_SHOW);
}

CWinApp* AfxGetApp() {
    return g_pTheApp;
}
CWnd* AfxGetMainWnd() {
    return g_pTheApp ? g_pTheApp->m_pMainWnd : nullptr;
}

int AfxRunMessageLoop() {
    if (g_quitPending) {
        g_quitPending = false;
        g_quitRequestsAnswered = g_quitRequests;
        return g_quitCode;
    }
    QEventLoop loop;
    g_pMainLoop = &loop;
    const int code = loop.exec();
    g_pMainLoop = nullptr;
    g_quitPending = false;
    g_quitRequestsAnswered = g_quitRequests;
    return code;
}

void PostQuitMessage(int exitCode) {
    g_quitCode = exitCode;
    g_quitPending = true;
    const unsigned request = ++g_quitRequests;
    QMetaObject::invokeMethod(
        qApp,
        [exitCode, request]() {
            if (g_pMainLoop && request > g_quitRequestsAnswered)
                g_pMainLoop->exit(exitCode);
        },
        Qt::QueuedConnection);
}

void AfxPumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// A crash must not write the passwords to a core file, and no other process of the same user may
// read or trace the program's memory (only a privileged one still can).
void AfxProtectProcessMemory() {
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
}

int AfxRunApplication(CWinApp& app) {
    AfxProtectProcessMemory();
    if (app.InitInstance()) {
        app.m_nExitCode = AfxRunMessageLoop();
    } else if (app.m_pMainWnd && app.m_pMainWnd->HasWindow()) {
        app.m_pMainWnd->DestroyWindow();
    }
    // Before the toolkit would hand the clipboard to a clipboard manager as the program ends.
    AfxClearSecretClipboard();
    return app.ExitInstance();
}

int AfxWinMain(int argc, char** argv) {
    if (ExplainMissingDisplay())
        return 1;
    QApplication::setQuitOnLastWindowClosed(false);
    // The program takes no command-line options, so the toolkit is given none to act on either
    // (-platform, -style, -geometry...): only the program's own name.
    int toolkitArgc = argc > 0 ? 1 : 0;
    QApplication qtApp(toolkitArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvo Password Manager"));
    QApplication::setDesktopFileName(QStringLiteral("zelvo-password-manager"));
    if (!AfxCommandLineCarriesModulePath()) {
        MessageBox(nullptr,
                   "The program cannot run from this folder: its path contains a double quote (\"). "
                   "Move the program to a folder whose path has none.",
                   "Zelvo Password Manager", MB_OK | MB_ICONERROR);
        return 1;
    }
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    AfxInstallSessionEndHandlers();
    const int exitCode = AfxRunApplication(*app);
    EndProcessAfterShutdown(exitCode);
    return exitCode;
}
