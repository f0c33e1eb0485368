// tarvoni-play run as its users run it, judged by what is heard
// (heard_output.h) and what it says.
#include <gtest/gtest.h>

#include "heard_output.h"
#include "platform/file.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace enginetest {
namespace {

TEST(PlayTool, PlaysATrackWholeThenNamesTheAddressThatFailedAndExits1) {
  const std::string track = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 2}).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", track);
  testsupport::TempDir dir;
  ForgetHeard();
  const int status = testsupport::RunProgram(TARVONI_PLAY, {server.Url("/track.mp3"), server.Url("/missing.mp3")},
                                             dir.Path("out"), dir.Path("err"));
  const std::vector<int16_t> heard = Heard(true);
  std::string out, err;
  platform::ReadWholeFile(dir.Path("out"), &out);
  platform::ReadWholeFile(dir.Path("err"), &err);
  EXPECT_EQ(status, 1);
  // (SDL's disk driver says on standard error that it is the one in use.)
  EXPECT_NE(err.find("tarvoni-play: " + server.Url("/missing.mp3") + ": HTTP status 404\n"), std::string::npos) << err;
  EXPECT_EQ(err.find(server.Url("/track.mp3")), std::string::npos) << err;
  EXPECT_NE(out.find("00:01 / 00:02\n即将播放下一首舞曲\n正在定位舞曲...\n"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("定位文件失败,即将播放下一首舞曲\n")) << out;
  const std::vector<int16_t> whole = DecodeInPieces(track, track.size());
  EXPECT_EQ(HeardInOrder(heard, whole), static_cast<ptrdiff_t>(whole.size()));
}

}  // namespace
}  // namespace enginetest
