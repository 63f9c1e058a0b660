#include "output/LogFile.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef _WIN32
#include <climits>
#include <filesystem>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrova {

namespace {

#ifdef _WIN32

int OpenExclusive(const std::string& path) {
  // The path is UTF-8; the wide name keeps every character. _O_APPEND moves
  // to the end of the file before every write.
  const std::u8string utf8(path.begin(), path.end());
  const std::filesystem::path name(utf8);
  int fd = -1;
  if (::_wsopen_s(&fd, name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                  _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0) {
    return -1;
  }
  return fd;
}

// One system write; the number of bytes taken, or -1.
long long WriteSome(int fd, std::string_view text) {
  const auto count = static_cast<unsigned>(std::min<std::size_t>(text.size(), INT_MAX));
  return ::_write(fd, text.data(), count);
}

bool CloseFd(int fd) {
  return ::_close(fd) == 0;
}

#else

int OpenExclusive(const std::string& path) {
  // Open without truncating: a file another writer holds must keep its data.
  // O_NONBLOCK makes a pipe without a reader fail instead of hanging the
  // window; it is cleared again once the file is open. O_APPEND puts every
  // write at the end of the file as it is at that moment.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  const auto fail = [fd] {
    ::close(fd);
    return -1;
  };

  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail();
  const bool regular = S_ISREG(info.st_mode);

  // Only a regular file is kept from a second writer: a lock on a device or
  // a pipe (/dev/null, a terminal) is shared by every program that writes
  // there, and would refuse the second of two scripts writing to /dev/null.
  // File systems without locks (some network mounts) still get a log.
  if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return fail();

  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail();

  if (regular && ::ftruncate(fd, 0) != 0) return fail();
  return fd;
}

long long WriteSome(int fd, std::string_view text) {
  return ::write(fd, text.data(), text.size());
}

bool CloseFd(int fd) {
  // Linux releases the descriptor even when close reports an error (EINTR
  // included), so it is never retried.
  return ::close(fd) == 0;
}

#endif

}  // namespace

LogFile::LogFile(LogFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LogFile& LogFile::operator=(LogFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

LogFile::~LogFile() {
  Close();
}

bool LogFile::Create(const std::string& path) {
  Close();
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  fd_ = OpenExclusive(path);
  return fd_ >= 0;
}

// Not const: it changes the file, if not the descriptor.
// NOLINTNEXTLINE(readability-make-member-function-const)
bool LogFile::Write(std::string_view text) {
  if (fd_ < 0) return false;
  while (!text.empty()) {
    const long long written = WriteSome(fd_, text);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool LogFile::Close() {
  if (fd_ < 0) return true;
  return CloseFd(std::exchange(fd_, -1));
}

}  // namespace kestrova
