// CPU time per second of playback and peak memory of tarvoni-play while it
// plays a 3-minute 128 kbit/s track over loopback with SDL's dummy driver
// (real time, no sound). Goal: under 3% of one core, under 40 MB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sync.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

int main() {
  testsupport::Mp3Options options;
  options.seconds = 180;
  options.bitrateKbps = 128;
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", testsupport::EncodeMp3(options).bytes);
  const std::string url = server.Url("/track.mp3");

  const uint64_t start = platform::MonotonicMs();
  const pid_t child = fork();
  if (child == 0) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::freopen("/dev/null", "w", stdout);
    execl(TARVONI_PLAY_PATH, "tarvoni-play", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fputs("play_usage: tarvoni-play did not play the track\n", stderr);
    return 1;
  }
  const double wallSeconds = (platform::MonotonicMs() - start) / 1000.0;
  const double cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                            usage.ru_stime.tv_usec / 1e6;
  std::fprintf(stderr, "played %.0f s of audio in %.1f s\n", options.seconds, wallSeconds);
  std::fprintf(stderr, "CPU: %.2f s in all, %.2f%% of one core per second of playback (goal < 3%%)\n", cpuSeconds,
               100.0 * cpuSeconds / options.seconds);
  std::fprintf(stderr, "peak RSS: %.1f MB (goal < 40 MB)\n", usage.ru_maxrss / 1024.0);
  return 0;
}
