// A small HTTP server on 127.0.0.1 for the sound tests: fixed bodies
// (playlists), an endless MP3 stream with ICY metadata, and servers that
// misbehave. It runs on threads of its own, stops when destroyed and in any
// case after a minute and a half.
#pragma once
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackHttpServer {
 public:
  // stream: the MP3 bytes that "/stream.mp3" repeats without end.
  explicit LoopbackHttpServer(std::string stream);
  ~LoopbackHttpServer();
  bool Listening() const { return listener_ >= 0; }
  // Serves body at path. Also always there:
  //   /stream.mp3  the endless stream (with ICY metadata when asked for),
  //                also at /live
  //   /silent...   accepts, reads the request and never answers
  //   /trickle     answers, then sends one byte a second
  void Serve(const std::string& path, const std::string& contentType, const std::string& body);
  std::string Url(const std::string& path) const;
  int Requests() const { return requests_; }
  // Requests whose path started with prefix.
  int RequestsFor(const std::string& prefix);

 private:
  void Accept();
  void Answer(int socket);
  bool SendAll(int socket, const char* data, size_t size);

  std::string stream_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::map<std::string, std::pair<std::string, std::string>> bodies_;
  std::vector<std::string> paths_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// A port on 127.0.0.1 where nothing listens: connections are refused.
int RefusedLoopbackPort();
