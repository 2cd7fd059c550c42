#pragma once

#include <filesystem>

namespace yunque {

// The folder that holds the running program file. Taken from the system's
// record of the program (not the command line, not the current directory) on
// the first call and fixed from then on; every call returns a fresh copy.
// Empty when the system does not tell where the program is: an unknown
// folder is not the root folder, and nothing is kept there.
std::filesystem::path runDirectory();

} // namespace yunque
