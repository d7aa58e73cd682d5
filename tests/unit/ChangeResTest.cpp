// Reading and changing the display mode over the in-memory display: the exact
// record, selection word, status and broadcasts.
#include <gtest/gtest.h>

#include <cstring>

#include "display/ChangeRes.h"
#include "platform/Error.h"
#include "platform/memory/Memory.h"

namespace liaison {
namespace {

constexpr std::uint32_t kQueried =
    DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;

TEST(GetCur, EveryCallQueriesAfresh) {
  memory::Display display(800, 600, 16);
  EXPECT_EQ(GetCurWidth(display), 800);
  display.Set(1280, 1024, 32);
  EXPECT_EQ(GetCurWidth(display), 1280);
  EXPECT_EQ(GetCurHeight(display), 1024);
  EXPECT_EQ(GetCurBitsPerPel(display), 32);
  EXPECT_EQ(display.queries, 4);
}

TEST(GetCur, FailedQueryGivesZeros) {
  memory::Display display(800, 600, 16);
  display.query_fails = true;
  EXPECT_EQ(GetCurWidth(display), 0);
  EXPECT_EQ(GetCurHeight(display), 0);
  EXPECT_EQ(GetCurBitsPerPel(display), 0);
}

TEST(GetCur, SizeBeyondSixteenBitsIsAnOverflow) {
  memory::Display display(40000, 600, 32);
  try {
    GetCurWidth(display);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), Error::Kind::kOverflow);
    EXPECT_NE(std::string(error.what()).find("40000"), std::string::npos);
  }
  EXPECT_EQ(GetCurHeight(display), 600);
  display.Set(32767, 32767, 32);
  EXPECT_EQ(GetCurWidth(display), 32767);
  display.Set(800, 32768, 32);
  EXPECT_THROW(GetCurHeight(display), Error);
}

TEST(ChangeRes, SameModeSendsNothing) {
  memory::Display display(1024, 768, 32);
  EXPECT_EQ(ChangeRes(display, 1024.0f, 768.0f, 32), 0);
  EXPECT_TRUE(display.requests.empty());
  EXPECT_TRUE(display.broadcasts.empty());
}

TEST(ChangeRes, SwitchSendsTheRecordAndBothNotices) {
  memory::Display display(800, 600, 32);
  display.current.dmDisplayFrequency = 75;
  display.current.dmOrientation = 7;
  std::strcpy(display.current.dmFormName, "form");
  ASSERT_EQ(ChangeRes(display, 1024.0f, 768.0f, 32), 0);

  ASSERT_EQ(display.requests.size(), 1u);
  const DISPLAY_MODE& sent = display.requests[0];
  EXPECT_EQ(sent.dmFields, 0x00180000u);
  EXPECT_EQ(sent.dmPelsWidth, 1024u);
  EXPECT_EQ(sent.dmPelsHeight, 768u);
  EXPECT_EQ(sent.dmBitsPerPel, 32);
  EXPECT_EQ(sent.dmBitsPerPelHigh, 0);
  // Every other field goes from the query to the request unchanged.
  EXPECT_EQ(sent.dmDisplayFrequency, 75u);
  EXPECT_EQ(sent.dmOrientation, 7);
  EXPECT_STREQ(sent.dmFormName, "form");
  EXPECT_STREQ(sent.dmDeviceName, "MEMORY0");
  EXPECT_EQ(display.flags, std::vector<std::uint32_t>{1});

  ASSERT_EQ(display.broadcasts.size(), 2u);
  EXPECT_EQ(display.broadcasts[0].message, 0x001Bu);
  EXPECT_EQ(display.broadcasts[0].w_param, 0u);
  EXPECT_NE(display.broadcasts[0].l_param, 0);
  EXPECT_EQ(display.broadcasts[0].pointed, 0u);
  EXPECT_EQ(display.broadcasts[1].message, 0x007Eu);
  EXPECT_EQ(display.broadcasts[1].w_param, 32u);
  EXPECT_EQ(display.broadcasts[1].l_param, 50332672);
  EXPECT_EQ(display.Mode(), "1024x768x32");
}

