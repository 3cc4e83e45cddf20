// A small HTTP/1.1 server for tests, on a literal loopback address and an
// ephemeral port, running on threads of the test process. Each request is
// recorded and answered by the test's responder: a chosen status, header lines,
// body, a delay, or a connection dropped without an answer; a body shorter than
// the length it promises, a body trickled out byte by byte, a redirect to another
// server of the test. One request per connection ("Connection: close"); a
// connection that opens with something else (a TLS handshake) is closed and its
// first bytes kept.
//
//   LoopbackHttpServer server;
//   ASSERT_TRUE(server.Start("127.0.0.2"));
//   server.SetResponder([](const RecordedRequest&) { return CannedResponse{404}; });
//   ... send to 127.0.0.2:server.port() ...
//   server.Requests();  // method, target, headers, body of each request
//
// Use 127.0.0.2 (not 127.0.0.1) for an origin that a proxy on 127.0.0.1 forwards to.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ci::test {

struct RecordedRequest {
  std::string method;
  std::string target;  // as on the request line: a path, or an absolute URL
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header of that name (ASCII case ignored), or "".
  std::string Header(const std::string& name) const;
};

struct CannedResponse {
  int status = 200;
  std::vector<std::string> header_lines;  // "Name: value", without line ends
  std::string body;
  int delay_ms = 0;   // wait before answering (cut short by Stop)
  bool drop = false;  // close the connection without an answer
  // The Content-Length sent; -1: the body's size. A larger one promises bytes
  // that never come: the connection is closed after the body.
  long long content_length = -1;
  int trickle_ms = 0;  // pause before each byte of the body (cut short by Stop)
};

class LoopbackHttpServer;
// A `status` answer whose Location names `path` at `target` (another server of
// the test, which records whatever follows the redirect).
CannedResponse RedirectTo(const LoopbackHttpServer& target, const std::string& path,
                          int status = 307);

class LoopbackHttpServer {
 public:
  using Responder = std::function<CannedResponse(const RecordedRequest&)>;

  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Listens on `address` (dotted loopback) at `port` (0: an ephemeral one).
  bool Start(const char* address = "127.0.0.2", std::uint16_t port = 0);
  // Closes the listener and every open connection and joins the threads.
  void Stop();

  std::uint16_t port() const { return port_; }
  const std::string& address() const { return address_; }
  std::wstring WideAddress() const { return std::wstring(address_.begin(), address_.end()); }

  // The default answers 200 with an empty body.
  void SetResponder(Responder responder);
  void Respond(CannedResponse response);  // the same answer to every request
  std::vector<RecordedRequest> Requests() const;
  // The first bytes (at most 16) of each connection that did not begin like a
  // request, such as a TLS handshake (0x16 0x03 ...); the server closes such a
  // connection at once and records no request for it.
  std::vector<std::string> UnreadableOpenings() const;
  // Waits until at least `count` requests arrived; false after `timeout_ms`.
  bool WaitForRequests(std::size_t count, int timeout_ms) const;

 private:
  void AcceptLoop();
  void Serve(std::uintptr_t socket);

  std::string address_;
  std::uint16_t port_ = 0;
  std::uintptr_t listener_;
  std::thread acceptor_;
  std::vector<std::thread> workers_;
  std::vector<std::uintptr_t> open_sockets_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Responder responder_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::string> unreadable_;
};

}  // namespace ci::test
