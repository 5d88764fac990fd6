#include "dump/generate.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dump/hex_rows.h"
#include "dump/report.h"
#include "storage/atomic_writer.h"
#include "storage/path.h"
#include "text/system_error.h"
#include "text/unique_handle.h"

namespace hv {
namespace {

constexpr uint64_t kChunkBytes = 65536;
constexpr size_t kFlushThreshold = 0x100000;

constexpr DWORD kRecallOnDataAccess = 0x00400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
// No recall of remote content by the open itself.
constexpr DWORD kOpenFlags = FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_NO_RECALL;

// Rendered text not yet written. Unlike a std::string it grows without filling the new
// bytes first, so the rows are written once, straight into it.
class PendingText {
 public:
  explicit PendingText(size_t capacity) : data_(new char[capacity]), capacity_(capacity) {}

  const char* data() const { return data_.get(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }

  void Append(const std::string& text) { std::memcpy(Extend(text.size()), text.data(), text.size()); }

  // Room for `count` more bytes, counted as pending at once: the caller fills all of it.
  char* Extend(size_t count) {
    if (count > capacity_ - size_) {
      const size_t capacity = std::max(size_ + count, 2 * capacity_);
      std::unique_ptr<char[]> larger(new char[capacity]);
      std::memcpy(larger.get(), data_.get(), size_);
      data_ = std::move(larger);
      capacity_ = capacity;
    }
    char* const end = data_.get() + size_;
    size_ += count;
    return end;
  }

 private:
  std::unique_ptr<char[]> data_;
  size_t capacity_;
  size_t size_ = 0;
};

// Recall on data access set, not a directory, and the word valid at all; no other attribute counts.
bool IsOnlineOnlyCloudFile(const std::wstring& openPath, const AttributesQuery& attributesQuery) {
  const uint32_t attributes = attributesQuery ? attributesQuery(openPath) : GetFileAttributesW(openPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & kRecallOnDataAccess) != 0;
}

DumpResult WriteOpenErrorReport(const DumpRequest& request, const std::wstring& displayPath, uint32_t code) {
  return WriteFileAtomically(request.temporaryPath, request.outputPath,
                             RenderOpenErrorReport(displayPath, FileErrorText(code)));
}

// The report on its way into the temporary file: pending text, written whenever 1 MiB
// is pending, and committed at the end. A failed write discards the temporary file.
class ReportStream {
 public:
  explicit ReportStream(size_t capacity) : pending_(capacity) {}

  bool Open(const std::wstring& temporaryPath) { return writer_.Open(temporaryPath, &error_); }
  void Append(const std::string& text) { pending_.Append(text); }
  char* Extend(size_t count) { return pending_.Extend(count); }
  bool FlushIfFull() { return pending_.size() < kFlushThreshold || Flush(); }

  bool Flush() {
    if (pending_.empty()) {
      return true;
    }
    if (!writer_.Write(pending_.data(), pending_.size(), &error_)) {
      writer_.Discard();
      return false;
    }
    pending_.clear();
    return true;
  }

  DumpResult Commit(const std::wstring& outputPath) {
    if (!Flush() || !writer_.Commit(outputPath, &error_)) {
      return Failed();
    }
    return DumpResult{true, {}};
  }

  DumpResult Failed() const { return DumpResult{false, error_}; }

