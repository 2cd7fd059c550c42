#pragma once

#include "common/gbk_text.h"

#include <string>
#include <string_view>

namespace yunque {

// What a whole-file read gave.
struct FileContent {
    // The bytes read; empty on any failure. May hold NULs.
    ByteData bytes;
    // True when bytes are exactly what the file holds, so writing them back
    // changes nothing. A missing file counts as exact and empty. False when
    // the file could not be opened, was locked, too large, not a regular file,
    // failed while being read, or held more or fewer bytes than its size said.
    bool exact = false;
};

// Reads a file as a whole. The file is opened read-only and must take a
// shared advisory lock at once: a file that another process holds under an
// exclusive lock (as our own writes do) counts as being written and is not
// read. A size of 2 GiB or more gives empty bytes without reading. A read
// that stops early keeps the bytes that arrived. Nothing is reported.
FileContent readWholeFile(const std::string &path);

// Replaces a file's whole content with bytes. Goes through a temporary file in
// the same folder, renamed over the file, so the file is either the old one or
// the new one, whole; an existing file keeps its permission bits and a
// symbolic link stays a link, with its target replaced. Refused, leaving the
// file as it was: a file with all write permission bits off (even for root),
// a file another process holds under an exclusive advisory lock, a file that
// cannot be opened for writing, anything that is not a regular file. When the
// folder refuses the temporary file but the file itself can be written, the
// file is rewritten in place under an exclusive lock. True when the file now
// holds exactly bytes; false otherwise, quietly.
bool writeWholeFile(const std::string &path, std::string_view bytes);

} // namespace yunque
