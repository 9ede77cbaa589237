#include "Globals.h"

#include <cstdio>
#include <cstring>

char g_szAppDir[MAX_PATH] = {};
int g_nCol0Width = 150;
int g_nCol1Width = 150;
IFileLog* g_pFileLog = nullptr;

void WriteTrace(int line, const char* function) {
    if (!g_pFileLog)
        return;
    char buffer[128] = {};
    // snprintf stops at the buffer's end, so a long function name is shortened, never overrun.
    std::snprintf(buffer, sizeof buffer, "Line:%d,Fun:%s", line, function ? function : "");
    g_pFileLog->Write(buffer);
}

bool AppDirPath(const char* name, std::string& out) {
    const std::size_t dirLength = ::strnlen(g_szAppDir, MAX_PATH);
    if (dirLength == 0 || dirLength == MAX_PATH || !name || !*name)
        return false;
    std::string path(g_szAppDir, dirLength);
    // The root directory already ends with the separator.
    if (path.back() != '/')
        path += '/';
    path += name;
    if (path.size() >= MAX_PATH)
        return false;
    out = std::move(path);
    return true;
}
