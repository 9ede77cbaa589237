#include "FileDialogFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

std::string FileDialogFolder(const std::string& lastUsed) {
    std::error_code error;
    if (lastUsed.starts_with('/') && std::filesystem::is_directory(lastUsed, error))
        return lastUsed;
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir && *user->pw_dir == '/' ? std::string(user->pw_dir) : std::string();
}
