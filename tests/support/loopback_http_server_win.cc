#include "tests/support/loopback_http_server_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

namespace ci::test {
namespace {

constexpr std::uintptr_t kNoSocket = static_cast<std::uintptr_t>(INVALID_SOCKET);

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 304:
      return "Not Modified";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 404:
      return "Not Found";
    case 407:
      return "Proxy Authentication Required";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    default:
      return "Status";
  }
}

bool SendAll(SOCKET s, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n = ::send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// One recv that gives up when the server stops: Wine does not wake a blocked
// recv when its socket is shut down, so a client that keeps a connection open
// would otherwise hold Stop for ever.
int ReceiveUnlessStopping(SOCKET s, char* buffer, int size, const std::atomic<bool>& stopping) {
  while (!stopping) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{0, 100 * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0) return -1;
    if (ready > 0) return ::recv(s, buffer, size, 0);
  }
  return -1;
}

// Reads one request; false when the peer closed or sent something unreadable.
// A connection whose first byte cannot begin a request line (a TLS handshake,
// for instance) is given up at once; its first bytes go to `opening`.
bool ReadRequest(SOCKET s, RecordedRequest* request, const std::atomic<bool>& stopping,
                 std::string* opening) {
  std::string data;
  char chunk[4096];
  std::size_t header_end;
  while ((header_end = data.find("\r\n\r\n")) == std::string::npos) {
    const int n = ReceiveUnlessStopping(s, chunk, sizeof(chunk), stopping);
    if (n <= 0) return false;
    data.append(chunk, static_cast<std::size_t>(n));
    if (data[0] < 'A' || data[0] > 'Z') {
      *opening = data.substr(0, 16);
      return false;
    }
  }
  std::size_t line_start = 0;
  bool first = true;
  while (line_start < header_end) {
    std::size_t line_end = data.find("\r\n", line_start);
    const std::string line = data.substr(line_start, line_end - line_start);
    line_start = line_end + 2;
    if (first) {
      first = false;
      const auto sp1 = line.find(' ');
      const auto sp2 = line.find(' ', sp1 + 1);
      if (sp1 == std::string::npos || sp2 == std::string::npos) return false;
      request->method = line.substr(0, sp1);
      request->target = line.substr(sp1 + 1, sp2 - sp1 - 1);
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    request->headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  }
  request->body = data.substr(header_end + 4);
  const std::string length_text = request->Header("Content-Length");
  const std::size_t length = length_text.empty() ? 0 : std::stoul(length_text);
  while (request->body.size() < length) {
    const int n = ReceiveUnlessStopping(s, chunk, sizeof(chunk), stopping);
    if (n <= 0) return false;
    request->body.append(chunk, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

CannedResponse RedirectTo(const LoopbackHttpServer& target, const std::string& path, int status) {
  CannedResponse response;
  response.status = status;
  response.header_lines = {"Location: http://" + target.address() + ":" +
                           std::to_string(target.port()) + path};
  return response;
}

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return std::string();
}

LoopbackHttpServer::LoopbackHttpServer() : listener_(kNoSocket) {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
}

LoopbackHttpServer::~LoopbackHttpServer() {
  Stop();
  ::WSACleanup();
}

bool LoopbackHttpServer::Start(const char* address, std::uint16_t port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (::inet_pton(AF_INET, address, &where.sin_addr) != 1 ||
      ::bind(s, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0 ||
      ::listen(s, SOMAXCONN) != 0) {
    ::closesocket(s);
    return false;
  }
  int size = sizeof(where);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&where), &size);
  address_ = address;
  port_ = ntohs(where.sin_port);
  listener_ = static_cast<std::uintptr_t>(s);
  stopping_ = false;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void LoopbackHttpServer::Stop() {
  if (listener_ == kNoSocket) return;
  stopping_ = true;
  ::closesocket(static_cast<SOCKET>(listener_));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::uintptr_t s : open_sockets_) ::shutdown(static_cast<SOCKET>(s), SD_BOTH);
  }
  changed_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  listener_ = kNoSocket;
}

void LoopbackHttpServer::SetResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void LoopbackHttpServer::Respond(CannedResponse response) {
  SetResponder([response](const RecordedRequest&) { return response; });
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> LoopbackHttpServer::UnreadableOpenings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unreadable_;
}

bool LoopbackHttpServer::WaitForRequests(std::size_t count, int timeout_ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return requests_.size() >= count; });
}

void LoopbackHttpServer::AcceptLoop() {
  for (;;) {
    const SOCKET s = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (s == INVALID_SOCKET) return;  // closed by Stop
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::closesocket(s);
      return;
    }
    open_sockets_.push_back(static_cast<std::uintptr_t>(s));
    workers_.emplace_back([this, s] { Serve(static_cast<std::uintptr_t>(s)); });
  }
}

void LoopbackHttpServer::Serve(std::uintptr_t socket) {
  const SOCKET s = static_cast<SOCKET>(socket);
  RecordedRequest request;
  std::string opening;
  const bool read = ReadRequest(s, &request, stopping_, &opening);
  if (!opening.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    unreadable_.push_back(opening);
  }
  if (read) {
    CannedResponse response;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      requests_.push_back(request);
      response = responder_ ? responder_(request) : CannedResponse{};
      changed_.notify_all();
      if (response.delay_ms > 0) {
        changed_.wait_for(lock, std::chrono::milliseconds(response.delay_ms),
                          [this] { return stopping_.load(); });
      }
    }
    if (!response.drop && !stopping_) {
      std::string text = "HTTP/1.1 " + std::to_string(response.status) + " " +
                         ReasonPhrase(response.status) + "\r\n";
      for (const std::string& line : response.header_lines) text += line + "\r\n";
      const long long length = response.content_length >= 0
                                   ? response.content_length
                                   : static_cast<long long>(response.body.size());
      text += "Content-Length: " + std::to_string(length) + "\r\n";
      text += "Connection: close\r\n\r\n";
      if (response.trickle_ms <= 0) {
        SendAll(s, text + response.body);
      } else if (SendAll(s, text)) {
        for (char byte : response.body) {
          std::unique_lock<std::mutex> lock(mutex_);
          if (changed_.wait_for(lock, std::chrono::milliseconds(response.trickle_ms),
                                [this] { return stopping_.load(); })) {
            break;
          }
          lock.unlock();
          if (!SendAll(s, std::string(1, byte))) break;
        }
      }
      ::shutdown(s, SD_SEND);
      // Let the client read everything before the socket goes away.
      char sink[256];
      while (ReceiveUnlessStopping(s, sink, sizeof(sink), stopping_) > 0) {
      }
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  open_sockets_.erase(std::find(open_sockets_.begin(), open_sockets_.end(), socket));
  ::closesocket(s);
}

}  // namespace ci::test
