#include "tests/sound/loopback_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {

constexpr auto kLifetime = std::chrono::seconds(90);
constexpr int kMetaInterval = 16000;

bool WaitFor(int socket, short events, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd fd = {socket, events, 0};
    int ready = poll(&fd, 1, 50);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(std::string stream) : stream_(std::move(stream)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::thread& connection : connections_) connection.join();
  if (listener_ >= 0) close(listener_);
}

void LoopbackHttpServer::Serve(const std::string& path, const std::string& contentType,
                               const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodies_[path] = {contentType, body};
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Accept() {
  auto end = std::chrono::steady_clock::now() + kLifetime;
  while (!stop_ && std::chrono::steady_clock::now() < end) {
    if (!WaitFor(listener_, POLLIN, stop_)) continue;
    int socket = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, socket] {
      Answer(socket);
      close(socket);
    });
  }
  stop_ = true;
}

bool LoopbackHttpServer::SendAll(int socket, const char* data, size_t size) {
  while (size > 0) {
    if (!WaitFor(socket, POLLOUT, stop_)) return false;
    ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= size_t(sent);
  }
  return true;
}

void LoopbackHttpServer::Answer(int socket) {
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
    if (!WaitFor(socket, POLLIN, stop_)) return;
    ssize_t got = recv(socket, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, size_t(got));
  }
  requests_ += 1;
  size_t pathStart = request.find(' ') + 1;
  std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
  path = path.substr(0, path.find('?'));
  std::string lower = request;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.push_back(path);
  }
  bool wantsMeta = lower.find("icy-metadata: 1") != std::string::npos;
  if (path.rfind("/silent", 0) == 0) {
    WaitFor(socket, 0, stop_);
    return;
  }
  if (path == "/trickle") {
    const char header[] = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
    if (!SendAll(socket, header, sizeof header - 1)) return;
    for (size_t i = 0; !stop_; i = (i + 1) % stream_.size()) {
      if (!SendAll(socket, &stream_[i], 1)) return;
      for (int wait = 0; wait < 20 && !stop_; ++wait) usleep(50000);
    }
    return;
  }
  if (path == "/stream.mp3" || path == "/live") {
    std::string header = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Loopback Radio\r\n";
    if (wantsMeta) header += "icy-metaint: " + std::to_string(kMetaInterval) + "\r\n";
    header += "\r\n";
    if (!SendAll(socket, header.data(), header.size())) return;
    std::string meta(1 + 32, '\0');
    meta[0] = 2;  // 2 x 16 bytes
    std::memcpy(&meta[1], "StreamTitle='Loopback';", 23);
    size_t position = 0;
    while (!stop_) {
      std::string chunk;
      while (chunk.size() < size_t(kMetaInterval)) {
        size_t take = std::min(stream_.size() - position, size_t(kMetaInterval) - chunk.size());
        chunk.append(stream_, position, take);
        position = (position + take) % stream_.size();
      }
      if (wantsMeta) chunk += meta;
      if (!SendAll(socket, chunk.data(), chunk.size())) return;
    }
    return;
  }
  std::pair<std::string, std::string> body;
  bool found;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = bodies_.find(path);
    found = it != bodies_.end();
    if (found) body = it->second;
  }
  std::string answer =
      found ? "HTTP/1.1 200 OK\r\nContent-Type: " + body.first + "\r\n" : "HTTP/1.1 404 Not Found\r\n";
  answer +=
      "Content-Length: " + std::to_string(body.second.size()) + "\r\nConnection: close\r\n\r\n" + body.second;
  SendAll(socket, answer.data(), answer.size());
}

int LoopbackHttpServer::RequestsFor(const std::string& prefix) {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const std::string& path : paths_)
    if (path.rfind(prefix, 0) == 0) ++count;
  return count;
}

int RefusedLoopbackPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}
