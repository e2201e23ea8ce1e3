// coinshell-ctl: asks a running shell for its state, a screenshot, or to close.
//   coinshell-ctl --root DIR status | screenshot PATH | quit | open WINDOW
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/control_socket.h"
#include "platform/drive_map.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell-ctl [--root DIR] status | screenshot PATH | quit | open WINDOW\n"
               "       (the root defaults to $COINSHELL_ROOT)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  if (const char* env = std::getenv("COINSHELL_ROOT")) root = env;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else {
      words.push_back(a);
    }
  }
  if (root.empty() || words.empty()) return Usage();

  std::string request;
  const std::string& cmd = words[0];
  if ((cmd == "status" || cmd == "quit") && words.size() == 1) {
    request = cmd;
  } else if (cmd == "screenshot" && words.size() == 2) {
    request = "screenshot " + std::filesystem::absolute(words[1]).string();
  } else if (cmd == "open" && words.size() == 2) {
    request = "open " + words[1];
  } else {
    return Usage();
  }

  const cs::DriveMap map(root);
  const auto reply = cs::ControlRequest(map.IpcDir() / "control", request, 15000);
  if (!reply) {
    std::fprintf(stderr, "coinshell-ctl: no shell answers on %s\n",
                 (map.IpcDir() / "control").c_str());
    return 1;
  }
  std::fputs(reply->c_str(), stdout);
  return reply->rfind("error:", 0) == 0 ? 1 : 0;
}
