#pragma once
// A cabinet run with the real programs for the long benches: a temporary root made by
// coinshell-demo, the shell offscreen, coinshell-panelsim on a pseudo-terminal as COM2 fed
// through its stdin, the stand-in as the emulator the shell launches.
//
// Everything started here is remembered and killed when the objects go (and on SIGINT, SIGTERM
// or SIGHUP to the bench: Interrupted() turns true and the waits return). Programs are started
// by fork/exec with argument vectors; no path reaches a shell.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cs::bench {

namespace fs = std::filesystem;
using Env = std::vector<std::pair<std::string, std::string>>;

// The build tree: BUILD of BUILD/bench/<program>, from /proc/self/exe.
fs::path BuildDir();

// Makes the process a child subreaper (orphans of the shell, such as a stand-in whose shell was
// killed, come back here) and installs the interrupt handlers.
void SetUpProcess();
// A signal asked the bench to end.
bool Interrupted();

// Drops the arguments bench/run-all passes to Google Benchmark programs.
std::vector<std::string> ArgsWithoutBenchmarkFlags(int argc, char** argv);

// A private temporary directory, removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct SpawnOptions {
  fs::path cwd;
  Env env;
  bool stdinPipe = false;  // else /dev/null
  fs::path stdoutFile;     // empty: /dev/null
  fs::path stderrFile;     // empty: /dev/null (appended to otherwise)
  bool ownGroup = true;    // a process group of its own, for a kill of the whole group
};

// A started program. Killed (its group with SIGKILL) and reaped on destruction.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(Child&& o) noexcept { *this = std::move(o); }
  Child& operator=(Child&& o) noexcept;
  bool Start(const std::vector<std::string>& argv, const SpawnOptions& o);
  pid_t pid() const { return pid_; }
  bool Running();
  // Writes a line to its stdin.
  bool Send(const std::string& line);
  void CloseStdin();
  void Signal(int sig);
  // Waits for the end; the wait status, or nullopt on timeout (the child is left running).
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // SIGKILL to its group and to every descendant, then reaps it.
  void Kill();

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  std::optional<int> status_;
};

// Runs a program to its end (stdout and stderr to /dev/null); its exit code, or -1.
int RunToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit);

// The descendants of pid from /proc (children first).
std::vector<pid_t> Descendants(pid_t pid);
// Reaps any ended orphan handed to the subreaper that is not one of ours.
void ReapOrphans();

struct ProcSample {
  long rssKb = -1;
  int threads = -1;
  int fds = -1;
  int children = 0;
  int zombies = 0;  // children that ended and were not waited for
};
ProcSample Sample(pid_t pid);

// Status helpers over the control socket.
class Control {
 public:
  explicit Control(fs::path root) : socket_(std::move(root) / "run" / "control") {}
  std::string Status(int timeoutMs = 5000) const;
  // The first value of a key in the status object ("" when absent).
  static std::string Field(const std::string& status, const std::string& key);
  std::string Field(const std::string& key) const { return Field(Status(), key); }
  long long Number(const std::string& key, long long def = -1) const;
  // Polls until key reads value; false on timeout or interrupt.
  bool WaitFor(const std::string& key, const std::string& value, std::chrono::milliseconds limit,
               std::chrono::milliseconds every = std::chrono::milliseconds(50)) const;
  std::optional<std::string> Request(const std::string& line, int timeoutMs = 5000) const;

 private:
  fs::path socket_;
};

// The shell's frame block name for a run (COINSHELL_SHM): the block and its semaphore are named
// objects that outlive the programs, removed when this goes.
class SharedFrameName {
 public:
  explicit SharedFrameName(std::string name) : name_(std::move(name)) {}
  ~SharedFrameName();
  SharedFrameName(const SharedFrameName&) = delete;
  SharedFrameName& operator=(const SharedFrameName&) = delete;
  const std::string& str() const { return name_; }

 private:
  std::string name_;
};

// Sleeps up to d; false when interrupted.
bool Nap(std::chrono::milliseconds d);

// The paths of a demo cabinet root.
struct CabinetPaths {
  fs::path root;
  fs::path calc() const { return root / "dosdevices/c:/windows/CALC.INI"; }
  fs::path catalogue() const { return root / "dosdevices/c:/qd/PARAMS2.DAT"; }
  fs::path shellDir() const { return root / "dosdevices/c:/shell"; }
  fs::path com2() const { return root / "dosdevices/com2"; }
};

// coinshell-demo --out root --standin <build's stand-in> [--no-previews].
bool MakeDemoRoot(const fs::path& build, const fs::path& root, bool previews);

// Starts the panel simulator on root (stdin commands, --rate rate, stdout to outFile) and waits
// for its COM2 link.
bool StartPanelSim(const fs::path& build, const fs::path& root, int rate, const fs::path& outFile,
                   Child* sim);
// The simulator's closing line ("sent N frames (B bytes), L bytes lost").
struct SimCounts {
  std::uint64_t frames = 0, bytes = 0, lost = 0;
};
std::optional<SimCounts> ReadSimCounts(const fs::path& outFile);

// Starts the shell offscreen on root (--tvout=off, the build's skins), extra environment added.
bool StartShell(const fs::path& build, const fs::path& root, const Env& extra,
                const fs::path& stderrFile, Child* shell);

// Sum of the catalogue's play counts (CREDITS), or nullopt when it cannot be read.
std::optional<long long> TotalPlays(const fs::path& catalogue);

}  // namespace cs::bench
