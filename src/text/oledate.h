// OLE automation dates: a double counting days since 1899-12-30 00:00 local
// time, the fraction being the time of day. 0 means "never". For negative
// values the integer part counts days backwards and the fraction still adds
// time of day (-1.25 is 1899-12-29 06:00).
#pragma once

namespace lh::text {

struct CalendarTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

inline constexpr double kOleMin = -657434.0;              // 0100-01-01 00:00:00
inline constexpr double kOleMax = 2958465.99998842592;    // 9999-12-31 23:59:59

// Clamps to 0100-01-01 ... 9999-12-31 23:59:59; NaN becomes 0.
double clampOleDate(double d);

// Local calendar fields -> OLE date. Fields out of their ranges are
// normalised (month 13 is January of the next year); the result is clamped.
double oleFromCalendar(const CalendarTime& t);

// OLE date (clamped first) -> calendar fields, rounded to the millisecond.
CalendarTime calendarFromOle(double d);

// The local wall-clock time now.
double oleNow();

}  // namespace lh::text
