// libbrelix.so as a program loads it (the eight exports and their
// lifecycle), and brelix-info run as a user runs it, over a file and a URL.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <thread>
#include <tuple>
#include <vector>

#include "brelix/brelix.h"
#include "bytes_file.h"
#include "fixture_writers.h"
#include "platform/dynlib.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "support/http_test_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace brelixtest {
namespace {

struct Brelix {
  std::unique_ptr<platform::DynamicLibrary> library = platform::DynamicLibrary::Load(BRELIX_LIBRARY);
  InitTagObjectFunc init = reinterpret_cast<InitTagObjectFunc>(Export("InitTagObject"));
  UnInitTagObjectFunc uninit = reinterpret_cast<UnInitTagObjectFunc>(Export("UnInitTagObject"));

  // The export `name`; a missing library or export fails the test.
  void* Export(const char* name) {
    void* symbol = library ? library->Symbol(name) : nullptr;
    EXPECT_TRUE(symbol) << BRELIX_LIBRARY << ": " << name;
    return symbol;
  }
  // What the six getters answer now.
  Figures Current() {
    auto figure = [this](const char* name) { return reinterpret_cast<BrelixFigureFunc>(Export(name))(); };
    return {figure("GetFramesBegin"), figure("GetFramesEnd"), figure("GetAllFramesSize"),
            figure("GetBytesOneSec"), figure("GetMusicTime"), figure("GetSmaplesRate")};
  }
};

TEST(Exports, GettersAnswerZeroWithoutACurrentObject) {
  const std::string audio = Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776);
  BytesFile file(Id3v2(3, 4086, false) + audio + Id3v1(1));
  Brelix brelix;
  ASSERT_TRUE(brelix.library);
  EXPECT_EQ(brelix.Current(), Figures{}) << "before the first InitTagObject";
  EXPECT_TRUE(brelix.uninit()) << "also with nothing to release";
  ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
  EXPECT_EQ(brelix.Current(), (Figures{4096, 999872, 995776, 16000, 62, 44100}));
  EXPECT_FALSE(brelix.init("/nonexistent/track.mp3", true));
  EXPECT_EQ(brelix.Current(), Figures{}) << "the failed InitTagObject released the previous object first";
  ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
  EXPECT_TRUE(brelix.uninit());
  EXPECT_EQ(brelix.Current(), Figures{});
  EXPECT_FALSE(brelix.init(nullptr, true));
}

