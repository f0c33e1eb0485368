#include "x_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/file.h"
#include "platform/sync.h"

#include <X11/Xlib.h>

extern char** environ;

namespace apptest {
namespace {

// The program `name` found on PATH; empty when there is none.
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = folder + "/" + name;
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::vector<char*> CStrings(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Runs `argv` to its end and returns what it wrote to standard output.
std::string RunCapturing(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args = CStrings(argv);
  std::vector<char*> env = CStrings(environment);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string output;
  if (spawned == 0) {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) output.clear();
  }
  close(out[0]);
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& environment,
                                                  const std::string& logPath, int keepFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
  std::vector<char*> args = CStrings(argv);
  std::vector<char*> env = CStrings(environment);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return nullptr;
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() {
  if (exited_) return;
  kill(pid_, SIGTERM);
  int status = 0;
  if (!WaitExit(5000, &status)) {
    kill(pid_, SIGKILL);
    WaitExit(5000, &status);
  }
}

void ChildProcess::Reap(int rawStatus) {
  exited_ = true;
  status_ = WIFEXITED(rawStatus) ? WEXITSTATUS(rawStatus) : 128 + WTERMSIG(rawStatus);
}

bool ChildProcess::Running() {
  if (exited_) return false;
  int rawStatus = 0;
  if (waitpid(pid_, &rawStatus, WNOHANG) == pid_) Reap(rawStatus);
  return !exited_;
}

bool ChildProcess::WaitExit(int timeoutMs, int* status) {
  const uint64_t deadline = platform::MonotonicMs() + static_cast<uint64_t>(timeoutMs);
  while (Running()) {
    if (platform::MonotonicMs() > deadline) return false;
    platform::SleepMs(20);
  }
  *status = status_;
  return true;
}

std::unique_ptr<XDesktop> XDesktop::Start(bool withTray, const std::string& logFolder, std::string* why) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) {
    *why = "Xvfb is not installed (scripts/setup installs it)";
    return nullptr;
  }
  std::unique_ptr<XDesktop> desktop(new XDesktop());
  int displayPipe[2];
  if (pipe2(displayPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe for Xvfb";
    return desktop;
  }
  // Xvfb picks a free display itself and writes its number to descriptor 3.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  desktop->xvfb_ = ChildProcess::Start({xvfb, "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                                       environment, logFolder + "/xvfb.log", displayPipe[1]);
  close(displayPipe[1]);
  std::string number;
  pollfd ready{displayPipe[0], POLLIN, 0};
  while (poll(&ready, 1, 30000) > 0) {
    char c = 0;
    if (read(displayPipe[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(displayPipe[0]);
  if (desktop->xvfb_ == nullptr || number.empty()) {
    ADD_FAILURE() << "Xvfb did not start (see " << logFolder << "/xvfb.log)";
    return desktop;
  }
  desktop->display_ = ":" + number;
  if (!withTray) return desktop;

  const std::string trayer = FindProgram("trayer");
  if (trayer.empty()) {
    ADD_FAILURE() << "trayer is not installed (scripts/setup installs it)";
    return desktop;
  }
  desktop->trayer_ = ChildProcess::Start({trayer, "--edge", "bottom", "--align", "right", "--widthtype", "request",
                                          "--height", "32", "--transparent", "false"},
                                         desktop->Environment({}), logFolder + "/trayer.log");
  const uint64_t deadline = platform::MonotonicMs() + 60000;
  while (!desktop->HasSystemTray()) {
    if (platform::MonotonicMs() > deadline || !desktop->trayer_->Running()) {
      std::string log;
      platform::ReadWholeFile(logFolder + "/trayer.log", &log);
      ADD_FAILURE() << "trayer did not become the system tray; its output:\n" << log;
      break;
    }
    platform::SleepMs(100);
  }
  return desktop;
}

bool XDesktop::HasSystemTray() const {
  ::Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) return false;
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
  const bool owned = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
  XCloseDisplay(display);
  return owned;
}

XDesktop::~XDesktop() {
  trayer_.reset();
  xvfb_.reset();
}

std::vector<std::string> XDesktop::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("DISPLAY=", 0) == 0 || variable.rfind("SDL_VIDEODRIVER=", 0) == 0 ||
        variable.rfind("SDL_AUDIODRIVER=", 0) == 0) {
      continue;
    }
    environment.push_back(variable);
  }
  environment.push_back("DISPLAY=" + display_);
  environment.insert(environment.end(), extra.begin(), extra.end());
  return environment;
}

std::string XDesktop::Xdotool(const std::vector<std::string>& arguments) const {
  static const std::string xdotool = FindProgram("xdotool");
  if (xdotool.empty()) {
    ADD_FAILURE() << "xdotool is not installed (scripts/setup installs it)";
    return {};
  }
  std::vector<std::string> argv{xdotool};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunCapturing(argv, Environment({}));
}

std::vector<std::string> XDesktop::VisibleWindows(pid_t pid) const {
  return Lines(Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}));
}

std::vector<std::string> XDesktop::WindowsNamed(const std::string& name) const {
  std::vector<std::string> named;
  for (const std::string& window : Lines(Xdotool({"search", "--name", "."}))) {
    if (Xdotool({"getwindowname", window}) == name + "\n") named.push_back(window);
  }
  return named;
}

RECT XDesktop::Geometry(const std::string& window) const {
  RECT rc{0, 0, 0, 0};
  int width = 0;
  int height = 0;
  for (const std::string& line : Lines(Xdotool({"getwindowgeometry", "--shell", window}))) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const int value = std::atoi(line.c_str() + equals + 1);
    if (key == "X") rc.left = value;
    if (key == "Y") rc.top = value;
    if (key == "WIDTH") width = value;
    if (key == "HEIGHT") height = value;
  }
  rc.right = rc.left + width;
  rc.bottom = rc.top + height;
  return rc;
}

void XDesktop::Click(const std::string& window, int x, int y, int button, int count) const {
  Xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "--repeat",
           std::to_string(count), "--delay", "120", std::to_string(button)});
}

void XDesktop::Key(const std::string& window, const std::string& keys) const {
  Xdotool({"windowfocus", window});
  platform::SleepMs(200);
  Xdotool({"key", keys});
}

}  // namespace apptest
