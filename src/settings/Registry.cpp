#include "settings/Registry.h"

#include <algorithm>
#include <string>
#include <vector>

namespace liaison {

void RegSaveString(IRegistry& registry, IRegistry::Key root, std::string_view path,
                   std::string_view name, std::string_view text) {
  IRegistry::Key key = 0;
  if (registry.CreateKey(root, path, key) != IRegistry::kSuccess) return;
  std::string data(text);
  data.push_back('\0');
  registry.SetValue(key, name, IRegistry::kString,
                    reinterpret_cast<const std::uint8_t*>(data.data()),
                    static_cast<std::uint32_t>(data.size()));
  registry.CloseKey(key);
}

std::string RegGetString(IRegistry& registry, IRegistry::Key root, std::string_view path,
                         std::string_view name) {
  IRegistry::Key key = 0;
  if (registry.CreateKey(root, path, key) != IRegistry::kSuccess) return {};
  std::uint32_t type = 0;
  std::uint8_t none = 0;
  std::uint32_t size = 0;
  registry.QueryValue(key, name, &type, &none, &size);
  if (size < 2) {
    registry.CloseKey(key);
    return {};
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 1, ' ');
  const std::uint32_t stated = size;
  registry.QueryValue(key, name, &type, buffer.data(), &size);
  // The data without its last byte, its terminator.
  const std::size_t length = std::min<std::size_t>(size == 0 ? 0 : size - 1, stated);
  std::string result(reinterpret_cast<const char*>(buffer.data()), length);
  registry.CloseKey(key);
  return result;
}

}  // namespace liaison