 private:
  PendingText pending_;
  AtomicFileWriter writer_;
  std::wstring error_;
};

// Where reading stopped short of the shown range, if it did.
struct ReadFailure {
  bool failed = false;
  uint64_t offset = 0;
  std::wstring message;
};

// The rows of the shown range, chunk by chunk; false when the stream could not be written.
bool StreamRows(ReportStream& stream, const ChunkReader& read, uint64_t shownBytes, bool uppercase,
                ReadFailure& failure) {
  std::vector<unsigned char> buffer(kChunkBytes, 0);
  uint64_t position = 0;
  while (position < shownBytes) {
    const uint64_t want = std::min(kChunkBytes, shownBytes - position);
    uint64_t count = 0;
    uint32_t code = 0;
    bool readOk = read(buffer.data(), want, count, code);
    if (readOk && count > want) {
      // Rows are cut from the buffer: more than was asked for cannot be trusted.
      readOk = false;
      code = ERROR_INVALID_DATA;
    } else if (readOk && count == 0) {
      // The file ended before the size it gave (a system status file, or one cut short while
      // read): the footer would claim bytes the rows never showed.
      readOk = false;
      code = ERROR_HANDLE_EOF;
    }
    if (!readOk) {
      failure = ReadFailure{true, position, FileErrorText(code)};
      return true;
    }
    WriteHexRows(stream.Extend(HexRowsSize(count)), position, buffer.data(), count, uppercase);
    position += count;
    if (!stream.FlushIfFull()) {
      return false;
    }
  }
  return true;
}

ChunkReader FileReader(HANDLE input) {
  return [input](unsigned char* into, uint64_t want, uint64_t& got, uint32_t& code) {
    DWORD delivered = 0;
    const bool ok = ReadFile(input, into, static_cast<DWORD>(want), &delivered, nullptr) != FALSE;
    code = ok ? 0 : GetLastError();
    got = delivered;
    return ok;
  };
}

}  // namespace

DumpResult GenerateDump(const DumpRequest& request, const ChunkReader& reader, const AttributesQuery& attributesQuery) {
  const InputPath paths =
      request.resolvedInput.full.empty() ? ResolveInputPath(request.inputPath) : request.resolvedInput;
  const std::wstring& displayPath = paths.full;
  const std::wstring& openPath = paths.open;
  const uint64_t capBytes = request.maxKb * 1024;

  if (IsOnlineOnlyCloudFile(openPath, attributesQuery)) {
    return WriteFileAtomically(request.temporaryPath, request.outputPath, RenderCloudFileReport(displayPath));
  }
  const UniqueFile input(CreateFileW(openPath.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     kOpenFlags, nullptr));
  if (!input) {
    return WriteOpenErrorReport(request, displayPath, GetLastError());
  }
  // Only a file on disk is read: a console, serial port or pipe may make a read wait for ever, and
  // a device is no file to show.
  if (GetFileType(input.get()) != FILE_TYPE_DISK) {
    return WriteOpenErrorReport(request, displayPath, ERROR_NOT_SUPPORTED);
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(input.get(), &size)) {
    return WriteOpenErrorReport(request, displayPath, GetLastError());
  }
  const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
  const uint64_t shownBytes = std::min(fileSize, capBytes);

  const std::string header = RenderReportHeader(displayPath, fileSize, shownBytes, request.maxKb, request.uppercase);
  // Pending stays below the threshold before a chunk, and one chunk adds at most its
  // rows' text, so the pending text never grows once made.
  ReportStream stream(header.size() + (fileSize == 0 ? 64 : kFlushThreshold + HexRowsSize(kChunkBytes)));
  if (!stream.Open(request.temporaryPath)) {
    return stream.Failed();
  }
  stream.Append(header);
  if (fileSize == 0) {
    stream.Append(RenderFooter(FooterKind::Empty, fileSize, request.maxKb));
    return stream.Commit(request.outputPath);
  }
  stream.Append("\r\n" + RenderColumnHeader(request.uppercase));
  ReadFailure failure;
  if (!StreamRows(stream, reader ? reader : FileReader(input.get()), shownBytes, request.uppercase, failure) ||
      !stream.Flush()) {
    return stream.Failed();
  }
  if (failure.failed) {
    stream.Append("\r\n" + RenderReadErrorLine(failure.offset, failure.message, request.uppercase));
  } else {
    stream.Append("\r\n" + RenderFooter(SelectFooterKind(fileSize, capBytes), fileSize, request.maxKb));
  }
  return stream.Commit(request.outputPath);
}

}  // namespace hv
