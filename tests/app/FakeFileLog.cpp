// A stand-in for the log component that records every call, so tests can see what the program
// asked of it. Open really tries to open the file, so the tests control its answer through the
// file system.
#include "FileLogItf.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::vector<std::string> g_opened;
std::vector<std::string> g_written;
int g_liveObjects = 0;

class FakeLog final : public CComObjectRoot<IFileLog, IID_IFileLog> {
public:
    FakeLog() { ++g_liveObjects; }
    BYTE Open(const char* path) override {
        g_opened.emplace_back(path);
        const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
        if (fd < 0)
            return 0;
        ::close(fd);
        return 1;
    }
    HRESULT Write(const char* line) override {
        g_written.emplace_back(line);
        return S_OK;
    }

private:
    ~FakeLog() { --g_liveObjects; }
};
} // namespace

FAKE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    if (!(clsid == CLSID_FileLog))
        return CLASS_E_CLASSNOTAVAILABLE;
    return CComCreateObject<FakeLog>(iid, object);
}

// What the program asked of the stand-in, and how many of its objects are still alive.
FAKE_EXPORT int FakeLogOpenCount() {
    return int(g_opened.size());
}
FAKE_EXPORT const char* FakeLogOpened(int i) {
    return g_opened.at(std::size_t(i)).c_str();
}
FAKE_EXPORT int FakeLogWriteCount() {
    return int(g_written.size());
}
FAKE_EXPORT const char* FakeLogWritten(int i) {
    return g_written.at(std::size_t(i)).c_str();
}
FAKE_EXPORT int FakeLogLiveObjects() {
    return g_liveObjects;
}
