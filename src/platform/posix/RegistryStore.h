// The machine-wide registry of the Linux program: one text file in the regedit
// "REGEDIT4" export format, for example
//
//     REGEDIT4
//
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Movelka]
//     "PasAff"="OK"
//     "RES_ORIGINE"=""
//
// Key paths and value names compare case-insensitively (ASCII letters), as on
// Windows. Every operation reads the file afresh; every change rewrites it
// atomically and keeps the lines it does not touch byte for byte, whatever
// they hold (comments, lines it does not understand, other keys).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace liaison {

// The store's path that this build was configured with
// (/etc/liaison/machine.reg unless set otherwise).
const char* DefaultRegistryPath();

// The text of the store, without files: reading and changing it are pure
// functions of the text. A key is named by its full path, for example
// "HKEY_LOCAL_MACHINE\SOFTWARE\Movelka".
namespace regedit {

struct Value {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;  // exactly the bytes that were set
  bool operator==(const Value&) const = default;
};

// True when the text names `key` in a key line, itself or as the parent of a
// key that it names (importing a key creates its parents).
bool HasKey(std::string_view text, std::string_view key);

// The value `name` of `key` ("" for the key's default value, written "@").
// When a file holds the same value more than once, the last one counts, as
// when the file is imported.
std::optional<Value> FindValue(std::string_view text, std::string_view key, std::string_view name);

// The text with `key` added when it is not there yet. An empty text becomes
// a new store with its "REGEDIT4" header.
std::string WithKey(std::string_view text, std::string_view key);

// The text with `name` of `key` set to `value`: the value's lines take the
// place of those it had (keeping the name as the file spells it), or follow
// the last line of the key's last block; a missing key is added at the end.
std::string WithValue(std::string_view text, std::string_view key, std::string_view name,
                      const Value& value);

// The lines (without line ends) that hold `value`: "name"="text" for a
// string with one terminating zero and nothing else unusual, dword:8 digits
// for a four-byte REG_DWORD, hex: for REG_BINARY and hex(type): for the
// rest; long hexadecimal data continues on further lines as regedit writes
// it.
std::vector<std::string> FormatValue(std::string_view name, const Value& value);

}  // namespace regedit

class RegeditStore : public IRegistry {
 public:
  // Status codes beyond those of IRegistry, with the Windows numbers.
  static constexpr std::int32_t kInvalidHandle = 6;      // ERROR_INVALID_HANDLE
  static constexpr std::int32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
  static constexpr std::int32_t kBadPathName = 161;      // ERROR_BAD_PATHNAME

  explicit RegeditStore(std::string path = DefaultRegistryPath());

  // Only kLocalMachine is a root; another gives kInvalidHandle. A key path
  // with an empty part (a leading or doubled "\") or a line break gives
  // kBadPathName; trailing "\" are dropped. A missing key is written into the
  // file (created with its folder when needed): when that is refused, the
  // result is kAccessDenied. An existing key opens without writing.
  std::int32_t CreateKey(Key root, std::string_view sub_key, Key& opened) override;
  // Refused writes give kAccessDenied; a value name with a line break or a
  // zero byte gives kInvalidParameter.
  std::int32_t SetValue(Key key, std::string_view name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override;
  // As RegQueryValueExA. A missing value gives kNotFound and leaves `type`
  // and `size` as they were; an unreadable store gives kAccessDenied.
  std::int32_t QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) override;
  std::int32_t CloseKey(Key key) override;

  // How many keys are open (opened and not closed yet).
  std::size_t OpenKeys() const { return open_.size(); }
  const std::string& Path() const { return path_; }

 private:
  enum class Read { kOk, kMissing, kRefused };
  Read Load(std::string& text) const;
  bool Store(std::string_view text) const;

  std::string path_;
  std::map<Key, std::string> open_;  // handle -> the key's full path
  Key next_ = 0x100;
};

}  // namespace liaison
