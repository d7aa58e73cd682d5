#include <cstring>
#include <vector>

#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {
namespace {

// The predefined roots are 32-bit values that Windows widens with their sign
// (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in a 64-bit program).
HKEY ToHandle(IRegistry::Key key) {
  if (key >= 0x80000000u && key <= 0x800000FFu) {
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(key));
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value));
  }
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

std::int32_t Registry::CreateKey(Key root, std::string_view sub_key, Key& opened) {
  HKEY key = nullptr;
  const LONG status = RegCreateKeyA(ToHandle(root), ToAnsi(sub_key).c_str(), &key);
  opened = reinterpret_cast<Key>(key);
  return status;
}

std::int32_t Registry::SetValue(Key key, std::string_view name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  const std::string ansi =
      data ? ToAnsi(std::string_view(reinterpret_cast<const char*>(data), size)) : std::string();
  return RegSetValueExA(ToHandle(key), ToAnsi(name).c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(ansi.data()),
                        static_cast<DWORD>(ansi.size()));
}

std::int32_t Registry::QueryValue(Key key, std::string_view name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  const HKEY handle = ToHandle(key);
  const std::string a_name = ToAnsi(name);
  // Read the whole value, then hand its UTF-8 form out as asked.
  DWORD stored_type = 0;
  DWORD stored_size = 0;
  LONG status =
      RegQueryValueExA(handle, a_name.c_str(), nullptr, &stored_type, nullptr, &stored_size);
  std::vector<BYTE> stored;
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    stored.resize(stored_size + 1);
    DWORD got = stored_size;
    status = RegQueryValueExA(handle, a_name.c_str(), nullptr, &stored_type, stored.data(), &got);
    if (status == ERROR_MORE_DATA) {
      stored_size = got;  // the value grew in between
      continue;
    }
    stored.resize(got);
    break;
  }
  if (status != ERROR_SUCCESS) return status;
  if (type) *type = stored_type;
  const std::string text =
      FromAnsi(std::string_view(reinterpret_cast<const char*>(stored.data()), stored.size()));
  const auto needed = static_cast<std::uint32_t>(text.size());
  if (!size) return ERROR_SUCCESS;
  if (!data) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, text.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

std::int32_t Registry::CloseKey(Key key) {
  return RegCloseKey(ToHandle(key));
}

}  // namespace liaison::win32
