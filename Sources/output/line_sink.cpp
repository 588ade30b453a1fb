#include "output/line_sink.h"

#include <unistd.h>
#include <cerrno>

namespace sorvi {
namespace {

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

void StdoutLineSink::writeLine(std::string_view line) {
  // One write per line keeps lines whole even when several writers share
  // the descriptor.
  std::string buffer;
  buffer.reserve(line.size() + 1);
  buffer.append(line);
  buffer += '\n';
  writeAll(STDOUT_FILENO, buffer.data(), buffer.size());
}

}  // namespace sorvi
