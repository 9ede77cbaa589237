// Runs the program on a large account book as a user would, under the X server named by DISPLAY
// (with a window manager, so that new windows take the keyboard focus), and prints medians:
//   load        the whole process loading the book, beside `xmllint --noout` on the same file
//   start-up    start to a mapped main window, beside a bare Qt dialog with the same controls
//   login       OK pressed in the Login dialog until "Login success." is shown
//   memory      peak and settled resident size once the rows are shown
//   exit        Exit pressed (after one Insert, so the book is saved) until the process is gone
// With --start-up first, only start-up is measured, the two programs taking turns.
// Keys are typed with xdotool. The saved book is checked with libxml2 itself.
#include "AccountFile.h"
#include "BookFiles.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kMainTitle[] = "Zelvo Password Manager";
constexpr char kLoginTitle[] = "Login Dialog";
constexpr char kMessageTitle[] = "Message Box";
constexpr char kAdmin[] = "benchmark";
constexpr char kAdminPassword[] = "administrator password";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

pid_t Start(const std::vector<std::string>& command, const std::string& folder = {}) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            std::_Exit(126);
        std::vector<char*> args;
        for (const std::string& arg : command)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        std::_Exit(127);
    }
    return child;
}

bool Finish(pid_t child) {
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double TimeProcess(const std::vector<std::string>& command) {
    const Clock::time_point start = Clock::now();
    if (!Finish(Start(command))) {
        std::fprintf(stderr, "failed: %s\n", command[0].c_str());
        std::exit(1);
    }
    return MillisecondsSince(start);
}

void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> command = {"xdotool", "key", "--clearmodifiers"};
    command.insert(command.end(), keys.begin(), keys.end());
    Finish(Start(command));
}

void Type(const std::string& text) {
    Finish(Start({"xdotool", "type", "--delay", "1", text}));
}

bool IsViewableWithTitle(Display* display, Window window, const char* title) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    char* name = nullptr;
    const bool match = XFetchName(display, window, &name) && name && std::strcmp(name, title) == 0;
    XFree(name);
    return match;
}

bool FindViewable(Display* display, Window window, const char* title) {
    if (IsViewableWithTitle(display, window, title))
        return true;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i)
        found = FindViewable(display, children[i], title);
    XFree(children);
    return found;
}

// Polls every millisecond; false after the timeout.
bool WaitForWindow(Display* display, const char* title, bool viewable = true, int timeoutMs = 30000) {
    const Clock::time_point start = Clock::now();
    while (MillisecondsSince(start) < timeoutMs) {
        if (FindViewable(display, DefaultRootWindow(display), title) == viewable)
            return true;
        Pause(1);
    }
    return false;
}

long StatusKiB(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field) + 1);
    return 0;
}

// Resident size once it stops changing: two samples 250 ms apart within 1%.
long SettledResidentKiB(pid_t pid) {
    long previous = StatusKiB(pid, "VmRSS");
    for (int i = 0; i < 40; ++i) {
        Pause(250);
        const long now = StatusKiB(pid, "VmRSS");
        if (std::labs(now - previous) * 100 <= previous)
            return now;
        previous = now;
    }
    return previous;
}

std::size_t ItemsInFile(const std::string& path) {
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    if (!doc)
        return 0;
    std::size_t items = 0;
    for (xmlNodePtr section = xmlDocGetRootElement(doc)->children; section; section = section->next)
        for (xmlNodePtr item = section->children; item; item = item->next)
            items += item->type == XML_ELEMENT_NODE && std::strcmp((const char*)item->name, "Item") == 0;
    xmlFreeDoc(doc);
    return items;
}

struct GuiRun {
    double startup = 0, floor = 0, login = 0, exit = 0;
    long peakKiB = 0, settledKiB = 0;
    bool saved = false;
};

bool Fail(const char* what) {
    std::fprintf(stderr, "gui run: %s\n", what);
    return false;
}

double TimeToWindow(Display* display, pid_t child, Clock::time_point start) {
    return child > 0 && WaitForWindow(display, kMainTitle) ? MillisecondsSince(start) : -1;
}

bool RunProgram(Display* display, const std::string& folder, std::size_t entries, GuiRun& run) {
    Clock::time_point start = Clock::now();
    const pid_t floorPid = Start({ZELVO_BARE_DIALOG});
    run.floor = TimeToWindow(display, floorPid, start);
    ::kill(floorPid, SIGTERM);
    ::waitpid(floorPid, nullptr, 0);
    if (run.floor < 0 || !WaitForWindow(display, kMainTitle, false))
        return Fail("the bare dialog did not show");

    start = Clock::now();
    const pid_t program = Start({folder + "/Manager"}, folder);
    run.startup = TimeToWindow(display, program, start);
    if (run.startup < 0)
        return Fail("the main window did not show");
    Pause(300);
    Keys({"alt+l"});
    if (!WaitForWindow(display, kLoginTitle))
        return Fail("no Login dialog");
    Pause(300);
    Type(kAdmin);
    Keys({"Tab"});
    Type(kAdminPassword);
    Pause(200);
    start = Clock::now();
    Keys({"Return"});
    if (!WaitForWindow(display, kMessageTitle))
        return Fail("no login message");
    run.login = MillisecondsSince(start);
    Pause(300);
    Keys({"Return"});
    if (!WaitForWindow(display, kMessageTitle, false))
        return Fail("the message stayed");
    run.settledKiB = SettledResidentKiB(program);
    run.peakKiB = StatusKiB(program, "VmHWM");
    Type("zz-bench-entry");
    Keys({"Tab"});
    Type("pw");
    Keys({"Return"});
    Pause(500);
    start = Clock::now();
    Keys({"alt+x"});
    run.exit = Finish(program) ? MillisecondsSince(start) : -1;
    run.saved = ItemsInFile(folder + "/" + kAdmin + ".xml") == entries + 1;
    return run.exit >= 0 && run.saved ? true : Fail("exit or save failed");
}

