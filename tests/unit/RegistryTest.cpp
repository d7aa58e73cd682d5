// The two registry procedures over the in-memory registry: what they store,
// what they read back, and that they leave no key open.
#include <gtest/gtest.h>

#include "platform/memory/Memory.h"
#include "settings/Registry.h"

namespace liaison {
namespace {

constexpr auto kRoot = IRegistry::kLocalMachine;

class RegistryTest : public ::testing::Test {
 protected:
  const memory::Registry::Value* Stored(const char* name) {
    auto key = registry.keys.find("SOFTWARE\\MOVELKA");
    if (key == registry.keys.end()) return nullptr;
    auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
  }

  memory::Registry registry;
};

TEST_F(RegistryTest, SavesStringsWithTheirTerminator) {
  RegSaveString(registry, kRoot, kMovelkaKey, "PasAff", "OK");
  RegSaveString(registry, kRoot, kMovelkaKey, "RES_ORIGINE", "");
  ASSERT_NE(Stored("PASAFF"), nullptr);
  EXPECT_EQ(Stored("PASAFF")->type, IRegistry::kString);
  EXPECT_EQ(Stored("PASAFF")->data, (std::vector<std::uint8_t>{'O', 'K', 0}));
  EXPECT_EQ(Stored("RES_ORIGINE")->data, std::vector<std::uint8_t>{0});
  EXPECT_EQ(registry.OpenKeys(), 0u);
}

TEST_F(RegistryTest, ReadsBackWhatWasSaved) {
  for (const char* text : {"OK", "", "x", "résolution", "a much longer text of settings"}) {
    RegSaveString(registry, kRoot, kMovelkaKey, "Value", text);
    EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "Value"), text);
  }
  EXPECT_EQ(registry.OpenKeys(), 0u);
}

TEST_F(RegistryTest, MissingValueReadsEmptyAndCreatesTheKey) {
  EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "PasAff"), "");
  EXPECT_EQ(registry.keys.count("SOFTWARE\\MOVELKA"), 1u);
  EXPECT_EQ(registry.OpenKeys(), 0u);
}

TEST_F(RegistryTest, ValueWithoutTerminatorLosesItsLastCharacter) {
  registry.keys["SOFTWARE\\MOVELKA"]["PASAFF"] = {3, {'O', 'K', '!'}};  // binary, no zero
  EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "PasAff"), "OK");
  registry.keys["SOFTWARE\\MOVELKA"]["ONE"] = {1, {'A'}};
  EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "One"), "");
  EXPECT_EQ(registry.OpenKeys(), 0u);
}

TEST_F(RegistryTest, RefusedAccessStoresNothingAndReadsEmpty) {
  registry.SetText("PasAff", "OK");
  registry.refuse_access = true;
  RegSaveString(registry, kRoot, kMovelkaKey, "PasAff", "changed");
  EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "PasAff"), "");
  registry.refuse_access = false;
  EXPECT_EQ(RegGetString(registry, kRoot, kMovelkaKey, "PasAff"), "OK");
  EXPECT_EQ(registry.OpenKeys(), 0u);
}

}  // namespace
}  // namespace liaison
