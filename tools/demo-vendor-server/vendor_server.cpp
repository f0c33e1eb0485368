#include "vendor_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace demo {
namespace {

constexpr size_t kPieceSize = 16384;
constexpr auto kThrottleStep = std::chrono::milliseconds(100);

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// A decimal number of at most 18 digits (no sign), so it fits in 64 bits.
bool ParseCount(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  *value = std::stoll(text);
  return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string ErrorText(int status) {
  switch (status) {
    case 404: return "404 Not Found\n";
    case 416: return "416 Range Not Satisfiable\n";
    default: return std::to_string(status) + " Error\n";
  }
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string VendorPage(const std::filesystem::path& root) {
  std::vector<std::pair<std::string, uintmax_t>> tracks;
  std::error_code code;
  for (const auto& entry : std::filesystem::directory_iterator(root / "tracks", code)) {
    if (entry.is_regular_file(code) && entry.path().extension() == ".mp3") {
      tracks.emplace_back(entry.path().filename().string(), entry.file_size(code));
    }
  }
  std::sort(tracks.begin(), tracks.end());
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head><meta charset=\"utf-8\"><title>Tarvoni DJ 舞曲库</title>\n"
      "<style>body{font-family:sans-serif;max-width:46em;margin:2em auto;color:#333}"
      "h1{color:#fc9505}td{padding:.2em 1em}</style></head>\n<body>\n"
      "<h1>Tarvoni DJ 舞曲库</h1>\n"
      "<p>欢迎来到 Tarvoni 的演示舞曲库。这里的每一首舞曲都是由程序现场合成的: 鼓点、贝斯线与和弦, "
      "每首的速度与调性各不相同。播放器一边下载一边播放, 双击曲目即可收听。</p>\n"
      "<p>Welcome to the Tarvoni demo collection. Every track here was synthesized for the demo: a beat, a bass "
      "line and chords, each in its own tempo and key. The player streams them while they download.</p>\n"
      "<h2>曲目 / Tracks</h2>\n<table>\n";
  for (const auto& [name, size] : tracks) {
    page += "<tr><td><a href=\"/tracks/" + HtmlEscape(name) + "\">" + HtmlEscape(name) + "</a></td><td>" +
            std::to_string((size + 1023) / 1024) + " KiB</td></tr>\n";
  }
  page += "</table>\n";
  if (std::filesystem::exists(root / "update" / "datams.dll", code)) {
    page += "<p>最新曲库目录 / current catalogue: <a href=\"/update/datams.dll\">/update/datams.dll</a></p>\n";
  }
  page += "</body>\n</html>\n";
  return page;
}

}  // namespace

RangeAnswer ResolveRange(const std::string& value, int64_t size, ByteRange* range) {
  std::string text = Trim(value);
  const std::string unit = "bytes=";
  if (!StartsWithNoCase(text, unit)) return RangeAnswer::kWhole;
  std::string spec = text.substr(unit.size());
  size_t dash = spec.find('-');
  if (spec.find(',') != std::string::npos || dash == std::string::npos) return RangeAnswer::kWhole;
  std::string firstText = Trim(spec.substr(0, dash));
  std::string lastText = Trim(spec.substr(dash + 1));
  int64_t first = 0;
  int64_t last = 0;
  bool hasFirst = ParseCount(firstText, &first);
  bool hasLast = ParseCount(lastText, &last);
  if ((!firstText.empty() && !hasFirst) || (!lastText.empty() && !hasLast)) return RangeAnswer::kWhole;
  if (!hasFirst) {  // "-n": the last n bytes
    if (!hasLast) return RangeAnswer::kWhole;
    if (last == 0 || size == 0) return RangeAnswer::kUnsatisfiable;
    *range = {std::max<int64_t>(0, size - last), size - 1};
    return RangeAnswer::kPartial;
  }
  if (hasLast && last < first) return RangeAnswer::kWhole;
  if (first >= size) return RangeAnswer::kUnsatisfiable;
  *range = {first, hasLast ? std::min(last, size - 1) : size - 1};
  return RangeAnswer::kPartial;
}

VendorServer::VendorServer(VendorServerOptions options)
    : options_(std::move(options)), server_(std::make_unique<httplib::Server>()) {
  // Short, so that Stop() does not wait long for idle kept-alive connections.
  server_->set_keep_alive_timeout(1);
  // One server per port: the library's default (SO_REUSEPORT) would let a
  // second server bind the same port and silently take part of its requests.
  server_->set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  });
  Route();
}

