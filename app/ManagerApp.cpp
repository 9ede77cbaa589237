#include "ManagerApp.h"

#include "AccountBook.h"
#include "CommandLineTokens.h"
#include "Globals.h"
#include "Identity.h"
#include "resource.h"
#include "xmldom_files.h"
#include "ui/main/ManagerDlg.h"

#include <cstring>
#include <filesystem>
#include <new>
#include <unistd.h>

namespace {
constexpr const char* kConfigFileName = "Config.xml";
constexpr const char* kLogDirName = "FileLog";
constexpr const char* kSkinBitmap = "Skin/Zoduza/MainWindow.bmp";

// No window of the program exists yet, so start-up failures go to the system message box.
void ShowStartupError(const char* text) {
    MessageBox(nullptr, text, kAppTitle, MB_ICONERROR | MB_OK);
}

// The application's name: the executable's file name without its extension, unless one was given.
std::string ApplicationName(const CWinApp& app) {
    if (!app.m_strAppName.empty())
        return app.m_strAppName;
    return std::filesystem::path(AfxGetModuleFileName()).stem().string();
}

// Fills g_szAppDir with the current directory; leaves it empty when that does not fit.
void UseCurrentDirectory() {
    if (!::getcwd(g_szAppDir, MAX_PATH))
        g_szAppDir[0] = '\0';
}
} // namespace

const std::vector<CWinApp::CommandEntry>& CManagerApp::GetMessageMap() const {
    static const std::vector<CommandEntry> map = {{ID_HELP, &CWinApp::OnHelp}};
    return map;
}

BOOL CManagerApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    CoInitialize(nullptr);
    if (FAILED(CoCreateInstance(CLSID_FileLog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileLog,
                                reinterpret_cast<void**>(&g_pFileLog)))) {
        g_pFileLog = nullptr;
        ShowStartupError("Create COM components failed.");
        return FALSE;
    }
    InitAppDir();
    // Saves that a crash or a kill interrupted may have left temporary files behind.
    if (g_szAppDir[0] != '\0')
        RemoveLeftoverSaveFiles(g_szAppDir);
    if (!ReadConfig(kConfigFileName))
        ShowStartupError("Invalid config file.");
    if (!OpenLog() && g_pFileLog)
        WriteTrace(63, "CManagerApp::InitInstance");
    if (RegisterWndClass())
        LoadSkin();
    NewMainDlg();
    auto* mainDlg = dynamic_cast<CDialog*>(m_pMainWnd);
    if (!mainDlg || !mainDlg->Create(IDD_ZELVO_MANAGER_DIALOG, nullptr))
        return FALSE;
    // The main window shows itself from its own start-up timer.
    m_pMainWnd->ShowWindow(SW_HIDE);
    return TRUE;
}

int CManagerApp::ExitInstance() {
    WriteConfig(kConfigFileName);
    DestroyMainWnd();
    // The book has been saved if it had to be; nothing of it is needed any more.
    g_AccountBook.Clear();
    if (g_pFileLog) {
        g_pFileLog->Release();
        g_pFileLog = nullptr;
    }
    CoUninitialize();
    m_skin.UnloadSkin();
    return CWinApp::ExitInstance();
}

void CManagerApp::DestroyMainWnd() {
    if (!m_pMainWnd)
        return;
    if (m_pMainWnd->HasWindow()) {
        // The window deletes its object once it is gone.
        m_pMainWnd->DestroyWindow();
    } else {
        delete m_pMainWnd;
    }
    m_pMainWnd = nullptr;
}

// The directory is everything before the last separator of the executable's path. Without a
// separator (or a path at all) the current directory stands in; a directory too long for
// g_szAppDir leaves it empty, so every file operation that needs it fails instead of using a
// shortened path.
void CManagerApp::InitAppDir() {
    g_szAppDir[0] = '\0';
    const CCommandLineTokens tokens(GetCommandLine().c_str());
    const char* program = tokens.GetToken(0);
    const char* lastSeparator = program ? std::strrchr(program, '/') : nullptr;
    if (!lastSeparator) {
        UseCurrentDirectory();
        return;
    }
    // An executable in the root directory has "/" as its directory.
    const std::size_t length = lastSeparator == program ? 1 : std::size_t(lastSeparator - program);
    if (length >= MAX_PATH)
        return;
    std::memcpy(g_szAppDir, program, length);
    g_szAppDir[length] = '\0';
}

BYTE CManagerApp::OpenLog() {
    std::string logDir;
    std::string logFile;
    const std::string relativeLogFile = std::string(kLogDirName) + "/" + ApplicationName(*this) + ".txt";
    if (!g_pFileLog || !AppDirPath(kLogDirName, logDir) || !AppDirPath(relativeLogFile.c_str(), logFile))
        return 0;
    // Usually the directory exists already; the open below tells whether the log is usable.
    CreateDirectory(logDir);
    return g_pFileLog->Open(logFile.c_str());
}

bool CManagerApp::RegisterWndClass() {
    WNDCLASS wc{};
    GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc);
    wc.lpszClassName = kMainDlgClassName;
    return AfxRegisterClass(&wc) != FALSE;
}

bool CManagerApp::LoadSkin() {
    std::string bitmapPath;
    return AppDirPath(kSkinBitmap, bitmapPath) && m_skin.LoadSkin(bitmapPath);
}

void CManagerApp::NewMainDlg() {
    try {
        m_pMainWnd = new (std::nothrow) CManagerDlg(nullptr);
    } catch (...) {
        m_pMainWnd = nullptr;
        ShowStartupError("CManagerDlg::New_()");
    }
}
