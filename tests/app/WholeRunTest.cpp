// Whole runs of the application object against a temporary program directory: start-up, the
// hidden main window showing itself, shutdown, and the files and calls they leave behind.
#include "AppTestSupport.h"

#include "ManagerDlg.h"
#include "resource.h"
#include "xmldom.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <ostream>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        AfxPumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The two widths of a configuration file, read with libxml2 directly; {-1, -1} when unreadable.
std::pair<int, int> WidthsInFile(const std::string& path) {
    std::pair<int, int> widths{-1, -1};
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
    if (!doc)
        return widths;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    xmlNodePtr layout = root ? xmlFirstElementChild(root) : nullptr;
    for (xmlNodePtr width = layout ? xmlFirstElementChild(layout) : nullptr; width;
         width = xmlNextElementSibling(width)) {
        xmlChar* text = xmlNodeGetContent(width);
        const int value = std::stoi(reinterpret_cast<char*>(text));
        xmlFree(text);
        if (xmlStrEqual(width->name, BAD_CAST "Col0Width"))
            widths.first = value;
        else if (xmlStrEqual(width->name, BAD_CAST "Col1Width"))
            widths.second = value;
    }
    xmlFreeDoc(doc);
    return widths;
}

bool HasSkinBackground(const QWidget* window) {
    return window && window->autoFillBackground() && !window->palette().brush(QPalette::Window).texture().isNull();
}

enum Piece : unsigned { kLog = 1, kFakeLog = 2, kSkin = 4 };

class WholeRun : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        afx_test::ResetAll();
        afx_test::FailClassRegistration(false);
        afx_test::UnregisterClass(kMainDlgClassName);
        AfxResetSessionEnd();
        afx_test::SetMessageBoxHook([this](const std::string& text, const std::string& caption, UINT type) {
            m_messages.push_back(text);
            EXPECT_EQ(caption, "Zelvo Password Manager");
            EXPECT_EQ(type, UINT(MB_ICONERROR | MB_OK));
            return IDOK;
        });
        const std::string program = m_dir / "Manager";
        afx_test::SetModuleFileName(program);
        afx_test::SetCommandLine("\"" + program + "\" --unused argument");
    }

    void TearDown() override {
        afx_test::ResetAll();
        afx_test::FailClassRegistration(false);
        AfxResetSessionEnd();
        for (void* library : m_libraries)
            dlclose(library);
        ResetGlobals();
    }

    // Copies the chosen components (and the skin bitmap with the skin) into the program directory.
    void Install(unsigned pieces) {
        if (pieces & kLog)
            fs::copy_file(ZELVO_FILELOG_LIB, m_dir / "FileLog.so");
        if (pieces & kFakeLog)
            fs::copy_file(ZELVO_FAKE_FILELOG_LIB, m_dir / "FakeFileLog.so");
        if (pieces & kSkin) {
            fs::copy_file(ZELVO_SKIN_LIB, m_dir / "Skin.so");
            fs::create_directories(m_dir / "Skin/Zoduza");
            fs::copy_file(ZELVO_SKIN_BITMAP, m_dir / "Skin/Zoduza/MainWindow.bmp");
        }
    }

    // A function of a library in the program directory, loaded as the program loads it.
    template <class Fn> Fn Export(const char* library, const char* name) {
        void* handle = dlopen((m_dir / library).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return nullptr;
        m_libraries.push_back(handle);
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }

    TempDir m_dir;
    TestableApp m_app;
    std::vector<std::string> m_messages;
    std::vector<void*> m_libraries;
};

TEST_F(WholeRun, StartsHiddenShowsItselfAndWritesConfigAndLogAtExit) {
    Install(kLog | kSkin);
    auto unloads = Export<int (*)()>("Skin.so", "ZelvoSkinUnloadCount");
    ASSERT_NE(unloads, nullptr);

    ASSERT_TRUE(m_app.InitInstance());
    EXPECT_EQ(m_messages, std::vector<std::string>{"Invalid config file."});
    EXPECT_EQ(std::string(g_szAppDir), m_dir.Path());
    EXPECT_NE(g_pFileLog, nullptr);
    CWnd* main = m_app.m_pMainWnd;
    ASSERT_NE(dynamic_cast<CManagerDlg*>(main), nullptr);
    EXPECT_TRUE(main->HasWindow());
    EXPECT_FALSE(main->IsWindowVisible());
    ASSERT_TRUE(WaitUntil([main] { return main->IsWindowVisible(); }));
    EXPECT_TRUE(HasSkinBackground(main->GetSafeHwnd()));
    EXPECT_EQ(unloads(), 0);

    EXPECT_EQ(m_app.ExitInstance(), 0);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(g_pFileLog, nullptr);
    EXPECT_EQ(WidthsInFile(m_dir / "Config.xml"), std::make_pair(150, 150));
    EXPECT_TRUE(fs::is_regular_file(m_dir / "FileLog/Manager.txt"));
    EXPECT_EQ(unloads(), 1);
    EXPECT_EQ(m_messages.size(), 1u);
}

