#include "ci/net/recent_answer.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

std::uint64_t fake_now = 0;
std::uint64_t FakeClock() { return fake_now; }

TEST(RecentAnswerTest, ReusesAnAnswerForItsLifetimeOnly) {
  RecentAnswer answer(500, &FakeClock);
  int asked = 0;
  bool truth = false;
  auto ask = [&] {
    ++asked;
    return truth;
  };
  fake_now = 1000;
  EXPECT_FALSE(answer.Get(ask));
  truth = true;
  fake_now = 1499;
  EXPECT_FALSE(answer.Get(ask));  // still the first answer
  EXPECT_EQ(asked, 1);
  fake_now = 1500;
  EXPECT_TRUE(answer.Get(ask));  // run out: asked again
  EXPECT_EQ(asked, 2);
  truth = false;
  fake_now = 10;  // a clock that went backwards asks again
  EXPECT_FALSE(answer.Get(ask));
  EXPECT_EQ(asked, 3);
  // The very first question is asked even at time 0.
  RecentAnswer fresh(500, &FakeClock);
  fake_now = 0;
  truth = true;
  EXPECT_TRUE(fresh.Get(ask));
  EXPECT_EQ(asked, 4);
}

}  // namespace
}  // namespace ci
