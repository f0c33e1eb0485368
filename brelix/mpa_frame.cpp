#include "mpa_frame.h"

#include "vbr_header.h"

CMPAFrame::CMPAFrame(CMPAFileStream& stream, uint32_t offset) : stream_(stream), offset_(offset) {}

CMPAFrame::~CMPAFrame() = default;

bool CMPAFrame::Locate(bool exact, bool reverse, const CMPAHeader* reference) {
  header_ = std::make_unique<CMPAHeader>();
  if (!header_->FindHeader(stream_, offset_, exact, reverse, reference)) return false;
  length_ = header_->GetFrameLength();
  return true;
}

std::unique_ptr<CVBRHeader> CMPAFrame::FindVBRHeader() const { return CVBRHeader::Find(stream_, *this); }