TEST_F(WholeRun, ReadsTheConfigurationOfTheProgramDirectory) {
    Install(kLog);
    std::ofstream(m_dir / "Config.xml") << "<Config App=\"Zelvo Password Manager\"><Layout><Col0Width>210</Col0Width>"
                                           "<Col1Width>95</Col1Width></Layout></Config>";
    ASSERT_NE(fs::current_path().string(), m_dir.Path());
    ASSERT_TRUE(m_app.InitInstance());
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(g_nCol0Width, 210);
    EXPECT_EQ(g_nCol1Width, 95);
    m_app.ExitInstance();
    EXPECT_EQ(WidthsInFile(m_dir / "Config.xml"), std::make_pair(210, 95));
}

// Whether the user copied something of their own after the program's guarded copy, before the end.
class WholeRunClosed : public WholeRun, public testing::WithParamInterface<bool> {};

TEST_P(WholeRunClosed, ClosingTheMainWindowEndsTheRunTakingOnlyTheProgramsOwnCopyOffTheClipboard) {
    const bool userCopiedLater = GetParam();
    Install(kLog | kSkin);
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [this, &closer, userCopiedLater] {
        if (m_app.m_pMainWnd && m_app.m_pMainWnd->IsWindowVisible()) {
            closer.stop();
            AfxCopySecretToClipboard("secret");
            if (userCopiedLater)
                QGuiApplication::clipboard()->setText("mine");
            m_app.m_pMainWnd->PostMessage(WM_CLOSE);
        }
    });
    closer.start();
    QObject scope;                                              // the safety net goes with this test
    QTimer::singleShot(10000, &scope, [] { AfxEndSession(); }); // never hang, whatever happens
    EXPECT_EQ(AfxRunApplication(m_app), 0);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), userCopiedLater ? QString("mine") : QString())
        << "only the program's own copy goes with the run";
    EXPECT_EQ(WidthsInFile(m_dir / "Config.xml"), std::make_pair(g_nCol0Width, g_nCol1Width));
}

INSTANTIATE_TEST_SUITE_P(Clipboard, WholeRunClosed, testing::Bool(),
                         [](const auto& info) { return info.param ? "UserCopiedLater" : "StillTheProgramsCopy"; });

TEST_F(WholeRun, MissingLogComponentEndsStartUpButShutdownStillUnloadsTheSkin) {
    Install(kSkin);
    auto unloads = Export<int (*)()>("Skin.so", "ZelvoSkinUnloadCount");
    ASSERT_NE(unloads, nullptr);
    EXPECT_EQ(AfxRunApplication(m_app), 0);
    EXPECT_EQ(m_messages, std::vector<std::string>{"Create COM components failed."});
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(g_pFileLog, nullptr);
    EXPECT_STREQ(g_szAppDir, "");
    EXPECT_FALSE(fs::exists(m_dir / "Config.xml"));
    EXPECT_FALSE(fs::exists(m_dir / "FileLog"));
    EXPECT_EQ(unloads(), 1);
}

