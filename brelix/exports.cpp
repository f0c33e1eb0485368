// The eight C functions of the shared library, over one current
// CMPAFileInfo that each InitTagObject replaces.
#include "brelix/brelix.h"
#include "mpa_file_info.h"

namespace {

CMPAFileInfo* current = nullptr;

void ReleaseCurrent() {
  delete current;
  current = nullptr;
}

// A caller that unloads the library without UnInitTagObject leaks nothing.
__attribute__((destructor)) void ReleaseAtUnload() { ReleaseCurrent(); }

}  // namespace

extern "C" {

bool InitTagObject(const char* location, bool isLocal) {
  ReleaseCurrent();
  if (!location) return false;
  current = CMPAFileInfo::Create(location, isLocal).release();
  return current != nullptr;
}

bool UnInitTagObject(void) {
  ReleaseCurrent();
  return true;
}

uint32_t GetMusicTime(void) { return current ? current->GetMusicTime() : 0; }
uint32_t GetSmaplesRate(void) { return current ? current->GetSampleRate() : 0; }
uint32_t GetFramesBegin(void) { return current ? current->GetFramesBegin() : 0; }
uint32_t GetFramesEnd(void) { return current ? current->GetFramesEnd() : 0; }
uint32_t GetAllFramesSize(void) { return current ? current->GetAllFramesSize() : 0; }
uint32_t GetBytesOneSec(void) { return current ? current->GetBytesOneSec() : 0; }

}  // extern "C"
