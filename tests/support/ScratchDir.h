// A fresh, empty folder under the system's temporary folder for one test, removed with everything
// in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Creates a new folder whose name starts with the prefix; empty when it could not be created.
inline std::string NewScratchDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "zelvo-test") : m_path(NewScratchDir(prefix)) {}
    ~ScratchDir() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

private:
    std::string m_path;
};
