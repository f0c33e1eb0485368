// The player on the D-Bus session bus as MPRIS clients see it, called with
// gdbus. Runs under dbus-run-session (see CMakeLists.txt), so the bus is
// this test's own.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app_harness.h"
#include "platform/file.h"

extern char** environ;

namespace apptest {
namespace {

constexpr char kPlayer[] = "--dest org.mpris.MediaPlayer2.tarvoni --object-path /org/mpris/MediaPlayer2";

class MprisTest : public MainWindowTest {
 protected:
  ~MprisTest() override { server_.ReleaseStalls(); }

  // Rows whose requests wait for an answer that comes only at the end, and
  // the player offered on the bus.
  void OpenOnTheBus(const std::vector<std::string>& titles) {
    for (const std::string& title : titles) server_.Inject("/" + title + ".mp3", testsupport::Fault::kStallHeaders);
    OpenRows(titles);
    box_->OfferMediaControls();
  }
  // gdbus with `arguments` on the session bus: what it printed, with its exit status first.
  std::string Gdbus(const std::string& arguments) {
    const std::string out = logs_.Path("gdbus.out");
    const int status = std::system(("gdbus " + arguments + " >'" + out + "' 2>&1").c_str());
    std::string text;
    platform::ReadWholeFile(out, &text);
    return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + " " + text;
  }
  std::string Call(const std::string& method) {
    return Gdbus(std::string("call --session ") + kPlayer + " --method org.mpris.MediaPlayer2." + method);
  }
  std::string Property(const std::string& name) {
    return Gdbus(std::string("call --session ") + kPlayer +
                 " --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player " + name);
  }

  testsupport::TempDir logs_;
};

TEST_F(MprisTest, MetadataOfTheTrackInHandAndNextAndPreviousStepTheRows) {
  OpenOnTheBus({"first", "second"});
  EXPECT_EQ(Property("PlaybackStatus"), "0 (<'Stopped'>,)\n");
  Activate(0);
  PumpFor(50);
  const std::string metadata = Property("Metadata");
  EXPECT_NE(metadata.find("'xesam:title': <'first'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'xesam:album': <'" + TabNames()[0] + "'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'xesam:url': <'" + server_.Url("/first.mp3") + "'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'mpris:trackid': <objectpath '/org/tarvoni/track/"), std::string::npos) << metadata;
  EXPECT_EQ(Property("PlaybackStatus"), "0 (<'Playing'>,)\n") << "locating counts as playing";

  EXPECT_EQ(Call("Player.Next"), "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return TrackUrl() == server_.Url("/second.mp3"); }));
  EXPECT_EQ(Call("Player.Previous"), "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return TrackUrl() == server_.Url("/first.mp3"); }));
  EXPECT_EQ(List().GetCurSel(), 0) << "the window shows the row the desktop chose";
}

TEST_F(MprisTest, PlayPauseAndVolumeActAsTheWindowsButtonsAndSlider) {
  OpenOnTheBus({"first"});
  Activate(0);
  EngineMessage(engine::kMessagePlaying, 0);  // the output started
  ASSERT_TRUE(PauseShown());
  EXPECT_EQ(Call("Player.PlayPause"), "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return PlayShown(); }));
  EXPECT_EQ(Property("PlaybackStatus"), "0 (<'Paused'>,)\n");
  EXPECT_EQ(Call("Player.PlayPause"), "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return PauseShown(); }));
  EXPECT_EQ(Property("PlaybackStatus"), "0 (<'Playing'>,)\n");

  EXPECT_EQ(Gdbus(std::string("call --session ") + kPlayer +
                  " --method org.freedesktop.DBus.Properties.Set org.mpris.MediaPlayer2.Player Volume '<0.4>'"),
            "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return ControlOf<CSliderUI>("VolumeSlider")->GetValue() == 40; }));
  EXPECT_EQ(Property("Volume"), "0 (<0.40000000000000002>,)\n");
}

// gdbus monitor prints the signals of the player's name as they come.
TEST_F(MprisTest, ATrackChangeIsAnnouncedWithPropertiesChanged) {
  OpenOnTheBus({"first", "second"});
  Activate(0);
  PumpFor(50);
  const std::string watched = logs_.Path("monitor.out");
  std::vector<std::string> argv = {"sh", "-c", "exec gdbus monitor --session --dest org.mpris.MediaPlayer2.tarvoni >'" +
                                                   watched + "' 2>&1"};
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t monitor = 0;
  ASSERT_EQ(posix_spawnp(&monitor, "sh", nullptr, nullptr, args.data(), environ), 0);
  auto seen = [&] {
    std::string text;
    platform::ReadWholeFile(watched, &text);
    return text;
  };
  ASSERT_TRUE(PumpUntil([&] { return seen().find("Monitoring signals") != std::string::npos; })) << seen();
  Activate(1);
  EXPECT_TRUE(PumpUntil([&] {
    const std::string text = seen();
    return text.find("PropertiesChanged") != std::string::npos && text.find("'xesam:title': <'second'>") != std::string::npos;
  })) << seen();
  kill(monitor, SIGTERM);
  waitpid(monitor, nullptr, 0);
}

TEST_F(MprisTest, RaiseShowsTheHiddenWindowAndQuitEndsTheLoop) {
  OpenOnTheBus({"first"});
  ::ShowWindow(window_, SW_HIDE);
  EXPECT_EQ(Call("Raise"), "0 ()\n");
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window_) != FALSE; }));
  EXPECT_EQ(Call("Quit"), "0 ()\n");
  EXPECT_FALSE(PumpUntil([] { return false; }, 10000));
  EXPECT_TRUE(quitPosted_);
}

TEST_F(MprisTest, WithoutASessionBusOneLineIsSaidAndThePlayerRunsOn) {
  const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS") ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + logs_.Path("no-bus")).c_str(), 1);
  OpenRows({"first"});
  testing::internal::CaptureStderr();
  box_->OfferMediaControls();
  const std::string said = testing::internal::GetCapturedStderr();
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  EXPECT_EQ(said.rfind("tarvoni: media keys and the desktop's player controls are unavailable (no session bus: ", 0), 0u)
      << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  Click("playall");
  EXPECT_EQ(TrackUrl(), server_.Url("/first.mp3"));
}

}  // namespace
}  // namespace apptest
