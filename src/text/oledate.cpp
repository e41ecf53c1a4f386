#include "text/oledate.h"

#include <sys/time.h>

#include <cmath>
#include <ctime>

namespace lh::text {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// algorithm), valid far beyond the range used here.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const long long kOleEpochDays = daysFromCivil(1899, 12, 30);

}  // namespace

double clampOleDate(double d) {
  if (std::isnan(d)) return 0.0;
  if (d < kOleMin) return kOleMin;
  if (d > kOleMax) return kOleMax;
  return d;
}

double oleFromCalendar(const CalendarTime& t) {
  long long year = t.year;
  long long month0 = t.month - 1;
  year += month0 >= 0 ? month0 / 12 : -((11 - month0) / 12);
  month0 = ((month0 % 12) + 12) % 12;
  const long long days = daysFromCivil(year, static_cast<unsigned>(month0 + 1), 1) + (t.day - 1) - kOleEpochDays;
  const double ms = ((static_cast<double>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000.0 + t.millisecond;
  const double total = static_cast<double>(days) * 86400000.0 + ms;  // milliseconds from the epoch
  const double whole = std::floor(total / 86400000.0);
  const double frac = (total - whole * 86400000.0) / 86400000.0;
  // Negative OLE dates count whole days backwards and add the time of day.
  return clampOleDate(whole >= 0 ? whole + frac : whole - frac);
}

CalendarTime calendarFromOle(double d) {
  d = clampOleDate(d);
  double whole = std::trunc(d);
  double frac = std::fabs(d - whole);
  long long ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000) {  // rounding reached the next day
    ms -= 86400000;
    whole += d >= 0 ? 1 : -1;
  }
  CalendarTime t;
  civilFromDays(static_cast<long long>(whole) + kOleEpochDays, t.year, t.month, t.day);
  t.millisecond = static_cast<int>(ms % 1000);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.hour = static_cast<int>(ms / 3600000);
  return t;
}

double oleNow() {
  // (<chrono> cannot be used here: GCC 12's C++20 <chrono> holds a literal
  // that has no GBK form, and these sources are compiled to GBK.)
  timeval tv{};
  gettimeofday(&tv, nullptr);
  const std::time_t secs = tv.tv_sec;
  const long ms = tv.tv_usec / 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &secs);
#else
  localtime_r(&secs, &local);
#endif
  CalendarTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  return oleFromCalendar(t);
}

}  // namespace lh::text
