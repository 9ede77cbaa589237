// Any file content is read or refused without harm, and a file above the size cap is always
// refused without touching the widths.
#include "ConfigFile.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("Config.xml");
    file.Write(data, size);
    constexpr int kUntouched = 150;
    int col0 = kUntouched;
    int col1 = kUntouched;
    const bool read = ReadConfigFile(file.Path(), col0, col1);
    if (size > kMaxConfigBytes && (read || col0 != kUntouched || col1 != kUntouched)) {
        std::abort();
    }
    return 0;
}
