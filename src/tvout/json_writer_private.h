#pragma once
// The small JSON writer of the TV-out tools and status: objects and arrays, keys in the order
// written. Internal to src/tvout.
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "tvout/signal_evaluator.h"

namespace cs::tvout {

// A minimal JSON writer: objects and arrays, keys in the order written.
class Json {
 public:
  Json& Open(const std::string& key = {}) { return Start(key, '{'); }
  Json& OpenArray(const std::string& key) { return Start(key, '['); }
  Json& Close() {
    const char c = stack_.back();
    stack_.pop_back();
    out_ << (c == '{' ? '}' : ']');
    first_ = false;
    return *this;
  }
  Json& Number(const std::string& key, double v) {
    Key(key);
    if (!std::isfinite(v)) {
      out_ << "null";
    } else if (v == std::floor(v) && std::fabs(v) < 1e15) {
      out_ << static_cast<long long>(v);
    } else {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.3f", v);
      out_ << buf;
    }
    return *this;
  }
  Json& Int(const std::string& key, long long v) {
    Key(key);
    out_ << v;
    return *this;
  }
  Json& Bool(const std::string& key, bool v) {
    Key(key);
    out_ << (v ? "true" : "false");
    return *this;
  }
  Json& Null(const std::string& key) {
    Key(key);
    out_ << "null";
    return *this;
  }
  Json& String(const std::string& key, const std::string& v) {
    Key(key);
    out_ << '"';
    for (char ch : v) {
      if (ch == '"' || ch == '\\') {
        out_ << '\\' << ch;
      } else if (static_cast<unsigned char>(ch) < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", ch);
        out_ << buf;
      } else {
        out_ << ch;
      }
    }
    out_ << '"';
    return *this;
  }
  std::string str() const { return out_.str(); }

 private:
  Json& Start(const std::string& key, char c) {
    Key(key);
    out_ << c;
    stack_.push_back(c);
    first_ = true;
    return *this;
  }
  void Key(const std::string& key) {
    if (!first_) out_ << ", ";
    first_ = false;
    if (!stack_.empty() && stack_.back() == '{') String2(key), out_ << ": ";
  }
  void String2(const std::string& s) { out_ << '"' << s << '"'; }

  std::ostringstream out_;
  std::string stack_;
  bool first_ = true;
};

// The evaluated signal as the object `key` (dot_clock_hz, hfreq_hz, lines_per_field, field_hz,
// interlaced, visible_lines, hsync_negative, vsync_negative, sync, problems).
void SignalJson(Json* j, const std::string& key, const Signal& s);

}  // namespace cs::tvout