TEST_F(WholeRun, ProcessIsUndumpableWithoutCoreFilesFromTheStartOfStartUp) {
    int dumpableDuringStartUp = -1;
    afx_test::SetMessageBoxHook([&](const std::string&, const std::string&, UINT) {
        dumpableDuringStartUp = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
        return IDOK;
    });
    EXPECT_EQ(AfxRunApplication(m_app), 0); // no log component: start-up stops at its message
    EXPECT_EQ(dumpableDuringStartUp, 0);
    rlimit core{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
    EXPECT_EQ(core.rlim_max, 0u);
}

// The first column's width after the user widened it in the session.
constexpr int kWidenedColumn = 123;
constexpr char kSharedFolderVariable[] = "ZELVO_TEST_ENDED_RUN_FOLDER";

// Runs that end the whole process. Each runs in a fresh copy of the test binary: a forked one
// would inherit the toolkit's painting threads dead and hang on them. The copy runs in the
// folder of the test that started it, named in the environment it inherits.
class WholeRunEndedFromOutside : public WholeRun {
protected:
    void SetUp() override {
        WholeRun::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ::setenv(kSharedFolderVariable, m_dir.Path().c_str(), 0);
        m_shared = std::getenv(kSharedFolderVariable);
        Install(kLog);
    }
    void TearDown() override {
        ::unsetenv(kSharedFolderVariable);
        GTEST_FLAG_SET(death_test_style, "fast");
        WholeRun::TearDown();
    }

    // Runs the program until the run ends by itself, ending the process with the run's exit code.
    // Once the main window shows, its first column is widened and then ending is called for from
    // outside the program.
    [[noreturn]] void RunEndedFromOutside(const std::function<void()>& callForEnd) {
        const std::string program = m_shared / "Manager";
        afx_test::SetModuleFileName(program);
        afx_test::SetCommandLine("\"" + program + "\"");
        if (m_shared != m_dir.Path())
            fs::remove_all(m_dir.Path()); // the copy's own folder, never used
        AfxInstallSessionEndHandlers();
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            CWnd* main = m_app.m_pMainWnd;
            if (!main || !main->IsWindowVisible())
                return;
            watch.stop();
            static_cast<CListCtrl*>(main->GetDlgItem(IDC_LIST_ACCOUNTS))->SetColumnWidth(0, kWidenedColumn);
            callForEnd();
        });
        watch.start();
        QTimer::singleShot(10000, [] { PostQuitMessage(2); }); // never hang; this end skips the close
        const int exitCode = AfxRunApplication(m_app);
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }

    int WidenedWidthSaved() {
        const int width = WidthsInFile(m_shared / "Config.xml").first;
        fs::remove(m_shared / "Config.xml");
        return width;
    }

    fs::path m_shared;
};

TEST_F(WholeRunEndedFromOutside, TerminationSignalsEndTheRunAsTheCloseBoxDoes) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        EXPECT_EXIT(RunEndedFromOutside([signal] { ::raise(signal); }), testing::ExitedWithCode(0), "");
        EXPECT_EQ(WidenedWidthSaved(), kWidenedColumn);
    }
}

// The toolkit's last words before it ends a process whose display went away, on either desktop.
TEST_F(WholeRunEndedFromOutside, ALostDisplayEndsTheRunAsTheCloseBoxDoes) {
    for (const char* report : {"The X11 connection broke (error 1). Did the X11 server die?",
                               "The Wayland connection broke. Did the Wayland compositor die?",
                               "The Wayland connection experienced a fatal error: Broken pipe"}) {
        SCOPED_TRACE(report);
        EXPECT_EXIT(RunEndedFromOutside([report] { qWarning("%s", report); }), testing::ExitedWithCode(1),
                    "Wayland connection|X11 connection");
        EXPECT_EQ(WidenedWidthSaved(), kWidenedColumn);
    }
}

// Only files older than the run count as leftovers; this one is dated before it by moving the start.
TEST_F(WholeRun, StartUpRemovesLeftoversOfInterruptedSaves) {
    Install(kLog);
    const fs::path leftover = m_dir / ".xmldom-save-Ab12Cd";
    std::ofstream(leftover) << "<alice/>";
    timespec later{};
    ::clock_gettime(CLOCK_REALTIME, &later);
    later.tv_sec += 1;
    xmldom_test::MoveRunStart(&later);
    const bool started = m_app.InitInstance();
    xmldom_test::MoveRunStart(nullptr);
    ASSERT_TRUE(started);
    EXPECT_FALSE(fs::exists(leftover));
    m_app.ExitInstance();
}

class WholeRunConfigSize : public WholeRun, public testing::WithParamInterface<std::size_t> {};

TEST_P(WholeRunConfigSize, ConfigurationAbove64KiBIsInvalid) {
    Install(kLog);
    std::string config = "<Config App=\"Zelvo Password Manager\"><Layout><Col0Width>220</Col0Width></Layout></Config>";
    config.append(GetParam() - config.size(), '\n');
    std::ofstream(m_dir / "Config.xml", std::ios::binary) << config;
    const bool fits = GetParam() <= 64 * 1024;
    ASSERT_TRUE(m_app.InitInstance());
    EXPECT_EQ(m_messages, fits ? std::vector<std::string>{} : std::vector<std::string>{"Invalid config file."});
    EXPECT_EQ(g_nCol0Width, fits ? 220 : 150);
    m_app.ExitInstance();
}

INSTANTIATE_TEST_SUITE_P(Sizes, WholeRunConfigSize, testing::Values(64 * 1024, 64 * 1024 + 1));

