#pragma once

#include <string>
#include <string_view>

namespace yunque {

// The folder that holds the running program file, without a trailing
// separator; a program in "/" gives the empty string, so appending
// "/name" always yields exactly one separator. Taken from the kernel's
// record of the executable (not argv, not the current directory) on the
// first call and fixed from then on; every call returns a fresh copy.
std::string runDirectory();

// The part of an absolute path before its last '/'.
std::string directoryOf(std::string_view path);

} // namespace yunque
