// Directory listing and line-by-line text reading on Linux.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace liaison {

class PosixFiles final : public IFiles {
 public:
  // The name of the first ordinary file (not a folder; a link counts as what
  // it points to) that matches the last part of `path`. That part may hold
  // the wildcards "*" (any run of characters) and "?" (one character), which
  // match letters of either case, as on Windows; then the first match in
  // case-blind name order is given. Without wildcards the name must match
  // exactly, as Linux file names are case-sensitive. Empty when none matches.
  std::string FindFirstFile(const std::string& path) override;

  // Lines end at LF or CRLF; a last line without an ending is still a line.
  // Throws Error (kFile) when the file cannot be opened.
  std::unique_ptr<ITextReader> OpenText(const std::string& path) override;
};

// Whether `name` matches the wildcard `pattern`, ignoring the case of ASCII
// letters. "?" stands for one UTF-8 character.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace liaison