TEST_F(WholeRun, MissingSkinLibraryRunsUnskinned) {
    Install(kLog);
    ASSERT_TRUE(m_app.InitInstance());
    CWnd* main = m_app.m_pMainWnd;
    ASSERT_TRUE(WaitUntil([main] { return main->IsWindowVisible(); }));
    EXPECT_FALSE(HasSkinBackground(main->GetSafeHwnd()));
    EXPECT_EQ(m_app.ExitInstance(), 0);
    EXPECT_TRUE(fs::exists(m_dir / "Config.xml"));
}

struct LogOpenCase {
    const char* name;
    bool logFolderIsAFile;
    std::vector<std::string> traces;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LogOpenCase& c, std::ostream* os) {
    *os << c.name;
}

class WholeRunLogOpen : public WholeRun, public testing::WithParamInterface<LogOpenCase> {};

TEST_P(WholeRunLogOpen, TracesOnlyAFailedOpen) {
    const LogOpenCase& c = GetParam();
    Install(kFakeLog);
    if (c.logFolderIsAFile)
        std::ofstream(m_dir / "FileLog") << "in the way";
    else
        fs::create_directory(m_dir / "FileLog");
    auto openCount = Export<int (*)()>("FakeFileLog.so", "FakeLogOpenCount");
    auto opened = Export<const char* (*)(int)>("FakeFileLog.so", "FakeLogOpened");
    auto writeCount = Export<int (*)()>("FakeFileLog.so", "FakeLogWriteCount");
    auto written = Export<const char* (*)(int)>("FakeFileLog.so", "FakeLogWritten");
    auto live = Export<int (*)()>("FakeFileLog.so", "FakeLogLiveObjects");
    ASSERT_TRUE(openCount && opened && writeCount && written && live);

    ASSERT_TRUE(m_app.InitInstance());
    ASSERT_EQ(openCount(), 1);
    EXPECT_EQ(std::string(opened(0)), m_dir / "FileLog/Manager.txt");
    std::vector<std::string> traces;
    for (int i = 0; i < writeCount(); ++i)
        traces.emplace_back(written(i));
    EXPECT_EQ(traces, c.traces);
    EXPECT_EQ(live(), 1);
    m_app.ExitInstance();
    EXPECT_EQ(live(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeRunLogOpen,
    testing::Values(LogOpenCase{"LogFolderBlockedByAFile", true, {"Line:63,Fun:CManagerApp::InitInstance"}},
                    LogOpenCase{"LogFolderAlreadyThere", false, {}}),
    [](const testing::TestParamInfo<LogOpenCase>& info) { return std::string(info.param.name); });

TEST_F(WholeRun, UnregisteredWindowClassMeansNoSkinAndNoMainWindow) {
    Install(kLog | kSkin);
    auto unloads = Export<int (*)()>("Skin.so", "ZelvoSkinUnloadCount");
    ASSERT_NE(unloads, nullptr);
    QWidget probe;
    probe.setProperty("zelvoWindowClass", kMainDlgClassName);
    probe.show();
    afx_test::FailClassRegistration(true);

    EXPECT_FALSE(m_app.InitInstance());
    EXPECT_FALSE(AfxIsClassRegistered(kMainDlgClassName));
    EXPECT_FALSE(HasSkinBackground(&probe));
    ASSERT_NE(m_app.m_pMainWnd, nullptr);
    EXPECT_FALSE(m_app.m_pMainWnd->HasWindow());

    EXPECT_EQ(m_app.ExitInstance(), 0);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(unloads(), 1);
    EXPECT_TRUE(fs::exists(m_dir / "Config.xml"));
}

} // namespace

TEST_F(WholeRun, F1AnywhereOpensTheHelpFileOfTheProgramDirectory) {
    Install(kLog);
    std::vector<std::string> opened;
    afx_test::SetShellHook([&opened](const std::string& verb, const std::string& file) {
        EXPECT_EQ(verb, "open");
        opened.push_back(file);
        return INT_PTR(42);
    });
    ASSERT_TRUE(m_app.InitInstance());
    CWnd* main = m_app.m_pMainWnd;
    ASSERT_TRUE(WaitUntil([main] { return main->IsWindowVisible(); }));
    MSG f1{WM_KEYDOWN, VK_F1, 0};
    EXPECT_TRUE(main->PreTranslateMessage(&f1));
    EXPECT_EQ(opened, std::vector<std::string>{m_dir / "Manager.chm"});
    m_app.ExitInstance();
}
