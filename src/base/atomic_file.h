#pragma once

#include <string>
#include <string_view>

namespace velkaro {

// Replaces the file at `path` with `contents` (bytes, written as they are): writes a new
// file in the same folder, flushes it and renames it over `path`. On failure the temporary
// file is removed, `path` is left as it was, `error` holds the reason and false is
// returned. An existing target keeps its permission bits; a symbolic link stays a link and
// the file it points to is replaced. An existing target that is not a regular file (a FIFO,
// a terminal, a device node such as /dev/stdout) is written in place instead: it stays what
// it is.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& error);

}  // namespace velkaro
