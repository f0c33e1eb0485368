// The claim is an flock on "<name>.lock", which the kernel drops when the
// holder ends however it ends; the holder listens on the Unix socket
// "<name>.socket" beside it, where a later start writes "show\n" and waits
// for "ok\n".
#include "platform/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/sync.h"

namespace platform {

namespace {

constexpr char kRequest[] = "show\n";
constexpr char kAnswer[] = "ok\n";
constexpr int kAnswerWaitMs = 3000;

bool SocketAddress(const std::string& path, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Reads until `expected` arrived whole or `timeoutMs` passed; true when it did.
bool Receive(int fd, const char* expected, int timeoutMs) {
  const size_t length = std::strlen(expected);
  std::string got;
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeoutMs);
  while (got.size() < length) {
    const uint64_t now = MonotonicMs();
    pollfd ready{fd, POLLIN, 0};
    if (now >= deadline || poll(&ready, 1, static_cast<int>(deadline - now)) <= 0) return false;
    char buffer[16];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count <= 0) return false;
    got.append(buffer, static_cast<size_t>(count));
  }
  return got.compare(0, length, expected) == 0;
}

void Send(int fd, const char* text) {
  const ssize_t ignored = send(fd, text, std::strlen(text), MSG_NOSIGNAL);
  (void)ignored;
}

// Asks the holder listening at `socketPath` to show itself. It may be
// starting up and not listen yet: connecting is tried until the deadline.
bool AskHolder(const std::string& socketPath) {
  sockaddr_un address;
  if (!SocketAddress(socketPath, &address)) return false;
  const uint64_t deadline = MonotonicMs() + kAnswerWaitMs;
  do {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      Send(fd, kRequest);
      const bool answered = Receive(fd, kAnswer, kAnswerWaitMs);
      close(fd);
      return answered;
    }
    close(fd);
    SleepMs(50);
  } while (MonotonicMs() < deadline);
  return false;
}

}  // namespace

struct SingleInstance::State {
  int lockFd = -1;
  int listenFd = -1;
  int wakePipe[2] = {-1, -1};
  std::string socketPath;
  std::function<void()> onShow;
  std::thread listener;

  ~State() {
    if (listener.joinable()) {
      const ssize_t ignored = write(wakePipe[1], "x", 1);
      (void)ignored;
      listener.join();
    }
    for (int fd : {listenFd, wakePipe[0], wakePipe[1]}) {
      if (fd >= 0) close(fd);
    }
    if (listenFd >= 0) unlink(socketPath.c_str());
    if (lockFd >= 0) close(lockFd);
  }

  void Listen() {
    for (;;) {
      pollfd ready[2] = {{listenFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
      if (poll(ready, 2, -1) < 0 && errno != EINTR) return;
      if (ready[1].revents != 0) return;
      if ((ready[0].revents & POLLIN) == 0) continue;
      const int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      if (Receive(client, kRequest, kAnswerWaitMs)) {
        onShow();
        Send(client, kAnswer);
      }
      close(client);
    }
  }
};

SingleInstance::SingleInstance(std::unique_ptr<State> state) : state_(std::move(state)) {}
SingleInstance::~SingleInstance() = default;

std::unique_ptr<SingleInstance> SingleInstance::Claim(const std::string& folder, const std::string& name,
                                                      std::function<void()> onShow, Outcome* outcome,
                                                      std::string* error) {
  auto state = std::make_unique<State>();
  state->socketPath = folder + name + ".socket";
  const std::string lockPath = folder + name + ".lock";
  auto unavailable = [&](const std::string& what) {
    *outcome = Outcome::kUnavailable;
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
    return nullptr;
  };
  state->lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (state->lockFd < 0) return unavailable(lockPath);
  if (flock(state->lockFd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return unavailable(lockPath);
    *outcome = AskHolder(state->socketPath) ? Outcome::kOtherAnswered : Outcome::kOtherSilent;
    return nullptr;
  }
  // Holding the lock, any socket file left is a dead holder's.
  unlink(state->socketPath.c_str());
  sockaddr_un address;
  if (!SocketAddress(state->socketPath, &address)) {
    errno = ENAMETOOLONG;
    return unavailable(state->socketPath);
  }
  state->listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (state->listenFd < 0 || bind(state->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(state->listenFd, 4) != 0 || pipe2(state->wakePipe, O_CLOEXEC) != 0) {
    return unavailable(state->socketPath);
  }
  state->onShow = std::move(onShow);
  state->listener = std::thread([raw = state.get()] { raw->Listen(); });
  *outcome = Outcome::kFirst;
  return std::unique_ptr<SingleInstance>(new SingleInstance(std::move(state)));
}

}  // namespace platform
