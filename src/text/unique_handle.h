// Owners of platform handles, one template for every kind: each owner closes its handle
// once, on every path out, and can be moved but not copied. For platform code only: it
// brings in <windows.h>.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace hv {

// Owns a Handle that Close releases, unless it holds Invalid. The invalid value is given
// as an integer because INVALID_HANDLE_VALUE, a cast, cannot be a template argument.
template <typename Handle, auto Close, intptr_t Invalid>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(Handle handle) : handle_(handle) {}
  ~UniqueAny() { reset(); }
  UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  // INVALID_HANDLE_VALUE is an integer made a pointer; there is no other spelling of it.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  static Handle invalid() { return reinterpret_cast<Handle>(Invalid); }
  bool valid() const { return handle_ != invalid(); }
  explicit operator bool() const { return valid(); }
  Handle get() const { return handle_; }

  // Gives the handle up without closing it.
  Handle release() { return std::exchange(handle_, invalid()); }
  // Closes the handle held, if any, and holds `handle` instead.
  void reset(Handle handle = invalid()) {
    if (valid()) {
      Close(handle_);
    }
    handle_ = handle;
  }
  // Closes the handle held and lends out the slot, for calls that return a handle through
  // a pointer.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = invalid();
};

// A file or other object CreateFileW opened.
using UniqueFile = UniqueAny<HANDLE, &CloseHandle, -1>;
// A directory search FindFirstFileW began.
using UniqueFind = UniqueAny<HANDLE, &FindClose, -1>;
// A kernel object whose creation answers null on failure: a process, a thread, a job.
using UniqueHandle = UniqueAny<HANDLE, &CloseHandle, 0>;
// Memory the platform allocated for the caller to LocalFree (FormatMessageW,
// CommandLineToArgvW).
template <typename T>
using UniqueLocal = UniqueAny<T*, &LocalFree, 0>;

// Both handles of a process CreateProcessW started.
struct UniqueProcessInformation {
  UniqueProcessInformation() = default;
  explicit UniqueProcessInformation(const PROCESS_INFORMATION& started)
      : process(started.hProcess), thread(started.hThread) {}

  UniqueHandle process;
  UniqueHandle thread;
};

}  // namespace hv