VendorServer::~VendorServer() { Stop(); }

bool VendorServer::Start(int port, std::string* error) {
  bool bound;
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    bound = port_ > 0;
  } else {
    port_ = port;
    bound = server_->bind_to_port("127.0.0.1", port);
  }
  if (!bound) {
    int cause = errno;
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(cause);
    if (cause == EADDRINUSE) *error += " (is another server running on that port?)";
    return false;
  }
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    finished_ = true;
  });
  // The library cannot be stopped before it runs; wait until it does.
  while (!server_->is_running() && !finished_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (finished_) {
    thread_.join();
    *error = "serving on 127.0.0.1:" + std::to_string(port_) + " failed";
    return false;
  }
  return true;
}

bool VendorServer::Serving() const { return thread_.joinable() && !finished_; }

void VendorServer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  server_->stop();
  thread_.join();
}

void VendorServer::Route() {
  const std::filesystem::path root(options_.root);

  auto serveFile = [this](const httplib::Request& request, httplib::Response& response,
                          const std::filesystem::path& path, const char* contentType) {
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
      response.status = 404;
      return;
    }
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(path, code));
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (code || !*file) {
      response.status = 500;
      return;
    }
    // The library would slice the body by the parsed ranges itself, without
    // clamping them to the resource; this handler answers ranges instead.
    const_cast<httplib::Request&>(request).ranges.clear();
    ByteRange range{0, size - 1};
    response.set_header("Accept-Ranges", "bytes");
    switch (ResolveRange(request.get_header_value("Range"), size, &range)) {
      case RangeAnswer::kUnsatisfiable:
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        return;
      case RangeAnswer::kPartial:
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) +
                                                 "/" + std::to_string(size));
        break;
      case RangeAnswer::kWhole:
        response.status = 200;
        range = {0, size - 1};
        break;
    }
    if (size == 0) {
      response.set_content("", contentType);
      return;
    }
    const auto began = std::chrono::steady_clock::now();
    const int64_t rate = options_.bytesPerSecond;
    response.set_content_provider(
        static_cast<size_t>(range.last - range.first + 1), contentType,
        [this, file, start = range.first, began, rate](size_t offset, size_t length, httplib::DataSink& sink) {
          if (rate > 0) {
            auto due = began + std::chrono::microseconds(static_cast<int64_t>(offset) * 1000000 / rate);
            while (!stopping_ && std::chrono::steady_clock::now() < due) {
              std::this_thread::sleep_for(
                  std::min<std::chrono::steady_clock::duration>(kThrottleStep, due - std::chrono::steady_clock::now()));
            }
          }
          if (stopping_) return false;
          char piece[kPieceSize];
          size_t count = std::min(length, sizeof piece);
          file->seekg(start + static_cast<int64_t>(offset));
          file->read(piece, static_cast<std::streamsize>(count));
          if (static_cast<size_t>(file->gcount()) != count) return false;  // the file shrank meanwhile
          return sink.write(piece, count);
        });
  };

  server_->Get(R"(/tracks/([A-Za-z0-9][A-Za-z0-9._-]*\.mp3))",
               [root, serveFile](const httplib::Request& request, httplib::Response& response) {
                 serveFile(request, response, root / "tracks" / request.matches[1].str(), "audio/mpeg");
               });
  server_->Get("/update/datams.dll", [root, serveFile](const httplib::Request& request, httplib::Response& response) {
    serveFile(request, response, root / "update" / "datams.dll", "application/octet-stream");
  });
  server_->Get("/", [root](const httplib::Request&, httplib::Response& response) {
    response.set_content(VendorPage(root), "text/html; charset=utf-8");
  });
  server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) response.set_content(ErrorText(response.status), "text/plain");
  });
  if (!options_.quiet) {
    server_->set_logger([](const httplib::Request& request, const httplib::Response& response) {
      std::string line = request.version + " " + request.method + " " + request.path;
      std::string range = request.get_header_value("Range");
      if (!range.empty()) line += " [Range: " + range + "]";
      line += " -> " + std::to_string(response.status);
      std::string length = response.get_header_value("Content-Length");
      if (!length.empty()) line += ", " + length + " bytes";
      std::fprintf(stderr, "%s\n", line.c_str());
    });
  }
}

}  // namespace demo
