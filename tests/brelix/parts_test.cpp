// The parts of an inspection: reads through the local file stream; the first
// frame's header, its search, and the Xing, Info and VBRI headers and LAME
// block inside it; and the tags at both ends of a stream, in every format.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <tuple>
#include <vector>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "lame_tag.h"
#include "mpa_frame.h"
#include "mpa_header.h"
#include "tag_list.h"
#include "vbr_header.h"

namespace brelixtest {
namespace {

TEST(FileStream, ReadsOfMoreThanOneBufferAreRefusedAndPastTheEndZeroFilled) {
  BytesFile file(std::string(2000, 'x'));
  uint32_t offset = 2000;
  EXPECT_FALSE(file.Stream().ReadBuffer(1, offset, true, false)) << "nothing left at the end";
  offset = 0;
  EXPECT_FALSE(file.Stream().ReadBuffer(1025, offset, false, false));
  EXPECT_TRUE(file.Stream().ReadBuffer(1024, offset, false, false));
  offset = 1998;
  const uint8_t* bytes = file.Stream().ReadBuffer(4, offset, true, false);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), std::string("xx\0\0", 4));
  EXPECT_EQ(offset, 2002u) << "advances by the count asked for";
}

TEST(FileStream, ReadOnlyFileCanBeInspected) {
  BytesFile file(Frames(Header("FFFB9064"), 417, 4));
  ASSERT_EQ(chmod(file.Path().c_str(), 0444), 0);
#ifdef _WIN32
  EXPECT_TRUE(CMPAFileInfo::Create(file.Path().c_str(), true));
#else
  const std::string folder = file.Path().substr(0, file.Path().rfind('/'));
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  // Root may write any file, so the check runs as an unprivileged user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(CMPAFileInfo::Create(file.Path().c_str(), true) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

CMPAHeader Parsed(const char* hex, bool* accepted = nullptr) {
  const std::string bytes = Header(hex);
  CMPAHeader header;
  const bool ok = header.ParseHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
  if (accepted) *accepted = ok;
  return header;
}

TEST(MpaHeader, LengthsTruncateAndAddPaddingSlotsAndReservedFieldsAreRejected) {
  struct Case {
    const char* hex;
    bool accepted;
    uint32_t sampleRate = 0, samplesPerFrame = 0, length = 0;
  };
  for (const Case& c : {
           Case{"FFFB9064", true, 44100, 1152, 417},  // MPEG 1 Layer III 128 kbit/s
           Case{"FFFB9264", true, 44100, 1152, 418},  // padded
           Case{"FFF38064", true, 22050, 576, 208},   // MPEG 2 Layer III 64 kbit/s
           Case{"FFE38864", true, 8000, 576, 576},    // MPEG 2.5
           Case{"FFFF1264", true, 44100, 384, 36},    // Layer I counts 4-byte slots: (12 * 32000 / 44100 + 1) * 4
           Case{"FFFB0064", false},                   // free format
           Case{"FFFBF064", false},                   // bitrate index 15
           Case{"FFFB9C64", false},                   // sample-rate index 3
           Case{"FFF99064", false},                   // raw layer 0
           Case{"FFEB9064", false},                   // version 1
           Case{"FFFB9066", false},                   // emphasis 2
           Case{"FFFD1004", false},                   // MPEG 1 Layer II: 32 kbit/s stereo
           Case{"FFFD10C4", true, 44100, 1152, 104},  // 32 kbit/s single channel
           Case{"FFFD4004", true, 44100, 1152, 208},  // 64 kbit/s stereo
           Case{"FFFDB0C4", false},                   // 224 kbit/s single channel
           Case{"FFF310C4", true, 22050, 576, 26},    // MPEG 2 Layer III has no such rule
       }) {
    bool accepted = !c.accepted;
    const CMPAHeader header = Parsed(c.hex, &accepted);
    EXPECT_EQ(accepted, c.accepted) << c.hex;
    if (c.accepted) {
      EXPECT_EQ(std::tuple(header.sampleRate, header.samplesPerFrame, header.GetFrameLength()),
                std::tuple(c.sampleRate, c.samplesPerFrame, c.length))
          << c.hex;
    }
  }
}

TEST(MpaHeader, ExactSearchProbesThreeBytesEitherWay) {
  for (uint32_t at : {96u, 97u, 100u, 103u, 104u}) {
    std::string bytes(300, '\0');
    Put(bytes, at, Header("FFFB9064"));
    BytesFile file(bytes);
    uint32_t offset = 100;
    CMPAHeader header;
    const bool found = header.FindHeader(file.Stream(), offset, true, false, nullptr);
    EXPECT_EQ(found, at >= 97 && at <= 103) << at;
    EXPECT_EQ(found ? offset : at, at) << "a header found is where the offset points";
  }
}

// The zeros a read past the end is padded with would complete "FF FB 90"
// to a valid header of a 417-byte frame.
TEST(MpaHeader, HeaderCutOffByTheEndIsNotFound) {
  for (const std::string& bytes : {Header("FFFB9064").substr(0, 3), "junk" + Header("FFFB9064").substr(0, 3)}) {
    BytesFile file(bytes);
    uint32_t offset = 0;
    CMPAHeader header;
    EXPECT_FALSE(header.FindHeader(file.Stream(), offset, false, false, nullptr)) << bytes.size();
    offset = static_cast<uint32_t>(bytes.size() - 3);
    EXPECT_FALSE(header.FindHeader(file.Stream(), offset, true, false, nullptr)) << bytes.size();
  }
}

TEST(MpaHeader, ScanSkipsSyncWithBitrateNibble15AndIncompatibleHeadersButNotOtherBitrates) {
  // Against a joint-stereo MPEG 1 44100 Hz reference: a single channel, 48000
  // Hz and MPEG 2 are incompatible; another bitrate with padding is not.
  const std::string headers = Header("FFFFF064") + Header("FFFB90C4") + Header("FFFB9464") + Header("FFF39064");
  BytesFile file(headers + Header("FFFBB264") + std::string(16, '\0'));
  const CMPAHeader reference = Parsed("FFFB9064");
  uint32_t offset = 0;
  CMPAHeader header;
  ASSERT_TRUE(header.FindHeader(file.Stream(), offset, false, false, &reference));
  EXPECT_EQ(offset, 16u);
  offset = 0;
  ASSERT_TRUE(header.FindHeader(file.Stream(), offset, false, false, nullptr));
  EXPECT_EQ(offset, 4u) << "without a reference any valid header counts";
}

// A frame of `header` and `length` bytes holding `block` at `at`.
std::string FrameWith(const std::string& block, size_t at = 36, const char* header = "FFFB9064", size_t length = 417) {
  std::string frame = Frames(Header(header), length);
  Put(frame, at, block);
  return frame;
}

// The VBR header in the frame at the start of `bytes`, or null.
std::unique_ptr<CVBRHeader> VbrOf(const std::string& bytes) {
  BytesFile file(bytes);
  CMPAFrame frame(file.Stream(), 0);
  EXPECT_TRUE(frame.Locate(false, false, nullptr));
  return frame.FindVBRHeader();
}

const CLAMETag* LameOf(const std::unique_ptr<CVBRHeader>& header) {
  auto* xing = dynamic_cast<const CXINGHeader*>(header.get());
  return xing ? xing->GetLAMETag() : nullptr;
}

// What a VBR header states: identifier, offset, frames, bytes, quality and
// table size; all empty for no header.
using Stated = std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t, size_t>;

Stated StatedBy(const std::unique_ptr<CVBRHeader>& h) {
  if (!h) return {};
  return {h->GetIdentifier(), h->GetOffset(), h->GetFrames(), h->GetBytes(), h->GetQuality(), h->GetTable().size()};
}

TEST(VbrHeader, XingFlagsSelectTheFieldsAndLameSitsAt120) {
  const std::string lame = Lame("3.97", ' ', 0x24);
  auto header = VbrOf(FrameWith(Xing({.frames = 1000, .bytes = 2000000, .quality = 57}) + lame));
  ASSERT_EQ(StatedBy(header), (Stated{"Xing", 36, 1000, 2000000, 57, 100}));
  EXPECT_EQ(header->GetTable()[99], 99u);
  EXPECT_TRUE(LameOf(header));

  header = VbrOf(FrameWith(Xing({.identifier = "Info", .flags = 0x03, .frames = 5, .bytes = 9}) + lame));
  EXPECT_EQ(StatedBy(header), (Stated{"Info", 36, 5, 9, 0, 0}));
  EXPECT_FALSE(LameOf(header)) << "the LAME probe stays at +120 whatever the flags";
}

TEST(VbrHeader, XingFollowsTheSideInfoAndVbriIsAlways36BytesIn) {
  // Joint stereo and single channel, MPEG 1 (417-byte frames) and MPEG 2 (208).
  for (auto [header, length, xingAt] : {std::tuple{"FFFB9064", 417, 36u}, std::tuple{"FFFB90C4", 417, 21u},
                                        std::tuple{"FFF38064", 208, 21u}, std::tuple{"FFF380C4", 208, 13u}}) {
    SCOPED_TRACE(header);
    const std::string xing = Xing({.flags = 1, .frames = 3});
    EXPECT_EQ(StatedBy(VbrOf(FrameWith(xing, xingAt, header, length))), (Stated{"Xing", xingAt, 3, 0, 0, 0}));
    EXPECT_FALSE(VbrOf(FrameWith(xing, xingAt + 1, header, length)));
    EXPECT_EQ(StatedBy(VbrOf(FrameWith(Vbri(3, 4, 0, 2), 36, header, length))), (Stated{"VBRI", 36, 3, 4, 75, 1}));
  }
}

TEST(VbrHeader, VbriTableHoldsOneEntryMoreThanStored) {
  auto header = VbrOf(FrameWith(Vbri(1000, 2000000, 99, 2)) + std::string(1024, '\0'));
  ASSERT_EQ(StatedBy(header), (Stated{"VBRI", 36, 1000, 2000000, 75, 100}));
  EXPECT_EQ(header->GetTable().front(), 1u);
  EXPECT_EQ(header->GetTable().back(), 100u);
  EXPECT_EQ(StatedBy(VbrOf(FrameWith(Vbri(1000, 2000000, 3, 5)))), (Stated{"VBRI", 36, 1000, 2000000, 75, 0}))
      << "5-byte entries cannot be read; the counts stay";
}

TEST(VbrHeader, TruncatedXingReadsZeroCounts) {
  const std::string frame = FrameWith(Xing({.frames = 0x12345678, .bytes = 7}));
  auto header = VbrOf(frame.substr(0, 36 + 8 + 2));
  ASSERT_EQ(StatedBy(header), (Stated{"Xing", 36, 0x12340000, 0, 0, 100})) << "the 2 bytes present, then zeros";
  EXPECT_EQ(header->GetTable(), std::vector<uint32_t>(100, 0));
}

TEST(VbrHeader, LameVersionDecidesHowMuchOfTheBlockIsRead) {
  using Read = std::tuple<std::string, bool, int, int>;  // encoder, short tag, revision, method
  struct Case {
    const char* version;
    char ninth;
    uint8_t revisionAndMethod;
    Read read;
  };
  for (const Case& c : {Case{"3.97", ' ', 0x24, {"LAME3.97 ", false, 2, 4}},
                        // "3.100" is later than 3.99, not 3.1: the whole block is read.
                        Case{"3.10", '0', 0x24, {"LAME3.100", false, 2, 4}},
                        // 3.88 is below 3.9: all 20 bytes are the string, nothing after it is read.
                        Case{"3.88", ' ', 0x24, {"LAME3.88 \x24\xC3", true, 0, 0}},
                        // 3.90 is not below 3.9; a ninth character '.' ends the string.
                        Case{"3.90", '.', 0x11, {"LAME3.90", false, 1, 1}}}) {
    const auto header = VbrOf(FrameWith(Xing({}) + Lame(c.version, c.ninth, c.revisionAndMethod)));
    const CLAMETag* lame = LameOf(header);
    ASSERT_TRUE(lame) << c.version;
    EXPECT_EQ(Read(lame->GetEncoder(), lame->IsShortTag(), lame->GetRevision(), lame->GetMethod()), c.read);
  }
  auto header = VbrOf(FrameWith(Xing({}) + Lame("3.99", 'r', 0xF4)));
  ASSERT_TRUE(header) << "the Xing header stays";
  EXPECT_FALSE(LameOf(header)) << "revision 15 is an invalid block";
}

// A tag found: name, version, offset and size.
using Found = std::tuple<std::string, float, uint32_t, uint32_t>;

struct Detected {
  uint32_t begin, end;
  std::vector<Found> tags;
};

Detected Detect(const std::string& bytes) {
  BytesFile file(bytes);
  CTagList list(file.Stream());
  Detected detected{list.GetBegin(), list.GetEnd(), {}};
  uint32_t index = 0;
  while (const CTag* tag = list.GetNextTag(index)) {
    detected.tags.push_back({tag->GetName(), tag->GetVersion(), tag->GetOffset(), tag->GetSize()});
  }
  EXPECT_EQ(index, detected.tags.size() + 1) << "the index moves past the end too";
  return detected;
}

const std::string kAudio = Frames(Header("FFFB9064"), 417, 4);

TEST(TagList, EndPassesRunFirstAndEachStackedTagIsFoundInItsOwnPass) {
  const std::string bytes = Id3v2(4, 100, true) + Id3v2(3, 257, false) + Ape(2000, 50, true) + kAudio + Lyrics3v2(109) +
                            Ape(2000, 200, false) + Id3v1(0) + Id3v1(7);
  const uint32_t n = bytes.size();
  const Detected d = Detect(bytes);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"ID3", 1.1f, n - 128, 128},
                                        {"ID3", 1.0f, n - 256, 128},
                                        {"APE", 2.0f, n - 256 - 232, 232},
                                        {"Lyrics3", 2.0f, n - 256 - 232 - 135, 135},
                                        {"ID3", 2.4f, 0, 120},
                                        {"ID3", 2.3f, 120, 267},
                                        {"APE", 2.0f, 387, 114}}));
  EXPECT_EQ(d.begin, 387u + 114u) << "a leading APE header moves begin past its footer";
  EXPECT_EQ(d.end, n - 256 - 232 - 135);
}

