#include "tag_list.h"

#include <iterator>

#include "ape_tag.h"
#include "id3_tag.h"
#include "lyrics3_tag.h"
#include "mpa_file_stream.h"
#include "music_match_tag.h"

namespace {

struct FinderEntry {
  TagFinder finder;
  bool atEnd;
};

// ID3v1 comes first at the end, so it wins over every other format there.
constexpr FinderEntry kFinders[] = {
    {CID3V1Tag::Find, true},  {CMusicMatchTag::Find, true}, {CID3V2Tag::Find, true}, {CLyrics3Tag::Find, true},
    {CAPETag::Find, true},    {CID3V2Tag::Find, false},     {CAPETag::Find, false},
};
constexpr size_t kFirstBeginFinder = 5;

}  // namespace

CTagList::CTagList(CMPAFileStream& stream) : stream_(stream), end_(stream.GetSize()) {
  while (FindTagAtEnd()) {
  }
  while (FindTagAtBegin()) {
  }
}

CTagList::~CTagList() = default;

const CTag* CTagList::GetNextTag(uint32_t& index) const {
  const CTag* tag = index < tags_.size() ? tags_[index].get() : nullptr;
  ++index;
  return tag;
}

bool CTagList::FindTagAtEnd() {
  for (size_t i = 0; i < kFirstBeginFinder; ++i) {
    const Outcome outcome = TryFinder(kFinders[i].finder, kFinders[i].atEnd);
    if (outcome != Outcome::kMiss) return outcome == Outcome::kHit;
  }
  return false;
}

bool CTagList::FindTagAtBegin() {
  for (size_t i = kFirstBeginFinder; i < std::size(kFinders); ++i) {
    const Outcome outcome = TryFinder(kFinders[i].finder, kFinders[i].atEnd);
    if (outcome != Outcome::kMiss) return outcome == Outcome::kHit;
  }
  return false;
}

CTagList::Outcome CTagList::TryFinder(TagFinder finder, bool atEnd) {
  std::unique_ptr<CTag> tag = finder(stream_, atEnd, begin_, end_);
  if (!tag) return Outcome::kMiss;
  if (atEnd) {
    if (tag->GetOffset() >= end_) return Outcome::kStuck;
    end_ = tag->GetOffset();
  } else {
    if (tag->GetEnd() <= begin_) return Outcome::kStuck;
    begin_ = tag->GetEnd();
  }
  tags_.push_back(std::move(tag));
  return Outcome::kHit;
}
