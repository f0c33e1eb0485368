// demo-vendor-server: the vendor's web server for the demo, on 127.0.0.1.
//
//   demo-vendor-server [--port N] [--root DIR] [--rate BYTES] [--quiet]
//
// Serves DIR (default: the current folder): /tracks/<name>.mp3 with byte
// ranges, /update/datams.dll and a small web page at /. Prints
// "listening on http://127.0.0.1:PORT" on stdout once it accepts connections
// (--port 0 picks a free port), logs each request on stderr unless --quiet,
// and with --rate sends each response body at most BYTES per second, like a
// distant server. Stops cleanly on SIGINT or SIGTERM.
//
// Exit status: 0 stopped by a signal, 1 could not serve, 2 bad arguments.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "vendor_server.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kDefaultPort = 8391;

constexpr char kUsageText[] =
    "usage: demo-vendor-server [--port N] [--root DIR] [--rate BYTES] [--quiet]\n"
    "       demo-vendor-server --help | --version\n"
    "\n"
    "  Serves the demo collection on 127.0.0.1 until stopped (Ctrl+C):\n"
    "  /tracks/*.mp3 with byte ranges, /update/datams.dll and a small web page.\n"
    "\n"
    "  --port N      listen on 127.0.0.1:N (default 8391; 0 picks a free port)\n"
    "  --root DIR    serve DIR/tracks/*.mp3 and DIR/update/datams.dll (default: .)\n"
    "  --rate BYTES  send each response body at most BYTES per second (default: no limit)\n"
    "  --quiet       do not log requests on stderr\n"
    "  --help        show this text\n"
    "  --version     show the version\n";

volatile std::sig_atomic_t signalled = 0;

extern "C" void OnSignal(int) { signalled = 1; }

int Usage(const std::string& problem) {
  std::fprintf(stderr, "demo-vendor-server: %s\n%s", problem.c_str(), kUsageText);
  return kUsage;
}

bool ParseNumber(const char* text, long long maximum, long long* value) {
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < 0 || parsed > maximum) return false;
  *value = parsed;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  demo::VendorServerOptions options;
  options.root = ".";
  long long port = kDefaultPort;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help") {
      std::fputs(kUsageText, stdout);
      return 0;
    }
    if (option == "--version") {
      std::printf("demo-vendor-server %s\n", TARVONI_VERSION);
      return 0;
    }
    bool takesValue = option == "--port" || option == "--root" || option == "--rate";
    if (takesValue && i + 1 == argc) return Usage(option + " needs a value");
    if (option == "--port") {
      if (!ParseNumber(argv[++i], 65535, &port)) return Usage(std::string("not a port number: ") + argv[i]);
    } else if (option == "--root") {
      options.root = argv[++i];
    } else if (option == "--rate") {
      long long rate = 0;
      if (!ParseNumber(argv[++i], 1LL << 40, &rate)) return Usage(std::string("not a byte rate: ") + argv[i]);
      options.bytesPerSecond = rate;
    } else if (option == "--quiet") {
      options.quiet = true;
    } else {
      return Usage("unknown argument " + option);
    }
  }
  std::error_code code;
  if (!std::filesystem::is_directory(options.root, code)) {
    std::fprintf(stderr, "demo-vendor-server: %s is not a folder\n", options.root.c_str());
    return kFailed;
  }
  if (!std::filesystem::is_directory(std::filesystem::path(options.root) / "tracks", code)) {
    std::fprintf(stderr, "demo-vendor-server: warning: %s has no tracks folder; every track will be 404\n",
                 options.root.c_str());
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  demo::VendorServer server(options);
  std::string error;
  if (!server.Start(static_cast<int>(port), &error)) {
    std::fprintf(stderr, "demo-vendor-server: %s\n", error.c_str());
    return kFailed;
  }
  std::printf("listening on http://127.0.0.1:%d\n", server.Port());
  std::fflush(stdout);
  // A signal handler may only set a flag; the stop happens here.
  while (!signalled && server.Serving()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!signalled) {
    std::fprintf(stderr, "demo-vendor-server: serving failed\n");
    return kFailed;
  }
  server.Stop();
  if (!options.quiet) std::fprintf(stderr, "demo-vendor-server: stopped\n");
  return 0;
}
