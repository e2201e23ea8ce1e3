#pragma once
// Small text helpers shared by the skin and script parsers (ASCII only: skin keys, command words
// and numbers are ASCII; names and texts pass through as UTF-8 bytes).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cs::skin_text {

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

inline bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A decimal integer with an optional sign and surrounding blanks, within [lo, hi].
inline bool ParseInt(std::string_view s, std::int64_t lo, std::int64_t hi, int* out) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  std::int64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > (std::int64_t{1} << 40)) return false;  // far beyond any range asked for
  }
  if (negative) value = -value;
  if (value < lo || value > hi) return false;
  *out = static_cast<int>(value);
  return true;
}

// Splits on commas, trimming each part; "a,,b" gives an empty middle part.
inline std::vector<std::string_view> SplitCommas(std::string_view s) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = s.find(',', start);
    if (comma == std::string_view::npos) {
      parts.push_back(Trim(s.substr(start)));
      return parts;
    }
    parts.push_back(Trim(s.substr(start, comma - start)));
    start = comma + 1;
  }
}

// Quotes a name for a diagnostic line, shortened so that a hostile file cannot flood the log.
inline std::string Quote(std::string_view s) {
  constexpr std::size_t kMax = 60;
  std::string out = "\"";
  out.append(s.substr(0, kMax));
  if (s.size() > kMax) out += "...";
  out += '"';
  return out;
}

}  // namespace cs::skin_text
