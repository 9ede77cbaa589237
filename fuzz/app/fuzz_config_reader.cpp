// Any file content is read or refused without harm, and a file above the size cap is always
// refused without touching the widths.
#include "ConfigFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The scratch file of this run, in memory-backed storage where there is some.
struct ScratchFile {
    std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zelvo-fuzz-" +
                       std::to_string(::getpid()) + "-Config.xml";
    ~ScratchFile() { std::remove(path.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file;
    {
        std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    constexpr int kUntouched = 150;
    int col0 = kUntouched;
    int col1 = kUntouched;
    const bool read = ReadConfigFile(file.path, col0, col1);
    if (size > kMaxConfigBytes && (read || col0 != kUntouched || col1 != kUntouched)) {
        std::abort();
    }
    return 0;
}
