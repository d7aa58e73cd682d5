#include "platform/posix/Program.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/Error.h"

namespace liaison {

std::string PosixProgram::Folder() {
  std::string path(256, '\0');
  while (true) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) {
      throw Error(Error::Kind::kFile,
                  std::string("Cannot find the program's own file: ") + std::strerror(errno));
    }
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      break;
    }
    path.resize(path.size() * 2);  // may have been cut: read again with more room
  }
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    throw Error(Error::Kind::kFile, "Cannot find the program's own folder in \"" + path + "\"");
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void PosixProgram::End() {
  // What the program has written so far reaches its destination; then the
  // process ends without running anything of ours: exit() would run the
  // destructors of static objects and atexit handlers (the toolkit's among
  // them), which is code after the end.
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace liaison
