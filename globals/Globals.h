// Process-wide state shared across the program: the program directory, the list's column widths,
// the diagnostic log component, and the helpers that build paths and write trace lines.
#pragma once

#include "FileLogItf.h"

#include <cstddef>
#include <string>

// Longest path this build handles, terminating NUL included. Linux paths run far longer than the
// 256 characters the program's original platform allowed, so the limit is the usual PATH_MAX.
constexpr std::size_t MAX_PATH = 4096;

// The program directory, without a trailing separator; empty until start-up has worked it out.
extern char g_szAppDir[MAX_PATH];
// Width in pixels of list column 0 ("ID(Account)").
extern int g_nCol0Width;
// Width in pixels of list column 1 ("Password").
extern int g_nCol1Width;
// The diagnostic log component; null when it is absent or released.
extern IFileLog* g_pFileLog;

// Writes one trace line "Line:<line>,Fun:<function>" through the log component, if there is one.
void WriteTrace(int line, const char* function);

// Joins the program directory and a file or folder name below it. False, leaving out untouched,
// when the program directory is unknown, the name is null or empty, or the result would not fit
// in MAX_PATH (a path is never cut).
bool AppDirPath(const char* name, std::string& out);
