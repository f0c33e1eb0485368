// Every program answers --help and --version the same way, and says on
// standard error what kept it from its work, with a non-zero exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>

#include "platform/file.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

// Runs `command` (shell text) with no display and its output captured.
ProgramRun RunProgram(const testsupport::TempDir& dir, const std::string& command) {
  const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + command + " >'" +
                           dir.Path("out") + "' 2>'" + dir.Path("err") + "' </dev/null";
  const int raw = std::system(line.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  platform::ReadWholeFile(dir.Path("out"), &run.out);
  platform::ReadWholeFile(dir.Path("err"), &run.err);
  return run;
}

struct Program {
  const char* name;
  const char* path;
};

constexpr Program kPrograms[] = {
    {"tarvoni", TARVONI_PROGRAM},
    {"brelix-info", BRELIX_INFO},
    {"tarvoni-catalogue", TARVONI_CATALOGUE},
    {"skin-preview", SKIN_PREVIEW},
    {"demo-vendor-server", DEMO_VENDOR_SERVER},
    {"make-demo-library", MAKE_DEMO_LIBRARY},
};

TEST(Programs, HelpShowsUsageAndVersionOneVersionForAllBothExitingZero) {
  testsupport::TempDir dir;
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    const ProgramRun help = RunProgram(dir, std::string(program.path) + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind(std::string("usage: ") + program.name + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    const ProgramRun version = RunProgram(dir, std::string(program.path) + " --version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string(program.name) + " " TARVONI_VERSION "\n");
  }
  const ProgramRun preview = RunProgram(dir, SKIN_PREVIEW " --help");
  for (const char* layout : {"MusicBox.xml", "menutray.xml", "aboutDlg.xml"}) {
    EXPECT_NE(preview.out.find(layout), std::string::npos) << "skin-preview --help lists " << layout;
  }
}

TEST(Programs, FailuresAreSaidOnStandardErrorWithTheirExitStatus) {
  testsupport::TempDir dir;
  testsupport::TestHttpServer server;
  auto closed = std::make_unique<testsupport::TestHttpServer>();
  const std::string refused = closed->Url("/gone.mp3");
  closed.reset();
  const std::string missing = dir.Path("missing.mp3");
  // Command, exit status, what standard error says.
  const std::tuple<std::string, int, std::string> cases[] = {
      {TARVONI_PROGRAM, 1, "tarvoni: no display to show the player on"},
      {SKIN_PREVIEW " MusicBox.xml", 1, "skin-preview: no display to show the layout on"},
      {TARVONI_PROGRAM " --play-everything", 2, "tarvoni: unknown argument --play-everything\nusage: tarvoni"},
      {SKIN_PREVIEW " --png", 2, "skin-preview: --png needs a value\n"},
      {BRELIX_INFO " " + server.Url("/missing.mp3"), 1,
       "brelix-info: " + server.Url("/missing.mp3") + ": cannot open: the server answers HTTP status 404\n"},
      {BRELIX_INFO " " + refused, 1, "brelix-info: " + refused + ": cannot open: connection refused\n"},
      {BRELIX_INFO " " + missing, 1, "brelix-info: " + missing + ": cannot open: No such file or directory\n"},
      {BRELIX_INFO " --verbose", 2, "brelix-info: unknown option --verbose\nusage: brelix-info"},
      {MAKE_DEMO_LIBRARY, 2, "make-demo-library: no output folder given\nusage: make-demo-library"},
      {DEMO_VENDOR_SERVER " --port 70000", 2, "demo-vendor-server: not a port number: 70000\n"},
      {TARVONI_CATALOGUE " ls " + missing, 1, "tarvoni-catalogue: " + missing + ": no such file\n"},
  };
  for (const auto& [command, status, said] : cases) {
    SCOPED_TRACE(command);
    const ProgramRun run = RunProgram(dir, command);
    EXPECT_EQ(run.status, status);
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
  }
}

}  // namespace
