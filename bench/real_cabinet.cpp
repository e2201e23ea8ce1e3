#include "real_cabinet.h"

#include <dirent.h>
#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "catalogue/catalogue_db.h"
#include "platform/control_socket.h"

namespace cs::bench {

namespace {

volatile sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }

std::set<pid_t>& Ours() {
  static std::set<pid_t> pids;
  return pids;
}

// Field 4 (ppid) and field 3 (state) of /proc/<pid>/stat; the name in parentheses may hold
// blanks, so the fields are counted from its closing parenthesis.
bool ReadStat(pid_t pid, pid_t* ppid, char* state) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return false;
  const auto close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(text.substr(close + 1));
  long parent = 0;
  if (!(rest >> *state >> parent)) return false;
  *ppid = static_cast<pid_t>(parent);
  return true;
}

std::vector<pid_t> AllPids() {
  std::vector<pid_t> out;
  if (DIR* d = ::opendir("/proc")) {
    while (dirent* e = ::readdir(d)) {
      char* end = nullptr;
      const long v = std::strtol(e->d_name, &end, 10);
      if (end != e->d_name && *end == '\0' && v > 0) out.push_back(static_cast<pid_t>(v));
    }
    ::closedir(d);
  }
  return out;
}

}  // namespace

fs::path BuildDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path();
}

void SetUpProcess() {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() { return g_interrupted != 0; }

std::vector<std::string> ArgsWithoutBenchmarkFlags(int argc, char** argv) {
  std::vector<std::string> out;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with("--benchmark_")) continue;
    out.emplace_back(argv[i]);
  }
  return out;
}

