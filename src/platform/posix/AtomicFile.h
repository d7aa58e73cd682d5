// Whole-file reading and replacing for the small text files of the POSIX
// layer (INI files, the registry store).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace liaison {

// Files larger than this are not read: they count as unreadable.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;  // 64 MiB

// Reads the regular file at `path` into `out`. Returns false, with `out`
// empty, when the file is missing, is not a regular file, cannot be read or is
// larger than kMaxFileBytes.
bool ReadWholeFile(const std::string& path, std::string& out);

// Replaces the file at `path` (or creates it) with `bytes`: writes a new file
// beside it, flushes it to disk and renames it over the old one, so that a
// reader sees either the old or the new content. The new file keeps the old
// one's permission bits (and owner, where allowed); a new file gets 0666 less
// the umask. A symbolic link is followed. Returns false, leaving the old file
// as it was, when the folder cannot be written, when the old file is not a
// regular file or not writable, or on any write error.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace liaison
