// How dump generation compares with writing the same number of bytes plainly, and
// whether its memory stays flat as the cap grows.
//   generate-bench.exe WORK-DIRECTORY [ROUNDS]
// The work directory should lie on a RAM-backed file system (see generate_bench.sh), so
// the disk does not drown the difference.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dump/generate.h"
#include "storage/path.h"
#include "text/encoding.h"
#include "text/unique_handle.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kLargeInputBytes = 256 * kMiB;
constexpr uint64_t kLargeMaxKb = kLargeInputBytes / 1024;
constexpr uint64_t kSmallInputBytes = 64 * 1024;
constexpr DWORD kPlainWriteBytes = 1024 * 1024;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

// CPU time of this thread, user and kernel: steadier than the wall clock on a shared machine.
double ThreadSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
    return 0;
  }
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double PeakWorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    return -1;
  }
  return static_cast<double>(counters.PeakWorkingSetSize) / static_cast<double>(kMiB);
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(hv::ToLongPath(path).c_str(), GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Writes `total` bytes of xorshift noise through the given buffer, 1 MiB at a time.
bool WriteNoiseFile(const std::wstring& path, uint64_t total, std::vector<unsigned char>& buffer) {
  const hv::UniqueFile file(CreateFileW(hv::ToLongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  uint64_t state = 0x9E3779B97F4A7C15ull;
  bool ok = true;
  for (uint64_t done = 0; ok && done < total;) {
    for (unsigned char& byte : buffer) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      byte = static_cast<unsigned char>(state >> 56);
    }
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(buffer.size(), total - done));
    DWORD written = 0;
    ok = WriteFile(file.get(), buffer.data(), chunk, &written, nullptr) && written == chunk;
    done += chunk;
  }
  return ok;
}

// The yardstick: the same bytes in plain 1 MiB writes, flushed and closed as a commit is.
bool WritePlainly(const std::wstring& path, uint64_t total, const std::vector<unsigned char>& buffer) {
  const hv::UniqueFile file(
      CreateFileW(hv::ToLongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  bool ok = true;
  for (uint64_t done = 0; ok && done < total;) {
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(buffer.size(), total - done));
    DWORD written = 0;
    ok = WriteFile(file.get(), buffer.data(), chunk, &written, nullptr) && written == chunk;
    done += chunk;
  }
  return FlushFileBuffers(file.get()) && ok;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

hv::DumpRequest Request(const std::wstring& directory, const std::wstring& input, uint64_t maxKb) {
  hv::DumpRequest request;
  request.inputPath = input;
  request.outputPath = hv::JoinPath(directory, L"bench.hextxt");
  request.temporaryPath = hv::JoinPath(directory, L"bench.hextxt.tmp");
  request.maxKb = maxKb;
  return request;
}

void Remove(const std::wstring& path) { DeleteFileW(hv::ToLongPath(path).c_str()); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate-bench WORK-DIRECTORY [ROUNDS]\n");
    return 64;
  }
  const std::wstring directory = hv::InputFullPath(argv[1]);
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  const std::wstring smallInput = hv::JoinPath(directory, L"small-input.bin");
  const std::wstring largeInput = hv::JoinPath(directory, L"large-input.bin");
  const std::wstring plainOutput = hv::JoinPath(directory, L"plain.out");

  // The bench's own buffer exists before the first measurement, so both peaks carry it.
  std::vector<unsigned char> buffer(kPlainWriteBytes, 0);

  if (!WriteNoiseFile(smallInput, kSmallInputBytes, buffer)) {
    std::fprintf(stderr, "cannot write the small input in %s\n", hv::WideToUtf8(directory).c_str());
    return 1;
  }
  const hv::DumpRequest small = Request(directory, smallInput, 64);
  hv::DumpResult result = hv::GenerateDump(small);
  if (!result.success) {
    std::fprintf(stderr, "small dump failed: %s\n", hv::WideToUtf8(result.error).c_str());
    return 1;
  }
  const double peakAfterSmall = PeakWorkingSetMiB();
  Remove(small.outputPath);

  if (!WriteNoiseFile(largeInput, kLargeInputBytes, buffer)) {
    std::fprintf(stderr, "cannot write the large input in %s\n", hv::WideToUtf8(directory).c_str());
    return 1;
  }
  const hv::DumpRequest large = Request(directory, largeInput, kLargeMaxKb);

  std::vector<double> generateSeconds;
  std::vector<double> plainSeconds;
  std::vector<double> generateCpu;
  std::vector<double> plainCpu;
  uint64_t dumpBytes = 0;
  double peakAfterLarge = 0;
  for (int round = 0; round < rounds; ++round) {
    double start = Now();
    double startCpu = ThreadSeconds();
    result = hv::GenerateDump(large);
    generateSeconds.push_back(Now() - start);
    generateCpu.push_back(ThreadSeconds() - startCpu);
    if (!result.success) {
      std::fprintf(stderr, "large dump failed: %s\n", hv::WideToUtf8(result.error).c_str());
      return 1;
    }
    if (round == 0) {
      peakAfterLarge = PeakWorkingSetMiB();
      dumpBytes = FileSize(large.outputPath);
    }
    Remove(large.outputPath);

    start = Now();
    startCpu = ThreadSeconds();
    const bool written = WritePlainly(plainOutput, dumpBytes, buffer);
    plainSeconds.push_back(Now() - start);
    plainCpu.push_back(ThreadSeconds() - startCpu);
    Remove(plainOutput);
    if (!written) {
      std::fprintf(stderr, "plain write failed\n");
      return 1;
    }
    std::printf("round %d: generate %.3f s (cpu %.3f s), plain write %.3f s (cpu %.3f s)\n", round + 1,
                generateSeconds.back(), generateCpu.back(), plainSeconds.back(), plainCpu.back());
    std::fflush(stdout);
  }
  Remove(smallInput);
  Remove(largeInput);

  const double generate = Median(generateSeconds);
  const double plain = Median(plainSeconds);
  const double ratio = generate / plain;
  const double growth = peakAfterLarge - peakAfterSmall;
  std::printf("dump of 256 MiB at max-kb %llu: %llu bytes of text\n", static_cast<unsigned long long>(kLargeMaxKb),
              static_cast<unsigned long long>(dumpBytes));
  std::printf("median generate %.3f s (%.0f MB/s of text), median plain write %.3f s (%.0f MB/s)\n", generate,
              static_cast<double>(dumpBytes) / generate / 1e6, plain, static_cast<double>(dumpBytes) / plain / 1e6);
  std::printf("ratio generate / plain write: %.3f (target <= 1.25)%s\n", ratio, ratio <= 1.25 ? "" : "  OVER");
  std::printf("thread cpu time: median generate %.3f s, median plain write %.3f s, ratio %.3f\n", Median(generateCpu),
              Median(plainCpu), Median(generateCpu) / Median(plainCpu));
  std::printf(
      "peak working set: %.2f MiB after a 64 KiB dump, %.2f MiB after the 256 MiB dump (+%.2f MiB, limit 4)%s\n",
      peakAfterSmall, peakAfterLarge, growth, growth <= 4.0 ? "" : "  OVER");
  return ratio <= 1.25 && growth <= 4.0 ? 0 : 2;
}
