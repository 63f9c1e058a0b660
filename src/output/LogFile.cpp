#include "output/LogFile.h"

#include <cerrno>

#ifdef _WIN32
#include <filesystem>

#include <share.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrova {

namespace {

#ifdef _WIN32

std::FILE* OpenExclusive(const std::string& path) {
  // The path is UTF-8; the wide name keeps every character.
  const std::u8string utf8(path.begin(), path.end());
  const std::filesystem::path name(utf8);
  // Other writers are refused, readers are not: as the lock elsewhere.
  return ::_wfsopen(name.c_str(), L"wb", _SH_DENYWR);
}

#else

std::FILE* OpenExclusive(const std::string& path) {
  // Open without truncating: a file another writer holds must keep its data.
  // O_NONBLOCK makes a pipe without a reader fail instead of hanging the
  // window; it is cleared again once the file is open.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  const auto fail = [fd]() -> std::FILE* {
    ::close(fd);
    return nullptr;
  };

  // File systems without locks (some network mounts) still get a log.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return fail();

  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail();

  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail();
  if (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) return fail();

  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) return fail();
  return file;
}

#endif

}  // namespace

bool LogFile::Create(const std::string& path) {
  Close();
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  std::FILE* file = OpenExclusive(path);
  if (file == nullptr) return false;
  // A fixed buffer, so that lines reach the disk in the same steps everywhere.
  std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
  file_.reset(file);
  return true;
}

bool LogFile::Write(std::string_view text) {
  if (!file_) return false;
  const std::size_t written = std::fwrite(text.data(), 1, text.size(), file_.get());
  return written == text.size() && std::ferror(file_.get()) == 0;
}

bool LogFile::Close() {
  if (!file_) return true;
  std::FILE* file = file_.release();
  const bool clean = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return clean && closed;
}

}  // namespace kestrova
