// Which monitors get a cover window while the picture is on the primary.
#include "platform/qt/monitor_plan.h"

#include <gtest/gtest.h>

namespace {

TEST(MonitorPlan, CoversEveryMonitorThePictureDoesNotFill) {
  const QRect primary(0, 0, 1920, 1080);
  struct Case {
    const char* name;
    std::vector<QRect> monitors;
    std::vector<QRect> covers;
  } cases[] = {
      {"one monitor", {primary}, {}},
      {"a second to the right", {primary, {1920, 0, 1280, 1024}}, {{1920, 0, 1280, 1024}}},
      {"primary listed last", {{-1280, 0, 1280, 1024}, primary}, {{-1280, 0, 1280, 1024}}},
      {"three in a row",
       {{-1920, 0, 1920, 1080}, primary, {1920, 0, 1920, 1080}},
       {{-1920, 0, 1920, 1080}, {1920, 0, 1920, 1080}}},
      {"a mirror of the primary", {primary, primary}, {}},
      {"a smaller mirror inside it", {primary, {0, 0, 1280, 720}}, {}},
      {"two mirrors of one other monitor",
       {primary, {1920, 0, 1920, 1080}, {1920, 0, 1920, 1080}},
       {{1920, 0, 1920, 1080}}},
      {"one overlapping the primary", {primary, {1000, 0, 1920, 1080}}, {{1000, 0, 1920, 1080}}},
      {"one holding the primary", {primary, {0, 0, 3840, 1080}}, {{0, 0, 3840, 1080}}},
      {"an empty one", {primary, QRect()}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlanMonitorCovers(c.monitors, primary), c.covers) << c.name;
  }
}

TEST(MonitorPlan, WithoutAPrimaryEveryMonitorIsCovered) {
  const std::vector<QRect> monitors = {{0, 0, 800, 600}, {800, 0, 800, 600}};
  EXPECT_EQ(PlanMonitorCovers(monitors, QRect()), monitors);
}

}  // namespace
