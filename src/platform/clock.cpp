#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace cs {

namespace {
constexpr std::int64_t kMsPerDay = 86'400'000;

// Howard Hinnant's civil-from-days / days-from-civil.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}
}  // namespace

std::int64_t Date::DaysSinceEpoch() const {
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
}

Date Date::FromDaysSinceEpoch(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return Date{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool Date::Valid() const {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

std::string Date::ToShortString() const {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", day, month, year);
  return buf;
}

std::optional<Date> Date::ParseShort(std::string_view text) {
  auto skip = [&](std::size_t& i) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  auto number = [&](std::size_t& i, int minDigits, int maxDigits, int& out) {
    int n = 0, v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n < maxDigits) {
      v = v * 10 + (text[i] - '0');
      ++i;
      ++n;
    }
    out = v;
    return n >= minDigits;
  };
  std::size_t i = 0;
  Date d;
  skip(i);
  if (!number(i, 1, 2, d.day) || i >= text.size() || text[i++] != '/') return std::nullopt;
  if (!number(i, 1, 2, d.month) || i >= text.size() || text[i++] != '/') return std::nullopt;
  if (!number(i, 4, 4, d.year)) return std::nullopt;
  skip(i);
  if (i != text.size() || !d.Valid()) return std::nullopt;
  return d;
}

std::int64_t SystemClock::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Date SystemClock::Today() const {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

double SystemClock::TimeOfDay() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const double secs = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + ms / 1000.0;
  return secs / 86400.0;
}

VirtualClock::VirtualClock(Date startDate, double startTimeOfDay) {
  SetWall(startDate, startTimeOfDay);
}

void VirtualClock::SetWall(Date date, double timeOfDay) {
  const std::int64_t wall =
      date.DaysSinceEpoch() * kMsPerDay + static_cast<std::int64_t>(timeOfDay * kMsPerDay + 0.5);
  wall_origin_ms_ = wall - now_ms_;
}

Date VirtualClock::Today() const {
  const std::int64_t wall = wall_origin_ms_ + now_ms_;
  std::int64_t days = wall / kMsPerDay;
  if (wall % kMsPerDay < 0) --days;
  return Date::FromDaysSinceEpoch(days);
}

double VirtualClock::TimeOfDay() const {
  const std::int64_t wall = wall_origin_ms_ + now_ms_;
  std::int64_t ms = wall % kMsPerDay;
  if (ms < 0) ms += kMsPerDay;
  return static_cast<double>(ms) / kMsPerDay;
}

}  // namespace cs
