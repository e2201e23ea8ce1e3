#pragma once
// The diagnostic log: one line per error the design swallows, on stderr, so an operator can find
// out why the screen stayed as it was. Off the hot paths. Thread-safe.
#include <functional>
#include <string>
#include <string_view>

namespace cs {

// Writes "coinshell[<component>]: <text>" as one line.
void LogDiag(std::string_view component, std::string_view text);

// Redirects the log (tests capture it); an empty function restores stderr.
void SetLogSink(std::function<void(const std::string& line)> sink);

// A visible, non-blocking message box (start-up errors, failed writes): the program's handler
// shows it without stopping the loop; the text is always logged too. Without a handler (tests,
// tools) only the log line is written.
void ShowMessageBox(std::string_view text);
void SetMessageBoxHandler(std::function<void(const std::string& text)> handler);

}  // namespace cs