TEST(ChangeRes, SelectionWordFollowsWhatDiffers) {
  struct Case {
    float width, height;
    std::int16_t bits;
    std::uint32_t word;
  };
  // From 1024x768x32, whose query sets the four bits of kQueried.
  const Case cases[] = {
      {1024, 600, 32, kQueried | DM_PELSHEIGHT},
      {1024, 768, 16, kQueried | DM_BITSPERPEL},
      {800, 768, 32, DM_PELSWIDTH},
      {800, 600, 32, DM_PELSWIDTH | DM_PELSHEIGHT},
      {800, 768, 16, DM_PELSWIDTH | DM_BITSPERPEL},
      {800, 600, 16, DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL},
  };
  for (const Case& c : cases) {
    memory::Display display(1024, 768, 32);
    ChangeRes(display, c.width, c.height, c.bits);
    ASSERT_EQ(display.requests.size(), 1u);
    EXPECT_EQ(display.requests[0].dmFields, c.word) << c.width << "x" << c.height << "x" << c.bits;
  }
}

TEST(ChangeRes, HalvesRoundToEven) {
  struct Case {
    float width;
    std::uint32_t written;
  };
  for (const Case c : {Case{1024.5f, 1024}, Case{1025.5f, 1026}, Case{1023.5f, 1024}}) {
    memory::Display display(1024, 768, 32);
    ChangeRes(display, c.width, 768.0f, 32);
    ASSERT_EQ(display.requests.size(), 1u) << c.width;
    EXPECT_EQ(display.requests[0].dmFields, DM_PELSWIDTH) << c.width;
    EXPECT_EQ(display.requests[0].dmPelsWidth, c.written) << c.width;
  }
}

TEST(ChangeRes, DisplayChangeNoticeCarriesWidthAndHeight) {
  memory::Display display(1024, 768, 16);
  ChangeRes(display, 640.0f, 480.0f, 16);
  ASSERT_EQ(display.broadcasts.size(), 2u);
  EXPECT_EQ(display.broadcasts[1].l_param, 31457920);
  EXPECT_EQ(display.broadcasts[1].w_param, 16u);
  // A negative depth is widened with its sign.
  memory::Display other(1024, 768, 16);
  ChangeRes(other, 1024.0f, 768.0f, -1);
  EXPECT_EQ(static_cast<std::intptr_t>(other.broadcasts[1].w_param), -1);
}

TEST(ChangeRes, RefusedChangeIsReportedAndStillAnnounced) {
  memory::Display display(800, 600, 32);
  display.refused_sizes.insert({1024, 768});
  EXPECT_EQ(ChangeRes(display, 1024.0f, 768.0f, 32), IDisplay::kBadMode);
  EXPECT_EQ(display.broadcasts.size(), 2u);
  EXPECT_EQ(display.Mode(), "800x600x32");
}

TEST(ChangeRes, FailedQueryComparesWithZeros) {
  memory::Display display(1024, 768, 32);
  display.query_fails = true;
  ChangeRes(display, 1024.0f, 768.0f, 32);
  ASSERT_EQ(display.requests.size(), 1u);
  EXPECT_EQ(display.requests[0].dmFields, DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL);
}

TEST(ChangeRes, ArgumentsOutOfRangeAreOverflows) {
  {  // an argument that does not round into 32 bits: nothing is sent
    memory::Display display(800, 600, 32);
    EXPECT_THROW(ChangeRes(display, 3e9f, 768.0f, 32), Error);
    EXPECT_THROW(ChangeRes(display, 1024.0f, -3e9f, 32), Error);
    EXPECT_TRUE(display.requests.empty());
    EXPECT_TRUE(display.broadcasts.empty());
  }
  {  // a height of 32768 overflows the notice after the change went out
    memory::Display display(800, 600, 32);
    display.refused_sizes.insert({1024, 32768});
    try {
      ChangeRes(display, 1024.0f, 32768.0f, 32);
      FAIL() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), Error::Kind::kOverflow);
    }
    EXPECT_EQ(display.requests.size(), 1u);
    ASSERT_EQ(display.broadcasts.size(), 1u);
    EXPECT_EQ(display.broadcasts[0].message, 0x001Bu);
  }
  {  // 32767 still fits
    memory::Display display(800, 600, 32);
    ChangeRes(display, 1024.0f, 32767.0f, 32);
    EXPECT_EQ(display.broadcasts.size(), 2u);
  }
}

}  // namespace
}  // namespace liaison
