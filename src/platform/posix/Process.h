// Starting the companion application on a POSIX system.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace liaison {

class PosixProcess : public IProcess {
 public:
  PosixProcess() = default;
  PosixProcess(const PosixProcess&) = delete;
  PosixProcess& operator=(const PosixProcess&) = delete;
  // Collects the programs started here that have ended already, without
  // waiting for the others.
  ~PosixProcess() override;

  // Starts exactly the file `file` (no shell, no search of PATH) with the
  // file's path as its only argument word, the environment of this program,
  // its standard input, output and error and no other open file, an empty
  // signal mask and every signal at its default action. Does not wait for it.
  // `show_style` has no meaning for another X client and is not applied.
  // Returns an empty text, or the reason why the file cannot be started in
  // plain words, as the system words it ("No such file or directory",
  // "Is a directory", "Permission denied", "Exec format error", ...).
  std::string Start(const std::string& file, int show_style) override;

 private:
  // Collects the started programs that have ended, so that none of them
  // stays a zombie while this program runs on.
  void Reap();

  std::vector<long> started_;  // process ids not collected yet
};

}  // namespace liaison
