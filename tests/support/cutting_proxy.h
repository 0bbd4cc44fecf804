// A relay between a Unix socket of its own and a database server's socket
// that cuts a connection the moment the server has answered one statement
// of the client's (COMMIT, say): the server has run it, and the client sees
// its connection break before it learns so.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <exception>
#include <list>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kadrum::testing {

class CuttingProxy {
 public:
  // How the client's messages are framed: MariaDB's packets (COMMIT as a
  // COM_QUERY) or PostgreSQL's messages (COMMIT as a simple query).
  enum class Protocol { mariadb, postgresql };

  // Listens on "listen_path" and relays each connection to "server_path",
  // until the client sends "statement" as a query of its own (any case).
  CuttingProxy(Protocol protocol, const std::string& listen_path, const std::string& server_path,
               std::string statement)
      : protocol_(protocol),
        server_path_(server_path),
        statement_(upper(std::move(statement))),
        listener_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    const sockaddr_un address = address_of(listen_path);
    ::unlink(listen_path.c_str());
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || pipe(wake_) != 0)
      throw std::runtime_error("the proxy cannot listen on " + listen_path);
    thread_ = std::thread([this] { relay(); });
  }
  CuttingProxy(const CuttingProxy&) = delete;
  CuttingProxy& operator=(const CuttingProxy&) = delete;
  ~CuttingProxy() {
    if (::write(wake_[1], "x", 1) != 1) std::terminate();
    thread_.join();
    for (const Pair& pair : pairs_) {
      ::close(pair.client);
      ::close(pair.server);
    }
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
  }

  // Whether a connection was cut after the statement was answered.
  bool cut() const { return cut_; }

 private:
  struct Pair {
    int client;
    int server;
    std::string from_client;  // what is not yet parsed
    bool started = false;     // PostgreSQL: past the startup message
    bool statement_sent = false;
  };

  static sockaddr_un address_of(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
      throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
  }

  static std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
  }

  bool is_statement(std::string text) const {
    while (!text.empty() && (text.back() == '\0' || text.back() == ';' ||
                             std::isspace(static_cast<unsigned char>(text.back()))))
      text.pop_back();
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    return upper(text) == statement_;
  }

  // Takes the complete messages off pair.from_client; true when one of
  // them is the statement.
  bool saw_statement(Pair& pair) const {
    bool seen = false;
    std::string& data = pair.from_client;
    for (;;) {
      std::size_t size = 0;
      std::string text;
      if (protocol_ == Protocol::mariadb) {
        if (data.size() < 4) break;
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
        size = 4 + (byte(0) | byte(1) << 8 | byte(2) << 16);
        if (data.size() < size) break;
        if (size > 4 && data[4] == '\x03') text = data.substr(5, size - 5);
      } else {
        // The startup message (and a request for encryption before it)
        // has no type byte.
        const std::size_t at = pair.started ? 1 : 0;
        if (data.size() < at + 4) break;
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[at + i]); };
        size = at + (std::uint32_t{byte(0)} << 24 | byte(1) << 16 | byte(2) << 8 | byte(3));
        if (data.size() < size) break;
        if (!pair.started) {
          pair.started = size != 8;  // 8: SSLRequest or GSSENCRequest
        } else if (data[0] == 'Q') {
          text = data.substr(5, size - 5);
        }
      }
      if (!text.empty() && is_statement(text)) seen = true;
      data.erase(0, size);
    }
    return seen;
  }

  void relay() {
    for (;;) {
      std::vector<pollfd> watched{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      for (const Pair& pair : pairs_) {
        watched.push_back({pair.client, POLLIN, 0});
        watched.push_back({pair.server, POLLIN, 0});
      }
      if (poll(watched.data(), watched.size(), -1) < 0) continue;
      if (watched[0].revents) return;
      if (watched[1].revents & POLLIN) accept_one();
      std::size_t i = 2;
      for (auto pair = pairs_.begin(); pair != pairs_.end() && i < watched.size(); i += 2) {
        const bool from_client = watched[i].revents != 0;
        const bool from_server = watched[i + 1].revents != 0;
        if ((from_client && !pass(*pair, true)) || (from_server && !pass(*pair, false))) {
          ::close(pair->client);
          ::close(pair->server);
          pair = pairs_.erase(pair);
        } else {
          ++pair;
        }
      }
    }
  }

  void accept_one() {
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    const int server = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = address_of(server_path_);
    if (server < 0 ||
        connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(client);
      if (server >= 0) ::close(server);
      return;
    }
    pairs_.push_back({client, server, {}});
  }

  // Relays what one side sent; false when the pair is to be closed.
  bool pass(Pair& pair, bool from_client) {
    char buffer[65536];
    const ssize_t got = ::read(from_client ? pair.client : pair.server, buffer, sizeof buffer);
    if (got <= 0) return false;
    if (!from_client && pair.statement_sent) {
      // The server answered the statement: both sides go without the
      // answer.
      cut_ = true;
      return false;
    }
    if (from_client) {
      pair.from_client.append(buffer, static_cast<std::size_t>(got));
      if (saw_statement(pair)) pair.statement_sent = true;
    }
    const int to = from_client ? pair.server : pair.client;
    for (ssize_t sent = 0; sent < got;) {
      // MSG_NOSIGNAL: a side gone ends the pair, not the test.
      const ssize_t wrote =
          ::send(to, buffer + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL);
      if (wrote <= 0) return false;
      sent += wrote;
    }
    return true;
  }

  Protocol protocol_;
  std::string server_path_;
  std::string statement_;  // in upper case
  int listener_;
  int wake_[2] = {-1, -1};
  std::list<Pair> pairs_;
  std::atomic<bool> cut_{false};
  std::thread thread_;
};

}  // namespace kadrum::testing
