#include "batch/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace tessaly {
namespace {

[[noreturn]] void ThrowSystemError() { throw std::system_error(errno, std::generic_category()); }

}  // namespace

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string OutputFile::Open(const std::string& path) {
  // Made here, or there already: only the first is this run's to remove.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  created_ = fd_ >= 0;
  if (fd_ < 0 && errno == EEXIST) fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) return std::strerror(errno);
  path_ = path;
  return {};
}

bool OutputFile::SameFileAs(const OutputFile& other) const {
  struct stat mine {};
  struct stat theirs {};
  if (fd_ < 0 || other.fd_ < 0 || ::fstat(fd_, &mine) != 0 || ::fstat(other.fd_, &theirs) != 0) {
    return false;
  }
  return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

void OutputFile::Begin() {
  struct stat status {};
  if (::fstat(fd_, &status) != 0) ThrowSystemError();
  if (S_ISREG(status.st_mode) && ::ftruncate(fd_, 0) != 0) ThrowSystemError();
}

void OutputFile::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  if (created_) ::unlink(path_.c_str());
}

void OutputFile::Write(const std::string& piece) {
  const char* data = piece.data();
  std::size_t left = piece.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError();
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

void OutputFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) ThrowSystemError();
}

}  // namespace tessaly
