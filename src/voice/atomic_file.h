// Replacing a file without ever leaving it half written: the new contents go to a temporary
// file in the same folder, reach the disk, and only then take the old file's name.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace qv {

// Calls `write` with a temporary file opened for binary writing (seeking allowed), flushes it
// to disk, renames it over `path` and flushes the folder. On any failure the file at `path`
// is untouched, no temporary file remains, and `error` (when given) says why. A replaced
// file keeps its permission bits; a new one gets 0666 less the umask.
bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write,
                           std::string* error = nullptr);

} // namespace qv
