// The one error type of the program: what the runtime reports when a step
// cannot go on (an overflow, a bad argument, a value that is not a number, a
// file that cannot be opened or started). Nothing catches it but the top of
// the program, which reports it and ends with a non-zero exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace liaison {

class Error : public std::runtime_error {
 public:
  enum class Kind { kOverflow, kInvalidArgument, kTypeMismatch, kFile, kCannotStart, kNoDisplay };

  Error(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

}  // namespace liaison
