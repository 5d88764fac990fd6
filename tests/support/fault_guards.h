// Faults made for real from the Linux side, undone on every path out of a test.
#pragma once

#include <string>

#include "support/test_support.h"

namespace hv::test {

// A directory nobody may change, not even root: creation, writes and deletions in it fail.
class ImmutableDirectory {
 public:
  explicit ImmutableDirectory(const std::wstring& path) : path_(path), unixPath_(UnixPathOf(path)) {
    if (!unixPath_.empty()) {
      ok_ = RunUnixShell("mkdir -p '" + unixPath_ + "' && chattr +i '" + unixPath_ + "'") == 0;
    }
  }
  ~ImmutableDirectory() {
    if (!unixPath_.empty()) {
      RunUnixShell("chattr -i '" + unixPath_ + "'");
    }
  }
  ImmutableDirectory(const ImmutableDirectory&) = delete;
  ImmutableDirectory& operator=(const ImmutableDirectory&) = delete;

  bool ok() const { return ok_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  std::string unixPath_;
  bool ok_ = false;
};

// A tiny file system mounted on a directory, so writes in it run out of space.
class SmallDisk {
 public:
  SmallDisk(const std::wstring& path, const std::string& size) : path_(path), unixPath_(UnixPathOf(path)) {
    if (!unixPath_.empty()) {
      ok_ = RunUnixShell("mkdir -p '" + unixPath_ + "' && mount -t tmpfs -o size=" + size + " tmpfs '" + unixPath_ +
                         "'") == 0;
    }
  }
  ~SmallDisk() {
    if (ok_) {
      RunUnixShell("umount '" + unixPath_ + "' || umount -l '" + unixPath_ + "'");
    }
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool ok() const { return ok_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  std::string unixPath_;
  bool ok_ = false;
};

}  // namespace hv::test
