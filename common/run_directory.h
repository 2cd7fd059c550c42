#pragma once

#include <filesystem>

namespace yunque {

// The folder that holds the running program file, as programFile() finds it
// (the system's record of the program; on Linux without /proc the name the
// program was started by, so the first call must come before the program
// changes its current folder). Taken on the first call and fixed from then
// on; every call returns a fresh copy. Empty when the program cannot be
// found: an unknown folder is not the root folder, and nothing is kept
// there.
std::filesystem::path runDirectory();

} // namespace yunque
