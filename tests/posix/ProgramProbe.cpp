// Reports the folder of its own file on its standard output and ends through
// PosixProgram::End. Nothing of what comes after that call may show: not the
// line after it, not an atexit handler, not the destructor of a static object.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/posix/Program.h"

namespace {

struct Witness {
  ~Witness() { std::printf("[destructor]"); }
} witness;

}  // namespace

int main() {
  std::atexit([] { std::printf("[atexit]"); });
  liaison::PosixProgram program;
  std::printf("folder=");
  std::cout << program.Folder() << "|";  // the C++ stream and stdio, both buffered
  program.End();
  std::printf("[after End]");
  return 1;
}