TEST(TagList, Id3v2FooterAtTheEndMovesEndByTheWholeTag) {
  const Detected withFooter = Detect(kAudio + Id3v2(4, 300, true));
  EXPECT_EQ(withFooter.end, kAudio.size());
  EXPECT_EQ(withFooter.tags, (std::vector<Found>{{"ID3", 2.4f, uint32_t(kAudio.size()), 320}}));
  // A "3DI" block whose flags lack the footer bit is measured as if it had none.
  std::string odd = kAudio + "3DI" + std::string{'\x04', '\0', '\0', '\0', '\0', '\x02', '\x01'};
  EXPECT_EQ(Detect(odd).end, odd.size() - 267);
}

TEST(TagList, ApeSizesFollowVersionAndHeaderFlag) {
  const std::string v2 = kAudio + Ape(2000, 968, true).substr(32);  // the footer's flags announce a header
  const Detected d = Detect(v2);
  EXPECT_EQ(std::get<3>(d.tags.at(0)), 1032u);
  EXPECT_EQ(d.end, v2.size() - 1032);
  std::string v1 = kAudio + Ape(1000, 968, false);
  v1[v1.size() - 32 + 23] = '\x80';
  EXPECT_EQ(std::get<3>(Detect(v1).tags.at(0)), 1000u) << "version 1.0 never has a header";
}