// The player passes file names in UTF-8; on Windows, names in the ANSI code
// page (what a narrow Windows program has) are read too.
TEST(Exports, ChineseFileNameOpensFromUtf8AndOnWindowsFromTheAnsiCodePage) {
  testsupport::TempDir dir;
  const std::string audio = Frames(Header("FFFB9064"), 417, 10);
  const std::string utf8Path = dir.Path("夜色霓虹 舞曲.mp3");
  ASSERT_TRUE(platform::ReplaceFileContents(utf8Path, audio));
  Brelix brelix;
  ASSERT_TRUE(brelix.library);
  EXPECT_TRUE(brelix.init(utf8Path.c_str(), true));
  EXPECT_EQ(brelix.Current().sampleRate, 44100u);
#ifdef _WIN32
  // The test run runs this test once more under the Chinese code page (GBK).
  if (const char* page = std::getenv("TARVONI_TEST_ANSI_CODE_PAGE")) {
    ASSERT_EQ(GetACP(), std::stoul(page));
  }
  // A name the code page can write: Chinese under GBK, accented Latin else.
  const std::wstring name = GetACP() == 936 ? L"\u821E\u66F2.mp3" : L"caf\u00E9.mp3";
  char ansi[64] = {};
  BOOL lossy = FALSE;
  ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy), 0);
  ASSERT_FALSE(lossy);
  ASSERT_FALSE(platform::IsValidUtf8(ansi)) << "the test needs bytes that are not UTF-8";
  std::wstring folder(dir.Folder().begin(), dir.Folder().end());  // the temporary folder's name is ASCII
  HANDLE file = CreateFileW((folder + L"/" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, audio.data(), static_cast<DWORD>(audio.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(brelix.uninit());
  EXPECT_TRUE(brelix.init((dir.Folder() + "/" + ansi).c_str(), true));
  EXPECT_EQ(brelix.Current().sampleRate, 44100u);
#endif
}

TEST(Exports, UrlOpenFailuresReportAfterTheRetriesAndLeaveNoObject) {
  Brelix brelix;
  ASSERT_TRUE(brelix.library);
  testsupport::TestHttpServer server;
  const std::string audio = Frames(Header("FFFB9064"), 417, 20);
  server.Serve("/ok.mp3", audio);
  server.Serve("/unsized.mp3", audio);
  server.Inject("/unsized.mp3", testsupport::Fault::kCloseDelimited);
  server.Serve("/gzip.mp3", audio);
  server.Inject("/gzip.mp3", testsupport::Fault::kGzip);
  auto closed = std::make_unique<testsupport::TestHttpServer>();
  const std::string refused = closed->Url("/gone.mp3");
  closed.reset();
  // Location, report, requests made.
  const std::tuple<std::string, const char*, size_t> cases[] = {
      {server.Url("/missing.mp3"), "TIP: InitStream___HttpSendRequest Error\n", 3},
      {server.Url("/unsized.mp3"), "TIP: InitStream___HttpQueryInfo Error\n", 1},
      {server.Url("/gzip.mp3"), "TIP: InitStream___HttpSendRequest Error\n", 3},  // never asked for
      {refused, "TIP: InitStream___HttpSendRequest Error\n", 0},
      {"ftp://127.0.0.1/ok.mp3", "TIP: InitStream___InternetConnect Error\n", 0},
      {"http://", "TIP: InitStream___InternetConnect Error\n", 0}};
  for (const auto& [location, tip, requests] : cases) {
    SCOPED_TRACE(location);
    ASSERT_TRUE(brelix.init(server.Url("/ok.mp3").c_str(), false));
    server.ClearRequests();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(brelix.init(location.c_str(), false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), tip);
    EXPECT_EQ(server.RequestCount(), requests);
    EXPECT_EQ(brelix.Current(), Figures{});
  }
}

TEST(Exports, LoadingAndUnloadingPerTrackLeaksNothing) {
  BytesFile file(Frames(Header("FFFB9064"), 417, 10));
  for (int track = 0; track < 3; ++track) {
    Brelix brelix;
    ASSERT_TRUE(brelix.library);
    ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
    // Every other track is unloaded with its object still current.
    if (track % 2 == 0) brelix.uninit();
  }
}

// brelix-info run with `arguments`: its exit status, output and errors.
struct ToolRun {
  ToolRun(const testsupport::TempDir& dir, const std::vector<std::string>& arguments) {
    status = testsupport::RunProgram(BRELIX_INFO, arguments, dir.Path("out"), dir.Path("err"));
    platform::ReadWholeFile(dir.Path("out"), &out);
    platform::ReadWholeFile(dir.Path("err"), &err);
  }
  int status;
  std::string out, err;
};

TEST(BrelixInfo, JsonFiguresOverAFileAndAUrl) {
  std::string audio = Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776);
  Put(audio, 36, Xing({.flags = 0x0F, .frames = 1000, .bytes = 2000000, .quality = 57}) + Lame("3.99", 'r', 0x24));
  const std::string bytes = Id3v2(3, 4086, false) + audio + Id3v1(1);
  testsupport::TempDir dir;
#ifdef _WIN32
  // A Windows file name cannot hold a double quote.
  const std::string name = "track 'one'.mp3", jsonName = name;
#else
  const std::string name = "track \"one\".mp3", jsonName = "track \\\"one\\\".mp3";
#endif
  const std::string path = dir.Write(name, bytes);
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
  const ToolRun run(dir, {"--json", path, server.Url("/track.mp3")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{\"location\":\"" + dir.Folder() + "/" + jsonName + "\"," + figures + "{\"location\":\"" +
                         server.Url("/track.mp3") + "\"," + figures);
}

// Among them a FIFO nobody writes to (opening it must not wait for a
// writer), a device, and files too short for the frame their first bytes
// announce: a header cut off by the end, a whole header and no frame.
TEST(BrelixInfo, UninspectableLocationsSayWhyAndExitWith1) {
  testsupport::TempDir dir;
  const std::string text = dir.Write("notes.txt", "no audio here");
  const std::string good = dir.Write("good.mp3", Frames(Header("FFFB9064"), 417, 3));
  const std::string cut = dir.Write("cut.mp3", Header("FFFB9064").substr(0, 3));
  const std::string bare = dir.Write("bare.mp3", Header("FFFB9064"));
  const std::string folder = dir.Path("舞曲.mp3");
  ASSERT_TRUE(platform::CreateFolders(folder, nullptr));
  std::vector<std::string> locations = {good, text, dir.Path("missing.mp3"), cut, bare, folder};
  std::string expected = "brelix-info: " + text + ": no MPEG audio frame found\nbrelix-info: " +
                         dir.Path("missing.mp3") + ": cannot open: No such file or directory\nbrelix-info: " + cut +
                         ": no MPEG audio frame found\nbrelix-info: " + bare + ": no MPEG audio frame found\n" +
                         "brelix-info: " + folder + ": a folder, not a regular file\n";
#ifndef _WIN32  // FIFOs and device files
  const std::string fifo = dir.Path("fifo.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  locations.insert(locations.end(), {fifo, "/dev/null"});
  expected += "brelix-info: " + fifo + ": a FIFO, not a regular file\nbrelix-info: /dev/null: a device, not a regular file\n";
#else  // a file that another program holds open to itself, under a Chinese name
  const std::string held = dir.Path("夜色霓虹.mp3");
  ASSERT_TRUE(platform::ReplaceFileContents(held, Frames(Header("FFFB9064"), 417, 3)));
  wchar_t wideHeld[MAX_PATH] = {};
  ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, held.c_str(), -1, wideHeld, MAX_PATH), 0);
  HANDLE holder = CreateFileW(wideHeld, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  locations.push_back(held);
  expected += "brelix-info: " + held + ": cannot open: Permission denied\n";
#endif
  const ToolRun run(dir, locations);
#ifdef _WIN32
  CloseHandle(holder);
#endif
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, expected);
  EXPECT_NE(run.out.find("bytes per second  16000"), std::string::npos) << run.out;
  EXPECT_EQ(ToolRun(dir, {}).status, 2);
}

// A server that never answers, stalls every response after 5 KB or drips 3
// bytes a second cannot hold an inspection: InitTagObject and brelix-info
// give up within 10 s, retries included. The cases wait side by side.
TEST(BoundedWaits, HungStalledOrDrippingServerIsGivenUpWithinTenSeconds) {
  using testsupport::Fault;
  testsupport::TestHttpServer server;
  const std::tuple<const char*, Fault, size_t> faults[] = {
      {"/hung.mp3", Fault::kStallHeaders, 0}, {"/stalled.mp3", Fault::kStall, 5 * 1024}, {"/drip.mp3", Fault::kTrickle, 3}};
  for (const auto& [path, fault, amount] : faults) {
    server.Serve(path, Frames(Header("FFFB9064"), 417, 100));
    server.Inject(path, fault, amount);
  }
  Brelix brelix;
  ASSERT_TRUE(brelix.library);
  struct Outcome {
    std::string what;
    int status = -1;
    uint64_t ms = 0;
  };
  std::vector<Outcome> outcomes(std::size(faults) + 1);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < std::size(faults); ++i) {
    threads.emplace_back([&, i] {
      const testsupport::TempDir dir;
      const uint64_t start = platform::MonotonicMs();
      const ToolRun run(dir, {server.Url(std::get<0>(faults[i]))});
      outcomes[i] = {"brelix-info " + run.err, run.status, platform::MonotonicMs() - start};
    });
  }
  threads.emplace_back([&] {
    const uint64_t start = platform::MonotonicMs();
    const bool inspected = brelix.init(server.Url("/hung.mp3").c_str(), false);
    outcomes.back() = {"InitTagObject", inspected ? 0 : 1, platform::MonotonicMs() - start};
  });
  for (std::thread& thread : threads) thread.join();
  for (const Outcome& outcome : outcomes) {
    EXPECT_EQ(outcome.status, 1) << outcome.what;
    EXPECT_LT(outcome.ms, 10000u) << outcome.what;
  }
}

}  // namespace
}  // namespace brelixtest
