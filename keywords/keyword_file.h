#pragma once

#include "keywords/text_box.h"

#include <filesystem>
#include <string_view>

namespace yunque {

// The keyword file's name, in UTF-8.
inline constexpr std::string_view keywordFileName = "评论关键词.txt";

// The keyword file in folder. An empty folder (the program's folder is
// unknown) gives an empty path: there is no keyword file then.
std::filesystem::path keywordFilePath(const std::filesystem::path &folder);

// The keyword file beside the program, built anew on every call.
std::filesystem::path keywordFilePath();

// Fills the box from the keyword file: the file's bytes up to the first NUL,
// or the empty text when it cannot be read. The box raises text-changed
// during setText, and the saveKeywordFile bound to it then writes the text
// back, but only when that gives back exactly the bytes the file held (or the
// file was missing, which creates it empty): a file that was cut at a NUL,
// could not be read, or whose bytes the box could not hold unchanged is left
// as it is.
void loadKeywordFile(TextBox &box);

// Writes the box's whole text to the keyword file. Failures are silent.
void saveKeywordFile(TextBox &box);

// The same two, for the keyword file in another folder. With an empty
// folder the box starts empty and nothing is read or written.
void loadKeywordFile(TextBox &box, const std::filesystem::path &folder);
void saveKeywordFile(TextBox &box, const std::filesystem::path &folder);

} // namespace yunque
