// libbrelix.so as a program loads it: the eight exports and their lifecycle.
#include <gtest/gtest.h>

#include "brelix/brelix.h"
#include "bytes_file.h"
#include "fixture_writers.h"
#include "platform/dynlib.h"

namespace brelixtest {
namespace {

struct Brelix {
  std::unique_ptr<platform::DynamicLibrary> library = platform::DynamicLibrary::Load(BRELIX_LIBRARY);
  InitTagObjectFunc init = Get<InitTagObjectFunc>("InitTagObject");
  UnInitTagObjectFunc uninit = Get<UnInitTagObjectFunc>("UnInitTagObject");
  BrelixFigureFunc figures[6] = {Get<BrelixFigureFunc>("GetMusicTime"),   Get<BrelixFigureFunc>("GetSmaplesRate"),
                                 Get<BrelixFigureFunc>("GetFramesBegin"), Get<BrelixFigureFunc>("GetFramesEnd"),
                                 Get<BrelixFigureFunc>("GetAllFramesSize"), Get<BrelixFigureFunc>("GetBytesOneSec")};

  template <typename F>
  F Get(const char* name) {
    EXPECT_TRUE(library) << BRELIX_LIBRARY;
    F function = library ? reinterpret_cast<F>(library->Symbol(name)) : nullptr;
    EXPECT_TRUE(function) << name;
    return function;
  }
  // Time, sample rate, begin, end, size, bytes per second.
  std::vector<uint32_t> Figures() const {
    std::vector<uint32_t> values;
    for (BrelixFigureFunc f : figures) values.push_back(f());
    return values;
  }
};

const std::vector<uint32_t> kNone(6, 0);

TEST(Exports, GettersAnswerZeroWithoutACurrentObject) {
  const std::string audio = Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776);
  BytesFile file(Id3v2(3, 4086, false) + audio + Id3v1(1));
  Brelix brelix;
  ASSERT_TRUE(brelix.library);
  EXPECT_EQ(brelix.Figures(), kNone) << "before the first InitTagObject";
  EXPECT_TRUE(brelix.uninit()) << "also with nothing to release";
  ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
  EXPECT_EQ(brelix.Figures(), (std::vector<uint32_t>{62, 44100, 4096, 999872, 995776, 16000}));
  EXPECT_FALSE(brelix.init("/nonexistent/track.mp3", true));
  EXPECT_EQ(brelix.Figures(), kNone) << "the failed InitTagObject released the previous object first";
  ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
  EXPECT_TRUE(brelix.uninit());
  EXPECT_EQ(brelix.Figures(), kNone);
  EXPECT_FALSE(brelix.init(nullptr, true));
}

TEST(Exports, LoadingAndUnloadingPerTrackLeaksNothing) {
  BytesFile file(Frames(Header("FFFB9064"), 417, 10));
  for (int track = 0; track < 3; ++track) {
    Brelix brelix;
    ASSERT_TRUE(brelix.library);
    ASSERT_TRUE(brelix.init(file.Path().c_str(), true));
    EXPECT_EQ(brelix.figures[5](), 16000u);
    // Every other track is unloaded with its object still current.
    if (track % 2 == 0) brelix.uninit();
  }
}

}  // namespace
}  // namespace brelixtest