TEST(TagList, Lyrics3Version1NeedsItsBeginWithin5100Bytes) {
  const std::string exact = Lyrics3v1(5100 - 11);
  Detected d = Detect(kAudio + exact);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"Lyrics3", 1.0f, uint32_t(kAudio.size()), 5109}}));
  d = Detect(kAudio + Lyrics3v1(20));
  EXPECT_EQ(std::get<3>(d.tags.at(0)), 40u) << "found anywhere inside the window";
  EXPECT_EQ(d.end, kAudio.size());
  EXPECT_TRUE(Detect(kAudio + Lyrics3v1(5100 - 10)).tags.empty()) << "begins 5101 bytes before the marker";
  EXPECT_TRUE(Detect("LYRICSEND").tags.empty()) << "window clipped at the stream's start";
}

TEST(TagList, MusicMatchSizeFromVersionAndDataOffsetsAndInconsistentOnesAreAbsent) {
  Detected d = Detect(kAudio + MusicMatch("3.00", 7868, 1000, false));
  EXPECT_EQ(d.tags, (std::vector<Found>{{"MM", 3.0f, uint32_t(kAudio.size()), 7868 + 1000 + 324}}));
  for (uint32_t metadata : {7936u, 8004u, 8132u}) {
    d = Detect(kAudio + MusicMatch("3.05", metadata, 40, true));
    EXPECT_EQ(d.tags, (std::vector<Found>{{"MM", 3.05f, uint32_t(kAudio.size()), metadata + 40 + 324 + 256}}));
  }
  // Metadata of 7000 bytes fits no version's layout: detection goes on past it.
  const std::string bytes = Id3v2(3, 10, false) + kAudio + MusicMatch("3.05", 7000, 40, false) + Id3v1(1);
  d = Detect(bytes);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"ID3", 1.1f, uint32_t(bytes.size() - 128), 128}, {"ID3", 2.3f, 0, 20}}));
  EXPECT_EQ(d.end, bytes.size() - 128);
}

TEST(TagList, HitsThatDoNotMoveTheBoundaryEndDetection) {
  std::string zeroApe = Ape(2000, 0, false);
  Put(zeroApe, 12, LittleEndian(0, 4));
  EXPECT_EQ(Detect(kAudio + zeroApe).end, kAudio.size() + 32) << "APE of size 0 at the end";
  EXPECT_EQ(Detect(zeroApe + kAudio).begin, 0u) << "APE of size 0 at the beginning";
  EXPECT_EQ(Detect("ID3").begin, 0u) << "ID3v2 whose fields cannot be read";
  const Detected huge = Detect(kAudio + Lyrics3v2(0).replace(11, 6, "999999"));
  EXPECT_EQ(huge.end, kAudio.size() + 26) << "a tag reaching before the stream's start";
  EXPECT_TRUE(huge.tags.empty());
}

}  // namespace
}  // namespace brelixtest
