// The body of a fetch goes to a temporary file beside the target path and is
// renamed onto the path only when complete, so a file at the path is always
// a whole one.
#pragma once

#include <memory>
#include <string>

#include "transfer.h"

namespace kestrova::engine {

class FileSink final : public Sink {
public:
  // Creates the target's missing folders and the temporary file.  Null, with
  // the reason in *error, when the path is unusable or the folder not writable.
  static std::unique_ptr<FileSink> Create(const std::string &path, std::string *error);
  ~FileSink() override;  // removes the temporary file unless committed

  FileSink(const FileSink &) = delete;
  FileSink &operator=(const FileSink &) = delete;

  bool begin(std::int64_t) override { return true; }
  bool write(const char *data, std::size_t len) override;
  bool rewind() override;
  std::string error() const override { return error_; }

  // Closes the temporary file and renames it onto the path.
  bool commit();
  // Closes and removes the temporary file.
  void discard();

  const std::string &tempPath() const { return temp_; }

private:
  FileSink(std::string path, std::string temp, int fd)
      : path_(std::move(path)), temp_(std::move(temp)), fd_(fd)
  {
  }
  void fail(const char *what, int err);

  std::string path_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
  std::string error_;
};

}  // namespace kestrova::engine
