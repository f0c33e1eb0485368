#include "engine/engine_threads.h"

namespace engine {

std::unique_ptr<EngineThreads> EngineThreads::Start(PlaybackState& state) {
  std::unique_ptr<EngineThreads> threads(new EngineThreads(state));
  threads->decode_ = platform::Thread::Start([&state] { DecodeThreadProc(state); });
  if (!threads->decode_) return nullptr;
  threads->download_ = platform::Thread::Start([&state] { DownloadThreadProc(state); });
  if (!threads->download_) return nullptr;
  return threads;
}

EngineThreads::~EngineThreads() {
  state_.shutdown = true;
  state_.stopDownload = true;
  state_.stopDecode = true;
  state_.downloadSemaphore.Release();
  state_.decodeSemaphore.Release();
  if (download_) download_->Join();
  if (decode_) decode_->Join();
}

}  // namespace engine
