// The launcher's own program on a POSIX system.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace liaison {

class PosixProgram : public IProgram {
 public:
  // The folder of /proc/self/exe, resolved: no trailing "/" unless it is "/".
  // Throws Error when the system does not tell.
  std::string Folder() override;
  // Flushes the C and C++ standard streams and ends the process with status 0
  // through _Exit: no atexit handler, no destructor of a static object and no
  // window's unload code runs after the call.
  [[noreturn]] void End() override;
};

}  // namespace liaison
