#include "tags.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace demo {
namespace {

void PutBigEndian32(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutLittleEndian32(std::string* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Four 7-bit groups, most significant first; sizes up to 256 MiB.
void PutSynchsafe32(std::string* out, uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7) out->push_back(static_cast<char>((value >> shift) & 0x7F));
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Decodes UTF-8 into code points; a malformed sequence gives U+FFFD for its first byte.
std::vector<char32_t> CodePoints(const std::string& utf8) {
  std::vector<char32_t> points;
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int extra = lead < 0x80             ? 0
                : (lead & 0xE0) == 0xC0 ? 1
                : (lead & 0xF0) == 0xE0 ? 2
                : (lead & 0xF8) == 0xF0 ? 3
                                        : -1;
    char32_t point = 0xFFFD;
    size_t length = 1;
    if (extra >= 0 && i + extra < utf8.size()) {
      char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
      bool valid = true;
      for (int k = 1; k <= extra && valid; ++k) {
        unsigned char next = static_cast<unsigned char>(utf8[i + k]);
        valid = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
      }
      if (valid && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
        point = value;
        length = extra + 1;
      }
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

struct Frame {
  std::string id;
  std::string body;
};

// Text frame body: encoding byte, then the text (ISO-8859-1 when plain
// ASCII; otherwise UTF-16 in v2.3, UTF-8 in v2.4).
std::string TextBody(const std::string& text, int majorVersion) {
  if (IsAscii(text)) return std::string(1, '\0').append(text);
  if (majorVersion == 3) return std::string(1, '\1').append(Utf16WithBom(text));
  return std::string(1, '\3').append(text);
}

std::string CommentBody(const std::string& text, int majorVersion) {
  std::string encoded = TextBody(text, majorVersion);
  char encoding = encoded[0];
  // Encoding, language, an empty description (terminated in the text's encoding), the text.
  std::string body(1, encoding);
  body += IsAscii(text) ? "eng" : "chi";
  if (encoding == '\1') {
    body += Utf16WithBom("");
    body += std::string(2, '\0');
  } else {
    body += std::string(1, '\0');
  }
  body += encoded.substr(1);
  return body;
}

std::string PictureBody(const std::string& png) {
  std::string body(1, '\0');
  body += "image/png";
  body += '\0';
  body += '\x03';  // front cover
  body += "Cover";
  body += '\0';
  body += png;
  return body;
}

std::vector<Frame> Id3v2Frames(const TrackTags& tags, int majorVersion) {
  std::vector<Frame> frames;
  auto text = [&](const char* id, const std::string& value) {
    if (!value.empty()) frames.push_back({id, TextBody(value, majorVersion)});
  };
  text("TIT2", tags.title);
  text("TPE1", tags.artist);
  text("TALB", tags.album);
  text("TCON", tags.genre);
  if (tags.year > 0) text(majorVersion == 3 ? "TYER" : "TDRC", std::to_string(tags.year));
  if (tags.trackNumber > 0) text("TRCK", std::to_string(tags.trackNumber));
  if (tags.bpm > 0) text("TBPM", std::to_string(tags.bpm));
  if (!tags.comment.empty()) frames.push_back({"COMM", CommentBody(tags.comment, majorVersion)});
  if (!tags.coverPng.empty()) frames.push_back({"APIC", PictureBody(tags.coverPng)});
  return frames;
}

// Copies `text` into a zero-filled field of `size` bytes.
void PutField(std::string* out, const std::string& text, size_t size) {
  std::string field = text.substr(0, std::min(text.size(), size));
  field.resize(size, '\0');
  *out += field;
}

}  // namespace

std::string Utf16WithBom(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  auto unit = [&](char16_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (char32_t point : CodePoints(utf8)) {
    if (point < 0x10000) {
      unit(static_cast<char16_t>(point));
    } else {
      point -= 0x10000;
      unit(static_cast<char16_t>(0xD800 + (point >> 10)));
      unit(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    }
  }
  return out;
}

std::string Id3v2Tag(const TrackTags& tags, int majorVersion, size_t padding) {
  std::string frames;
  for (const Frame& frame : Id3v2Frames(tags, majorVersion)) {
    frames += frame.id;
    if (majorVersion == 4) {
      PutSynchsafe32(&frames, static_cast<uint32_t>(frame.body.size()));
    } else {
      PutBigEndian32(&frames, static_cast<uint32_t>(frame.body.size()));
    }
    frames += std::string(2, '\0');  // frame flags
    frames += frame.body;
  }
  frames.append(padding, '\0');
  std::string tag = "ID3";
  tag += static_cast<char>(majorVersion);
  tag += '\0';  // revision
  tag += '\0';  // flags: no unsynchronisation, extended header or footer
  PutSynchsafe32(&tag, static_cast<uint32_t>(frames.size()));
  return tag + frames;
}

std::string Id3v1Tag(const TrackTags& tags) {
  std::string tag = "TAG";
  PutField(&tag, tags.asciiTitle, 30);
  PutField(&tag, tags.asciiArtist, 30);
  PutField(&tag, IsAscii(tags.album) ? tags.album : std::string(), 30);
  PutField(&tag, tags.year > 0 ? std::to_string(tags.year) : std::string(), 4);
  // ID3v1.1: a 28-byte comment, a zero byte, then the track number.
  PutField(&tag, IsAscii(tags.comment) ? tags.comment : std::string(), 28);
  tag += '\0';
  tag += static_cast<char>(std::clamp(tags.trackNumber, 0, 255));
  tag += static_cast<char>(tags.id3v1Genre);
  return tag;
}

std::string ApeTag(const TrackTags& tags) {
  std::vector<std::pair<std::string, std::string>> items = {{"Title", tags.title},
                                                            {"Artist", tags.artist},
                                                            {"Album", tags.album},
                                                            {"Genre", tags.genre},
                                                            {"Comment", tags.comment}};
  if (tags.year > 0) items.emplace_back("Year", std::to_string(tags.year));
  if (tags.trackNumber > 0) items.emplace_back("Track", std::to_string(tags.trackNumber));
  if (tags.bpm > 0) items.emplace_back("BPM", std::to_string(tags.bpm));

  std::string body;
  uint32_t count = 0;
  for (const auto& [key, value] : items) {
    if (value.empty()) continue;
    PutLittleEndian32(&body, static_cast<uint32_t>(value.size()));
    PutLittleEndian32(&body, 0);  // item flags: UTF-8 text
    body += key;
    body += '\0';
    body += value;
    ++count;
  }
  constexpr uint32_t kHasHeader = 1u << 31;
  constexpr uint32_t kIsHeader = 1u << 29;
  constexpr uint32_t kApeVersion = 2000;
  constexpr size_t kFooterSize = 32;
  auto block = [&](uint32_t flags) {
    std::string out = "APETAGEX";
    PutLittleEndian32(&out, kApeVersion);
    PutLittleEndian32(&out, static_cast<uint32_t>(body.size() + kFooterSize));  // items and footer
    PutLittleEndian32(&out, count);
    PutLittleEndian32(&out, flags);
    out += std::string(8, '\0');
    return out;
  };
  return block(kHasHeader | kIsHeader) + body + block(kHasHeader);
}

}  // namespace demo
