#include "platform/log.h"

#include <cstdio>
#include <mutex>

namespace cs {

namespace {
std::mutex g_mutex;
std::function<void(const std::string&)> g_sink;
std::function<void(const std::string&)> g_box;
}  // namespace

void LogDiag(std::string_view component, std::string_view text) {
  std::string line = "coinshell[";
  line.append(component);
  line += "]: ";
  line.append(text);
  std::lock_guard lock(g_mutex);
  if (g_sink) {
    g_sink(line);
  } else {
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
}

void SetLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(g_mutex);
  g_sink = std::move(sink);
}

void ShowMessageBox(std::string_view text) {
  LogDiag("message", text);
  std::function<void(const std::string&)> box;
  {
    std::lock_guard lock(g_mutex);
    box = g_box;
  }
  if (box) box(std::string(text));
}

void SetMessageBoxHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard lock(g_mutex);
  g_box = std::move(handler);
}

}  // namespace cs
