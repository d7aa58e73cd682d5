// The two procedures that reach the registry values of the launcher.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace liaison {

inline constexpr std::string_view kMovelkaKey = "SOFTWARE\\Movelka";

// Stores `text` as the string value `name` of `path` under `root`, creating
// the key when it is missing. Failures are not reported.
void RegSaveString(IRegistry& registry, IRegistry::Key root, std::string_view path,
                   std::string_view name, std::string_view text);

// The string value `name` of `path` under `root` (the key is created when it
// is missing), or an empty text.
std::string RegGetString(IRegistry& registry, IRegistry::Key root, std::string_view path,
                         std::string_view name);

}  // namespace liaison
