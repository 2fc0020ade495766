#include "filesink.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util.h"

namespace kestrova::engine {

std::unique_ptr<FileSink> FileSink::Create(const std::string &path, std::string *error)
{
  auto setError = [error](std::string text) {
    if (error != nullptr)
      *error = std::move(text);
  };
  if (path.empty() || path.back() == '/') {
    setError("no file name in the target path");
    return nullptr;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    setError("the target path is a folder");
    return nullptr;
  }
  std::string dir = DirName(path);
  if (!dir.empty() && !MakeDirs(dir)) {
    setError("cannot create the folder " + dir + ": " + std::strerror(errno));
    return nullptr;
  }
  for (int tries = 0; tries < 16; ++tries) {
    std::string temp = path + "." + RandomHex(8) + ".part";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
      return std::unique_ptr<FileSink>(new FileSink(path, temp, fd));
    if (errno != EEXIST) {
      setError("cannot write into " + (dir.empty() ? std::string(".") : dir) + ": " +
               std::strerror(errno));
      return nullptr;
    }
  }
  setError("cannot find a free temporary name");
  return nullptr;
}

FileSink::~FileSink()
{
  if (!committed_)
    discard();
}

void FileSink::fail(const char *what, int err)
{
  error_ = std::string(what) + ": " + std::strerror(err);
}

bool FileSink::write(const char *data, std::size_t len)
{
  if (fd_ < 0)
    return false;
  while (len > 0) {
    ssize_t n = ::write(fd_, data, len);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      fail("cannot write the file", errno);  // disk full, file size limit, I/O error
      return false;
    }
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileSink::rewind()
{
  if (fd_ < 0)
    return false;
  if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
    fail("cannot start the file over", errno);
    return false;
  }
  return true;
}

bool FileSink::commit()
{
  if (fd_ < 0)
    return false;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {  // a delayed write error shows here
    fail("cannot finish the file", errno);
    ::unlink(temp_.c_str());
    return false;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    fail("cannot put the file in place", errno);
    ::unlink(temp_.c_str());
    return false;
  }
  committed_ = true;
  return true;
}

void FileSink::discard()
{
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!committed_ && !temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace kestrova::engine
