// Account books of a given size, written once to a scratch folder for the benchmarks.
#pragma once

#include "AccountBook.h"

#include <cstddef>
#include <string>

namespace bench_store {

// A book of the given number of entries with texts of realistic lengths.
AccountBook MakeBook(std::size_t entries);

// The path of a saved book of the given size, written on first use into a scratch folder that is
// removed when the process ends. Empty when it could not be written.
std::string SavedBookPath(std::size_t entries);

// The path of a file of that name in the scratch folder; empty when there is no scratch folder.
std::string ScratchPath(const std::string& name);

} // namespace bench_store
