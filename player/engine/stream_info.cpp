#include "engine/stream_info.h"

#include <strings.h>

#include "platform/dynlib.h"

namespace engine {
namespace {

// Brelix's exports, C linkage.
using InitTagObjectFn = bool (*)(const char* location, bool isLocal);
using UnInitTagObjectFn = bool (*)();
using FigureFn = uint32_t (*)();

template <typename Fn>
Fn Bind(const platform::DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.Symbol(name));
}

}  // namespace

bool IsLocalLocation(const std::string& location) {
  return strncasecmp(location.c_str(), "http", 4) != 0 && strncasecmp(location.c_str(), "www", 3) != 0;
}

bool BindStreamInfo(const std::string& programFolder, const std::string& location, StreamInfo* info) {
  std::unique_ptr<platform::DynamicLibrary> library =
      platform::DynamicLibrary::Load(programFolder + platform::SharedLibraryFileName("brelix"));
  if (!library) return false;
  const auto initTagObject = Bind<InitTagObjectFn>(*library, "InitTagObject");
  const auto unInitTagObject = Bind<UnInitTagObjectFn>(*library, "UnInitTagObject");
  const auto getSampleRate = Bind<FigureFn>(*library, "GetSmaplesRate");
  const auto getMusicTime = Bind<FigureFn>(*library, "GetMusicTime");
  const auto getFramesBegin = Bind<FigureFn>(*library, "GetFramesBegin");
  const auto getFramesEnd = Bind<FigureFn>(*library, "GetFramesEnd");
  const auto getAllFramesSize = Bind<FigureFn>(*library, "GetAllFramesSize");
  const auto getBytesOneSec = Bind<FigureFn>(*library, "GetBytesOneSec");
  if (!initTagObject || !unInitTagObject || !getSampleRate || !getMusicTime || !getFramesBegin || !getFramesEnd ||
      !getAllFramesSize || !getBytesOneSec) {
    return false;
  }
  // The library keeps its current resource (and its open stream) until told
  // to let go; it must be before the library goes away.
  if (!initTagObject(location.c_str(), IsLocalLocation(location))) {
    unInitTagObject();
    return false;
  }
  info->sampleRate = getSampleRate();
  info->seconds = getMusicTime();
  info->figures.allFramesSize = static_cast<int32_t>(getAllFramesSize());
  info->figures.framesBegin = static_cast<int32_t>(getFramesBegin());
  info->figures.framesEnd = static_cast<int32_t>(getFramesEnd());
  info->figures.bytesPerSec = static_cast<int32_t>(getBytesOneSec());
  unInitTagObject();
  return true;
}

}  // namespace engine
