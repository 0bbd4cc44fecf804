// Puts another descriptor (or none) in place of standard input for one test.
#pragma once

#include <unistd.h>

#include <stdexcept>
#include <string_view>

namespace kadrum {

class StandardInputSwap {
 public:
  // With "fd" below 0, standard input is closed for the swap's lifetime.
  explicit StandardInputSwap(int fd) : saved_(::dup(0)) {
    if (saved_ < 0) throw std::runtime_error("dup failed");
    if (fd >= 0 ? ::dup2(fd, 0) < 0 : ::close(0) < 0)
      throw std::runtime_error("cannot replace standard input");
  }
  ~StandardInputSwap() {
    ::dup2(saved_, 0);
    ::close(saved_);
  }
  StandardInputSwap(const StandardInputSwap&) = delete;
  StandardInputSwap& operator=(const StandardInputSwap&) = delete;

 private:
  int saved_;
};

// Both ends of a pipe, closed when they go out of scope.
class Pipe {
 public:
  Pipe() {
    if (::pipe(fds_) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    close_writer();
    if (fds_[0] >= 0) ::close(fds_[0]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int reader() const { return fds_[0]; }
  void write(std::string_view bytes) {
    if (::write(fds_[1], bytes.data(), bytes.size()) !=
        static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("pipe write failed");
  }
  void close_writer() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2];
};

}  // namespace kadrum
