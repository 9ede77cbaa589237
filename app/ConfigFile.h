// Reading the configuration file, free of any window: the widths of the entry list's first two
// columns, from a file that must be the program's own.
#pragma once

#include <cstddef>
#include <string>

// The file holds two numbers; anything larger is not a configuration, and reading it would only
// cost time and memory at start-up.
inline constexpr std::size_t kMaxConfigBytes = 64 * 1024;

// Loads the file at path and, when it is the program's own, sets each width it holds; the last of
// each name wins and a width it does not hold keeps its value. False for a missing, unreadable,
// malformed, foreign or larger than kMaxConfigBytes file, or any error of the XML component; widths
// already set by then keep their new values.
bool ReadConfigFile(const std::string& path, int& col0Width, int& col1Width);

// Whether the configuration at path may be replaced by the program's own after a read that failed
// (an invalid file, or none). A regular file or none in the program folder is; a symbolic link
// leads to a file of the user's choosing, which is left as it is when it could not be read as a
// configuration (another file, a missing one, one the program may not read).
bool ReplaceableAfterFailedRead(const std::string& path);
