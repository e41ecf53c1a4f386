// The texts the bookmark list computes: relative times, cut titles.
#pragma once

#include <string>
#include <string_view>

namespace lh::list {

// The sorted flat views.
enum class View { None = 0, LastVisit = 1, Added = 2, VisitCount = 3, Domain = 4 };

// The label of a visit or addition `date` seen at `now` (OLE dates): "刚刚",
// "5分钟前" … "55分钟前", "1小时前" … "23小时前", "1天前", "2天前", "3天前",
// "一周前", "半个月前", or the year and month ("2016年5月") from 31 days on;
// the zero date gives "没访问过" in the last-visit view and "很久以前" in
// the others.
std::string relativeTime(double date, double now, View view);

// A bookmark title as the list shows it: longer than 40 bytes, its first 40
// bytes without any "?" and with "..." appended (a double-byte character cut
// in half is dropped whole); otherwise whole.
std::string cutBookmarkTitle(std::string_view title);
// Category titles: the first 36 bytes (whole characters), no mark.
std::string cutCategoryTitle(std::string_view title);

}  // namespace lh::list
