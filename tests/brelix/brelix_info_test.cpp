// brelix-info run as a user runs it, over a file and over a URL.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "fixture_writers.h"
#include "platform/file.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace brelixtest {
namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun RunTool(const testsupport::TempDir& dir, const std::string& arguments) {
  const std::string command =
      std::string(BRELIX_INFO) + " " + arguments + " >" + dir.Path("out") + " 2>" + dir.Path("err");
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", ""};
  platform::ReadWholeFile(dir.Path("out"), &run.out);
  platform::ReadWholeFile(dir.Path("err"), &run.err);
  return run;
}

TEST(BrelixInfo, JsonFiguresOverAFileAndAUrl) {
  std::string audio = Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776);
  Put(audio, 36, Xing({.flags = 0x0F, .frames = 1000, .bytes = 2000000, .quality = 57}) +
                     Lame("3.99", 'r', 0x24, 195, 128));
  const std::string bytes = Id3v2(3, 4086, false) + audio + Id3v1(1);
  testsupport::TempDir dir;
  const std::string path = dir.Write("track \"one\".mp3", bytes);
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", bytes);
  const std::string figures =
      "\"ok\":true,\"seconds\":12,\"sample_rate\":44100,\"frames_begin\":4096,\"frames_end\":999872,"
      "\"all_frames_size\":995776,\"bytes_per_sec\":76923,\"tags\":[{\"name\":\"ID3\",\"version\":1.1,"
      "\"offset\":999872,\"size\":128},{\"name\":\"ID3\",\"version\":2.3,\"offset\":0,\"size\":4096}],"
      "\"first_frame\":{\"mpeg_version\":\"1\",\"layer\":3,\"bitrate\":128000,\"sample_rate\":44100,"
      "\"channel_mode\":\"joint stereo\",\"offset\":4096,\"length\":417},\"vbr\":{\"kind\":\"Xing\","
      "\"offset\":4132,\"frames\":1000,\"bytes\":2000000,\"quality\":57,\"table_size\":100,\"lame\":"
      "{\"encoder\":\"LAME3.99r\",\"version\":3.99,\"vbr_method\":\"VBR2\",\"revision\":2,\"lowpass\":19500,"
      "\"bitrate\":128}}}\n";
  const ToolRun run = RunTool(dir, "--json '" + path + "' " + server.Url("/track.mp3"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{\"location\":\"" + dir.Folder() + "/track \\\"one\\\".mp3\"," + figures +
                         "{\"location\":\"" + server.Url("/track.mp3") + "\"," + figures);
}

TEST(BrelixInfo, UninspectableLocationsSayWhyAndExitWith1) {
  testsupport::TempDir dir;
  const std::string text = dir.Write("notes.txt", "no audio here");
  const std::string good = dir.Write("good.mp3", Frames(Header("FFFB9064"), 417, 3));
  const ToolRun run = RunTool(dir, good + " " + text + " " + dir.Path("missing.mp3"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "brelix-info: " + text + ": no MPEG audio frame found\nbrelix-info: " + dir.Path("missing.mp3") +
                         ": cannot open\n");
  EXPECT_NE(run.out.find("bytes per second  16000"), std::string::npos) << run.out;
  EXPECT_EQ(RunTool(dir, "").status, 2);
}

}  // namespace
}  // namespace brelixtest
