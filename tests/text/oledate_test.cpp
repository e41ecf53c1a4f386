#include "text/oledate.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lh::text {
namespace {

CalendarTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  CalendarTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s, t.millisecond = ms;
  return t;
}

void expectFields(const CalendarTime& t, int y, int mo, int d, int h, int mi, int s) {
  EXPECT_EQ(t.year, y);
  EXPECT_EQ(t.month, mo);
  EXPECT_EQ(t.day, d);
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, mi);
  EXPECT_EQ(t.second, s);
}

TEST(OleDate, KnownValues) {
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(1899, 12, 30)), 0.0);
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(1900, 1, 1)), 2.0);
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(2016, 5, 1, 12)), 42491.5);
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(1970, 1, 1)), 25569.0);
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(100, 1, 1)), kOleMin);
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(9999, 12, 31)), 2958465.0);
}

TEST(OleDate, NegativeDatesCountDaysBackAndAddTheTime) {
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(1899, 12, 29, 6)), -1.25);
  expectFields(calendarFromOle(-1.25), 1899, 12, 29, 6, 0, 0);
  expectFields(calendarFromOle(-0.5), 1899, 12, 30, 12, 0, 0);
}

TEST(OleDate, RoundTripsToTheSecondAcrossTheRange) {
  for (double d : {0.0, 1.0, 42491.75, 45000.123456, 2958465.5, -657434.0, -1000.3}) {
    const CalendarTime t = calendarFromOle(d);
    EXPECT_NEAR(oleFromCalendar(t), d, 1.0 / 86400000.0 * 2) << d;
  }
  expectFields(calendarFromOle(42491.75), 2016, 5, 1, 18, 0, 0);
}

TEST(OleDate, ClampsToYears100Through9999) {
  EXPECT_DOUBLE_EQ(clampOleDate(-1e9), kOleMin);
  EXPECT_DOUBLE_EQ(clampOleDate(1e300), kOleMax);
  EXPECT_DOUBLE_EQ(clampOleDate(std::nan("")), 0.0);
  EXPECT_DOUBLE_EQ(clampOleDate(-INFINITY), kOleMin);
  expectFields(calendarFromOle(1e300), 9999, 12, 31, 23, 59, 59);
  expectFields(calendarFromOle(-1e300), 100, 1, 1, 0, 0, 0);
}

TEST(OleDate, FieldsOutOfRangeAreNormalised) {
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(2016, 13, 1)), oleFromCalendar(at(2017, 1, 1)));
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(2016, 3, 0)), oleFromCalendar(at(2016, 2, 29)));
  EXPECT_DOUBLE_EQ(oleFromCalendar(at(2016, 1, 1, 24)), oleFromCalendar(at(2016, 1, 2)));
}

TEST(OleDate, NowIsToday) {
  const double now = oleNow();
  const std::time_t t = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  const double today = oleFromCalendar(at(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
  EXPECT_GE(now, today);
  EXPECT_LT(now, today + 1.0 + 1e-6);
}

}  // namespace
}  // namespace lh::text