TempDir::TempDir(const std::string& prefix) {
  std::string tmpl = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

Child::~Child() { Kill(); }

Child& Child::operator=(Child&& o) noexcept {
  if (this != &o) {
    Kill();
    pid_ = std::exchange(o.pid_, -1);
    stdin_ = std::exchange(o.stdin_, -1);
    status_ = std::exchange(o.status_, std::nullopt);
  }
  return *this;
}

bool Child::Start(const std::vector<std::string>& argv, const SpawnOptions& o) {
  Kill();
  status_.reset();
  int p[2] = {-1, -1};
  if (o.stdinPipe && ::pipe2(p, O_CLOEXEC) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (o.ownGroup) ::setpgid(0, 0);
    const int in = o.stdinPipe ? p[0] : ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    const int out = o.stdoutFile.empty()
                        ? ::open("/dev/null", O_WRONLY)
                        : ::open(o.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    const int err = o.stderrFile.empty()
                        ? ::open("/dev/null", O_WRONLY)
                        : ::open(o.stderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(err, 2);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    if (!o.cwd.empty() && ::chdir(o.cwd.c_str()) != 0) ::_exit(127);
    for (const auto& [k, v] : o.env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (o.ownGroup) ::setpgid(pid, pid);  // either side may win the race; both set the same
  if (o.stdinPipe) {
    ::close(p[0]);
    stdin_ = p[1];
  }
  pid_ = pid;
  Ours().insert(pid);
  return true;
}

bool Child::Running() {
  if (pid_ <= 0 || status_) return false;
  int st = 0;
  if (::waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = st;
    return false;
  }
  return true;
}

bool Child::Send(const std::string& line) {
  if (stdin_ < 0) return false;
  const std::string l = line + "\n";
  return ::write(stdin_, l.data(), l.size()) == static_cast<ssize_t>(l.size());
}

void Child::CloseStdin() {
  if (stdin_ >= 0) ::close(stdin_);
  stdin_ = -1;
}

void Child::Signal(int sig) {
  if (Running()) ::kill(pid_, sig);
}

std::optional<int> Child::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

void Child::Kill() {
  CloseStdin();
  if (pid_ <= 0) return;
  if (Running()) {
    // The whole tree at once, as a power cut takes it: the descendants are found first, since
    // once the parent is gone they are no longer its children.
    const std::vector<pid_t> tree = Descendants(pid_);
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    for (pid_t d : tree) {
      ::kill(-d, SIGKILL);
      ::kill(d, SIGKILL);
    }
    int st = 0;
    if (::waitpid(pid_, &st, 0) == pid_) status_ = st;
    // The orphans come to this process (the subreaper): reap them so none stays a zombie.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (pid_t d : tree) {
      while (::kill(d, 0) == 0 && std::chrono::steady_clock::now() < end) {
        ::waitpid(d, nullptr, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  }
  Ours().erase(pid_);
  pid_ = -1;
}

int RunToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit) {
  Child c;
  if (!c.Start(argv, {})) return -1;
  const auto st = c.Wait(limit);
  if (!st) return -1;
  return WIFEXITED(*st) ? WEXITSTATUS(*st) : -1;
}

std::vector<pid_t> Descendants(pid_t pid) {
  std::vector<std::pair<pid_t, pid_t>> links;  // (pid, ppid)
  for (pid_t p : AllPids()) {
    pid_t pp = 0;
    char st = 0;
    if (ReadStat(p, &pp, &st)) links.emplace_back(p, pp);
  }
  std::vector<pid_t> out;
  std::vector<pid_t> frontier{pid};
  while (!frontier.empty()) {
    const pid_t parent = frontier.back();
    frontier.pop_back();
    for (const auto& [p, pp] : links) {
      if (pp == parent) {
        out.push_back(p);
        frontier.push_back(p);
      }
    }
  }
  return out;
}

void ReapOrphans() {
  const pid_t self = ::getpid();
  for (pid_t p : Descendants(self)) {
    pid_t pp = 0;
    char st = 0;
    if (Ours().count(p) == 0 && ReadStat(p, &pp, &st) && pp == self && st == 'Z') {
      ::waitpid(p, nullptr, WNOHANG);
    }
  }
}

ProcSample Sample(pid_t pid) {
  ProcSample s;
  const std::string dir = "/proc/" + std::to_string(pid);
  std::ifstream in(dir + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) s.rssKb = std::strtol(line.c_str() + 6, nullptr, 10);
    if (line.rfind("Threads:", 0) == 0) s.threads = std::atoi(line.c_str() + 8);
  }
  std::error_code ec;
  int fds = 0;
  for (fs::directory_iterator it(dir + "/fd", ec), end; !ec && it != end; it.increment(ec)) ++fds;
  if (!ec) s.fds = fds;
  for (pid_t p : AllPids()) {
    pid_t pp = 0;
    char st = 0;
    if (ReadStat(p, &pp, &st) && pp == pid) {
      ++s.children;
      if (st == 'Z') ++s.zombies;
    }
  }
  return s;
}

std::string Control::Status(int timeoutMs) const {
  return ControlRequest(socket_, "status", timeoutMs).value_or("");
}

std::string Control::Field(const std::string& s, const std::string& key) {
  const auto at = s.find("\"" + key + "\":");
  if (at == std::string::npos) return "";
  const auto from = at + key.size() + 3;
  return s.substr(from, s.find_first_of(",}", from) - from);
}

long long Control::Number(const std::string& key, long long def) const {
  const std::string v = Field(key);
  char* end = nullptr;
  const long long n = std::strtoll(v.c_str(), &end, 10);
  return v.empty() || *end != '\0' ? def : n;
}

bool Control::WaitFor(const std::string& key, const std::string& value,
                      std::chrono::milliseconds limit, std::chrono::milliseconds every) const {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!Interrupted()) {
    if (Field(key) == value) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(every);
  }
  return false;
}

std::optional<std::string> Control::Request(const std::string& line, int timeoutMs) const {
  return ControlRequest(socket_, line, timeoutMs);
}

SharedFrameName::~SharedFrameName() {
  ::shm_unlink(name_.c_str());
  ::sem_unlink((name_ + "_SMMutex").c_str());
}

bool Nap(std::chrono::milliseconds d) {
  const auto end = std::chrono::steady_clock::now() + d;
  while (!Interrupted()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(20)));
  }
  return false;
}

bool MakeDemoRoot(const fs::path& build, const fs::path& root, bool previews) {
  std::vector<std::string> argv = {(build / "tools/coinshell-demo/coinshell-demo").string(),
                                   "--out", root.string(), "--standin",
                                   (build / "tools/coinshell-standin/coinshell-standin").string()};
  if (!previews) argv.push_back("--no-previews");
  return RunToEnd(argv, std::chrono::seconds(300)) == 0;
}

bool StartPanelSim(const fs::path& build, const fs::path& root, int rate, const fs::path& outFile,
                   Child* sim) {
  SpawnOptions o;
  o.cwd = root;
  o.stdinPipe = true;
  o.stdoutFile = outFile;
  o.env = {{"QT_QPA_PLATFORM", "offscreen"}};
  std::error_code ec;
  fs::remove(CabinetPaths{root}.com2(), ec);
  if (!sim->Start({(build / "tools/coinshell-panelsim/coinshell-panelsim").string(), "--root",
                   root.string(), "--rate", std::to_string(rate), "--no-window"},
                  o)) {
    return false;
  }
  for (int i = 0; i < 200 && !Interrupted(); ++i) {
    if (fs::is_symlink(CabinetPaths{root}.com2())) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::optional<SimCounts> ReadSimCounts(const fs::path& outFile) {
  std::ifstream in(outFile);
  std::string line;
  std::optional<SimCounts> found;
  while (std::getline(in, line)) {
    unsigned long long f = 0, b = 0, l = 0;
    if (std::sscanf(line.c_str(),
                    "coinshell-panelsim: sent %llu frames (%llu bytes), %llu bytes lost", &f, &b,
                    &l) == 3) {
      found = SimCounts{f, b, l};
    }
  }
  return found;
}

bool StartShell(const fs::path& build, const fs::path& root, const Env& extra,
                const fs::path& stderrFile, Child* shell) {
  SpawnOptions o;
  o.cwd = CabinetPaths{root}.shellDir();
  o.stderrFile = stderrFile;
  o.env = {{"QT_QPA_PLATFORM", "offscreen"}, {"COINSHELL_SKINS", (build / "skins").string()}};
  o.env.insert(o.env.end(), extra.begin(), extra.end());
  return shell->Start(
      {(build / "src/app/coinshell").string(), "--root", root.string(), "--tvout=off"}, o);
}

std::optional<long long> TotalPlays(const fs::path& catalogue) {
  auto db = CatalogueDb::Open(catalogue);
  if (!db) return std::nullopt;
  const auto rows = db->ReadAllGames();
  if (!rows) return std::nullopt;
  long long sum = 0;
  for (const GameRow& r : *rows) sum += r.CREDITS.value_or(0);
  return sum;
}

}  // namespace cs::bench
