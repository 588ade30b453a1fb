#include "output/line_sink.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace sorvi {
namespace {

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written > 0) {
      data += written;
      size -= static_cast<size_t>(written);
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking descriptor handed down to us: wait until the reader
      // makes room, or is gone.
      pollfd ready{fd, POLLOUT, 0};
      if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return false;
      if ((ready.revents & (POLLERR | POLLNVAL)) != 0) return false;
    } else if (written == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

StdoutLineSink::StdoutLineSink(void (*outputCut)()) : outputCut_(outputCut) {
  struct stat status {};
  if (::fstat(STDOUT_FILENO, &status) == 0 &&
      (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))) {
    watch_ = STDOUT_FILENO;
  }
}

void StdoutLineSink::writeLine(std::string_view line) {
  // One write per line keeps lines whole even when several writers share
  // the descriptor.
  std::string buffer;
  buffer.reserve(line.size() + 1);
  buffer.append(line);
  buffer += '\n';
  if (!writeAll(STDOUT_FILENO, buffer.data(), buffer.size())) outputCut_();
}

}  // namespace sorvi
