// How dump generation compares with writing the same number of bytes plainly, and
// whether its memory stays flat as the cap grows.
//   generate-bench.exe WORK-DIRECTORY [ROUNDS [ROW-PATH...]]
// With row paths named (as HexRowsPaths() names them), each round generates once with each
// in turn (from the next one each round), then writes plainly once; without, the program's own
// choice of path is measured.
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
#include "dump/hex_rows.h"
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

// One way of generating: a row path forced by name, or (no name) the program's own choice.
struct Contender {
  std::string path;
  std::vector<double> seconds, cpu;
};

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate-bench WORK-DIRECTORY [ROUNDS [ROW-PATH...]]\n");
    return 64;
  }
  const std::wstring directory = hv::ResolveInputPath(argv[1]).full;
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  std::vector<Contender> contenders;
  for (int i = 3; i < argc; ++i) {
    contenders.push_back({hv::WideToUtf8(argv[i]), {}, {}});
    if (!hv::UseHexRowsPath(contenders.back().path)) {
      std::fprintf(stderr, "no row path '%s' that this CPU runs; it has:", contenders.back().path.c_str());
      for (const hv::HexRowsPath& path : hv::HexRowsPaths()) {
        if (path.supported) std::fprintf(stderr, " %s", path.name);
      }
      std::fprintf(stderr, "\n");
      return 64;
    }
  }
  if (contenders.empty()) {
    contenders.push_back({});
  }
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

  std::vector<double> plainSeconds;
  std::vector<double> plainCpu;
  uint64_t dumpBytes = 0;
  double peakAfterLarge = 0;
  for (int round = 0; round < rounds; ++round) {
    std::printf("round %d:", round + 1);
    // Each round starts with the next contender, so that none always runs in the same place.
    for (size_t turn = 0; turn < contenders.size(); ++turn) {
      Contender& contender = contenders[(static_cast<size_t>(round) + turn) % contenders.size()];
      if (!contender.path.empty()) {
        hv::UseHexRowsPath(contender.path);
      }
      const double start = Now();
      const double startCpu = ThreadSeconds();
      result = hv::GenerateDump(large);
      contender.seconds.push_back(Now() - start);
      contender.cpu.push_back(ThreadSeconds() - startCpu);
      if (!result.success) {
        std::fprintf(stderr, "large dump failed: %s\n", hv::WideToUtf8(result.error).c_str());
        return 1;
      }
      const uint64_t size = FileSize(large.outputPath);
      if (dumpBytes != 0 && size != dumpBytes) {
        std::fprintf(stderr, "the dumps differ in size\n");
        return 1;
      }
      dumpBytes = size;
      Remove(large.outputPath);
      std::printf(" generate%s%s %.3f s (cpu %.3f s),", contender.path.empty() ? "" : " with ", contender.path.c_str(),
                  contender.seconds.back(), contender.cpu.back());
    }
    if (round == 0) {
      peakAfterLarge = PeakWorkingSetMiB();
    }

    const double start = Now();
    const double startCpu = ThreadSeconds();
    const bool written = WritePlainly(plainOutput, dumpBytes, buffer);
    plainSeconds.push_back(Now() - start);
    plainCpu.push_back(ThreadSeconds() - startCpu);
    Remove(plainOutput);
    if (!written) {
      std::fprintf(stderr, "plain write failed\n");
      return 1;
    }
    std::printf(" plain write %.3f s (cpu %.3f s)\n", plainSeconds.back(), plainCpu.back());
    std::fflush(stdout);
  }
  Remove(smallInput);
  Remove(largeInput);

  const double plain = Median(plainSeconds);
  std::printf("dump of 256 MiB at max-kb %llu: %llu bytes of text\n", static_cast<unsigned long long>(kLargeMaxKb),
              static_cast<unsigned long long>(dumpBytes));
  std::printf("median plain write %.3f s (%.0f MB/s), thread cpu %.3f s\n", plain,
              static_cast<double>(dumpBytes) / plain / 1e6, Median(plainCpu));
  bool met = true;
  for (const Contender& contender : contenders) {
    const double generate = Median(contender.seconds);
    const double ratio = generate / plain;
    met = met && ratio <= 1.25;
    std::printf("%s: median generate %.3f s (%.0f MB/s of text), thread cpu %.3f s\n",
                contender.path.empty() ? "row path of the program's choice" : contender.path.c_str(), generate,
                static_cast<double>(dumpBytes) / generate / 1e6, Median(contender.cpu));
    std::printf("  ratio generate / plain write: %.3f (target <= 1.25)%s; thread cpu time ratio %.3f\n", ratio,
                ratio <= 1.25 ? "" : "  OVER", Median(contender.cpu) / Median(plainCpu));
  }
  const double growth = peakAfterLarge - peakAfterSmall;
  std::printf(
      "peak working set: %.2f MiB after a 64 KiB dump, %.2f MiB after the 256 MiB dump (+%.2f MiB, limit 4)%s\n",
      peakAfterSmall, peakAfterLarge, growth, growth <= 4.0 ? "" : "  OVER");
  return met && growth <= 4.0 ? 0 : 2;
}
