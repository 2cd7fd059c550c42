#pragma once

#include "keywords/text_box.h"

#include <filesystem>
#include <string_view>

namespace yunque {

// The keyword file's name, in UTF-8.
inline constexpr std::string_view keywordFileName = "评论关键词.txt";

// The keyword file in folder (the program's folder, runDirectory(), for the
// program; the shell's window is given it). An empty folder (the program's
// folder is unknown) gives an empty path: there is no keyword file then.
std::filesystem::path keywordFilePath(const std::filesystem::path &folder);

// Fills the box from the keyword file in folder: the file's bytes up to the first NUL,
// or the empty text when it cannot be read. An in-place write of the file
// that a kill cut short is undone first (recoverInterruptedWrite). The box
// raises text-changed during setText, and the saveKeywordFile bound to it
// then only creates the file, empty, when it was missing: a file that exists
// is left exactly as it is (same inode, same time stamps).
//
// A load that did not show the file's exact bytes (cut at a NUL, unreadable,
// 2 GiB or more, locked by a writer, bytes the box could not hold unchanged)
// is remembered: before the first save replaces that file, its bytes are
// copied beside it to "评论关键词 (原文件 <date> <time>).txt" (never over an
// existing file). A file that cannot be copied (unreadable, in use) is then
// left alone by that save and the next ones, until a copy can be made.
// With an empty folder the box starts empty and nothing is read or written.
void loadKeywordFile(TextBox &box, const std::filesystem::path &folder);

// Writes the box's whole text to the keyword file in folder. Failures are
// silent.
void saveKeywordFile(TextBox &box, const std::filesystem::path &folder);

} // namespace yunque
