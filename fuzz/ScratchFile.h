// The one scratch file of a fuzz run, in memory-backed storage where there is some; each input is
// written to it whole before the reader under test opens it.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

class ScratchFile {
public:
    explicit ScratchFile(const std::string& name)
        : m_path(std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zelvo-fuzz-" +
                 std::to_string(::getpid()) + "-" + name) {}
    ~ScratchFile() { std::remove(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return m_path; }
    void Write(const std::uint8_t* data, std::size_t size) const {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

private:
    std::string m_path;
};
