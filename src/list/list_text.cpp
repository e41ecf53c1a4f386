#include "list/list_text.h"

#include <cmath>

#include "text/gbk.h"
#include "text/oledate.h"

namespace lh::list {

std::string relativeTime(double date, double now, View view) {
  const double delta = now - date;
  if (delta < 0) return "刚刚";  // a date in the future (a clock set back)
  const long long d = static_cast<long long>(std::trunc(delta));
  if (d > 30) {
    const text::CalendarTime t = text::calendarFromOle(date);
    if (t.year == 1899) return view == View::LastVisit ? "没访问过" : "很久以前";
    return std::to_string(t.year) + "年" + std::to_string(t.month) + "月";
  }
  std::string label = "1天前";
  if (d > 14) {
    label = "半个月前";
  } else if (d > 5) {
    label = "一周前";
  } else if (d > 2) {
    label = "3天前";
  } else if (d > 1) {
    label = "2天前";
  }
  if (d == 0) {
    constexpr double kAllowance = 1.0 / 172800.0;
    const long long h = static_cast<long long>(std::trunc(delta * 24 + kAllowance));
    label = std::to_string(h) + "小时前";
    if (h == 0) {
      const long long m = static_cast<long long>(std::trunc(delta * 1440 + kAllowance));
      const long long m5 = 5 * (m / 5);
      label = m5 == 0 ? "刚刚" : std::to_string(m5) + "分钟前";
    }
  }
  return label;
}

std::string cutBookmarkTitle(std::string_view title) {
  if (title.size() <= 40) return std::string(title);
  std::string cut(text::cutAtBoundary(title, 40));
  std::erase(cut, '?');  // "?" (3F) is never a second byte
  return cut + "...";
}

std::string cutCategoryTitle(std::string_view title) { return std::string(text::cutAtBoundary(title, 36)); }

}  // namespace lh::list
