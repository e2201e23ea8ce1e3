#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <set>

#include "platform/log.h"

extern char** environ;

namespace cs {

namespace {
std::mutex g_children_mutex;
std::set<pid_t> g_children;
}  // namespace

std::vector<std::string> SplitOnBlanks(const std::string& text) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!cur.empty()) words.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(std::move(cur));
  return words;
}

std::optional<pid_t> SpawnDetached(const SpawnRequest& r) {
  struct stat st {};
  if (::stat(r.program.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      ::access(r.program.c_str(), X_OK) != 0) {
    LogDiag("process", "not started (missing or not executable): " + r.program.string());
    return std::nullopt;
  }

  std::vector<std::string> argStore;
  argStore.push_back(r.program.filename().string());
  argStore.insert(argStore.end(), r.args.begin(), r.args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStore;
  for (char** e = environ; e && *e; ++e) {
    bool replaced = false;
    for (const auto& [k, v] : r.extraEnv) {
      if (std::strncmp(*e, k.c_str(), k.size()) == 0 && (*e)[k.size()] == '=') replaced = true;
    }
    if (!replaced) envStore.emplace_back(*e);
  }
  for (const auto& [k, v] : r.extraEnv) envStore.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (!r.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&fa, r.workingDirectory.c_str());
  }
  if (r.silence) {
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal dispositions and its own process group, so a signal
  // meant for the shell's terminal does not reach the game.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  pid_t pid = 0;
  const int err = posix_spawn(&pid, r.program.c_str(), &fa, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    LogDiag("process", "cannot start " + r.program.string() + ": " + std::strerror(err));
    return std::nullopt;
  }
  std::lock_guard lock(g_children_mutex);
  g_children.insert(pid);
  return pid;
}

void ReapChildren() {
  std::lock_guard lock(g_children_mutex);
  for (auto it = g_children.begin(); it != g_children.end();) {
    int status = 0;
    const pid_t r = ::waitpid(*it, &status, WNOHANG);
    if (r == *it || (r < 0 && errno == ECHILD)) {
      it = g_children.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace cs
