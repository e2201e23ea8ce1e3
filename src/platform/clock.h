#pragma once
// Time sources: a monotonic millisecond count for timers, and the wall clock's date and time of
// day. The time of day is a fraction of a day since midnight (0.5 at noon), the unit the design's
// debouncing compares against (0.000002 day = 0.1728 s).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cs {

// A calendar date (proleptic Gregorian).
struct Date {
  int year = 1999;
  int month = 1;
  int day = 1;

  // Days since 1970-01-01 (negative before).
  std::int64_t DaysSinceEpoch() const;
  static Date FromDaysSinceEpoch(std::int64_t days);
  bool Valid() const;

  // The cabinet's short date format: dd/mm/yyyy.
  std::string ToShortString() const;
  // Parses dd/mm/yyyy (one or two digit day and month, four digit year, surrounding blanks
  // allowed); nullopt for anything else, including impossible dates such as 31/02/2003.
  static std::optional<Date> ParseShort(std::string_view text);

  friend bool operator==(const Date&, const Date&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds; only differences mean anything.
  virtual std::int64_t NowMs() const = 0;
  // Wall clock: today's date and the fraction of the day since local midnight.
  virtual Date Today() const = 0;
  virtual double TimeOfDay() const = 0;
};

// The machine's clocks (steady_clock and local time).
class SystemClock final : public Clock {
 public:
  std::int64_t NowMs() const override;
  Date Today() const override;
  double TimeOfDay() const override;
};

// A clock that moves only when told. Wall time is derived from the monotonic count: the wall
// clock reads `start date + start time of day` when NowMs() is 0, and runs with it.
class VirtualClock final : public Clock {
 public:
  VirtualClock(Date startDate = Date{2026, 1, 1}, double startTimeOfDay = 0.5);
  std::int64_t NowMs() const override { return now_ms_; }
  Date Today() const override;
  double TimeOfDay() const override;

  void AdvanceTo(std::int64_t ms) {
    if (ms > now_ms_) now_ms_ = ms;
  }
  void AdvanceBy(std::int64_t ms) { AdvanceTo(now_ms_ + ms); }
  // Moves the wall clock without moving monotonic time (a new day, a clock change).
  void SetWall(Date date, double timeOfDay);

 private:
  std::int64_t now_ms_ = 0;
  std::int64_t wall_origin_ms_ = 0;  // wall milliseconds since epoch at NowMs() == 0
};

}  // namespace cs
