// Faults made for real from the Linux side, undone on every path out of a test.
#pragma once

#include <string>

#include "support/test_support.h"

namespace hv::test {

// Runs `make` on a directory's Linux path at once and `undo` when the guard goes away;
// each command sees the quoted path as $1.
class UnixFault {
 public:
  UnixFault(const std::wstring& path, const std::string& make, std::string undo)
      : path_(path), unixPath_(UnixPathOf(path)), undo_(std::move(undo)) {
    ok_ = !unixPath_.empty() && RunUnixShell(Command(make)) == 0;
  }
  ~UnixFault() {
    if (ok_) RunUnixShell(Command(undo_));
  }
  UnixFault(const UnixFault&) = delete;
  UnixFault& operator=(const UnixFault&) = delete;

  bool ok() const { return ok_; }
  const std::wstring& path() const { return path_; }

 private:
  std::string Command(const std::string& body) const {
    std::string command = "set -- '";
    command.append(unixPath_).append("'; ").append(body);
    return command;
  }

  std::wstring path_;
  std::string unixPath_;
  std::string undo_;
  bool ok_ = false;
};

// A directory nobody may change, not even root: creation, writes and deletions in it fail.
class ImmutableDirectory : public UnixFault {
 public:
  explicit ImmutableDirectory(const std::wstring& path)
      : UnixFault(path, "mkdir -p \"$1\" && chattr +i \"$1\"", "chattr -i \"$1\"") {}
};

// A tiny file system mounted on a directory, so writes in it run out of space.
class SmallDisk : public UnixFault {
 public:
  SmallDisk(const std::wstring& path, const std::string& size)
      : UnixFault(path, "mkdir -p \"$1\" && mount -t tmpfs -o size=" + size + " tmpfs \"$1\"",
                  "umount \"$1\" || umount -l \"$1\"") {}
};

}  // namespace hv::test
