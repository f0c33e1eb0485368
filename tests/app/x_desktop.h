// A desktop of our own for end-to-end tests: an Xvfb display with, when
// asked, trayer as the system tray; programs started on it; xdotool to find
// their windows and to click and type as a user does.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "uilib/win_types.h"

namespace apptest {

// A program started by a test. Destroying it ends the program (by its id)
// if it still runs.
class ChildProcess {
 public:
  // Starts `argv` with exactly `environment`; its output goes to `logPath`.
  // `keepFd`, when not negative, is handed to the program as descriptor 3.
  // Null when it cannot be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv,
                                             const std::vector<std::string>& environment, const std::string& logPath,
                                             int keepFd = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  // Waits for the program to end; false when it still runs after `timeoutMs`.
  // `*status` is its exit code, or 128 + the signal that ended it.
  bool WaitExit(int timeoutMs, int* status);

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  void Reap(int rawStatus);

  pid_t pid_;
  bool exited_ = false;
  int status_ = 0;
};

class XDesktop {
 public:
  // Starts Xvfb (and trayer when `withTray`). Null, with the reason in
  // `*why`, when Xvfb is not installed; a desktop that fails later fails
  // the test.
  static std::unique_ptr<XDesktop> Start(bool withTray, const std::string& logFolder, std::string* why);
  ~XDesktop();

  const std::string& Display() const { return display_; }
  // A tray host owns the system tray selection of the screen.
  bool HasSystemTray() const;
  // This process's environment for a program on this desktop: DISPLAY set,
  // no video or sound driver chosen, `extra` ("NAME=value") added.
  std::vector<std::string> Environment(const std::vector<std::string>& extra) const;

  // Runs xdotool with `arguments` on this desktop; its standard output, or
  // empty when it fails.
  std::string Xdotool(const std::vector<std::string>& arguments) const;
  // The windows of `pid` that are mapped.
  std::vector<std::string> VisibleWindows(pid_t pid) const;
  // Every window whose name is exactly `name`.
  std::vector<std::string> WindowsNamed(const std::string& name) const;
  RECT Geometry(const std::string& window) const;
  // Clicks `button` (1 left, 3 right) `count` times at x, y of `window`.
  void Click(const std::string& window, int x, int y, int button = 1, int count = 1) const;
  void Key(const std::string& window, const std::string& keys) const;

 private:
  XDesktop() = default;

  std::string display_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> trayer_;
};

}  // namespace apptest
