#pragma once
// Starting outside programs (the emulator, the auxiliary programs): posix_spawn, never a shell,
// never waited for. Finished children are reaped by ReapChildren(), which the main loop calls
// now and then, so none stays a zombie for the life of the cabinet.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cs {

struct SpawnRequest {
  std::filesystem::path program;           // must be an executable file
  std::vector<std::string> args;           // argv[1..]; argv[0] is the program's file name
  std::filesystem::path workingDirectory;  // empty: inherit
  std::vector<std::pair<std::string, std::string>> extraEnv;  // added to the environment
  bool silence = false;                                       // stdin/stdout/stderr to /dev/null
};

// Starts the program; nullopt (with a log line) when it is missing, not executable or the spawn
// fails. Returns at once.
std::optional<pid_t> SpawnDetached(const SpawnRequest& request);

// Reaps every finished child started by SpawnDetached. Never blocks.
void ReapChildren();

// Splits a parameter string on blanks (runs of spaces and tabs), dropping empty words.
std::vector<std::string> SplitOnBlanks(const std::string& text);

}  // namespace cs