// Start-up alone, the bare dialog and the program taking turns, so both meet the same load.
int CompareStartUps(Display* display, const std::string& folder, int runs) {
    std::vector<double> floor, program;
    for (int i = 0; i < runs; ++i) {
        for (const bool bare : {true, false}) {
            const Clock::time_point start = Clock::now();
            const pid_t child = bare ? Start({ZELVO_BARE_DIALOG}) : Start({folder + "/Manager"}, folder);
            const double time = TimeToWindow(display, child, start);
            ::kill(child, SIGTERM);
            ::waitpid(child, nullptr, 0);
            if (time < 0 || !WaitForWindow(display, kMainTitle, false))
                return std::fprintf(stderr, "a start-up failed\n"), 1;
            (bare ? floor : program).push_back(time);
        }
    }
    std::printf("start-up to main window %8.1f ms   bare dialog     %8.1f ms   ratio %.2f   (%d starts each)\n",
                Median(program), Median(floor), Median(program) / Median(floor), runs);
    return 0;
}

// Windows come and go while the tree is walked; a vanished one is simply not the one sought.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

int LoadOnly(const char* path) {
    AccountBook book;
    return LoadAccountBook(book, path, CBase64()) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0)
        return LoadOnly(argv[2]);
    const bool startUpOnly = argc > 1 && std::strcmp(argv[1], "--start-up") == 0;
    if (startUpOnly) {
        --argc;
        ++argv;
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;

    const std::string folder = fs::temp_directory_path() / ("zelvo-large-book-" + std::to_string(::getpid()));
    fs::copy(ZELVO_PROGRAM_DIR, folder, fs::copy_options::recursive);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> removeFolder(&folder,
                                                                                        [](const std::string* f) {
                                                                                            std::error_code ignored;
                                                                                            fs::remove_all(*f, ignored);
                                                                                        });
    if (startUpOnly) {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return std::fprintf(stderr, "no X display (set DISPLAY)\n"), 1;
        XSetErrorHandler(IgnoreXError);
        const int status = CompareStartUps(display, folder, runs);
        XCloseDisplay(display);
        return status;
    }
    const std::string book = folder + "/" + kAdmin + ".xml", pristine = folder + "/pristine.xml";
    AccountBook generated = bench_store::MakeBook(entries);
    if (!SaveAccountBook(generated, pristine, CBase64()))
        return std::fprintf(stderr, "could not write the book\n"), 1;

    std::vector<double> load, xmllint;
    for (int i = 0; i < runs; ++i) {
        xmllint.push_back(TimeProcess({"xmllint", "--noout", "--huge", pristine}));
        load.push_back(TimeProcess({"/proc/self/exe", "--load", pristine}));
    }
    std::printf("load, whole process     %8.1f ms   xmllint --noout %8.1f ms   ratio %.2f\n", Median(load),
                Median(xmllint), Median(load) / Median(xmllint));

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::fprintf(stderr, "no X display (set DISPLAY)\n"), 1;
    XSetErrorHandler(IgnoreXError);
    std::vector<GuiRun> gui;
    for (int i = 0; i < runs; ++i) {
        fs::copy_file(pristine, book, fs::copy_options::overwrite_existing);
        GuiRun run;
        if (RunProgram(display, folder, entries, run))
            gui.push_back(run);
    }
    auto median = [&gui](auto field) {
        std::vector<double> values;
        for (const GuiRun& run : gui)
            values.push_back(double(field(run)));
        return Median(values);
    };
    const double startup = median([](const GuiRun& r) { return r.startup; });
    const double floor = median([](const GuiRun& r) { return r.floor; });
    std::printf("start-up to main window %8.1f ms   bare dialog     %8.1f ms   ratio %.2f\n", startup, floor,
                startup / floor);
    std::printf("login OK -> message     %8.1f ms\n", median([](const GuiRun& r) { return r.login; }));
    std::printf("resident, rows shown    peak %.1f MiB   settled %.1f MiB\n",
                median([](const GuiRun& r) { return r.peakKiB; }) / 1024,
                median([](const GuiRun& r) { return r.settledKiB; }) / 1024);
    std::printf("exit -> process gone    %8.1f ms   (saved book checked: %zu of %d runs)\n",
                median([](const GuiRun& r) { return r.exit; }), gui.size(), runs);
    XCloseDisplay(display);
    return gui.size() == std::size_t(runs) ? 0 : 1;
}
