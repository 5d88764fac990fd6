// How fast hex rows are rendered: megabytes of input turned into row text per second,
// with the output emptied at 1 MiB as dump generation does, a whole 64 KiB chunk a call.
// Contenders take turns within each run, and
// each path is also given as its ratio to the SSSE3 rows run by run.
//   render-bench.exe [RUNS]   (7 timed runs after a warm-up by default)
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dump/hex_rows.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kInputBytes = 256 * kMiB;
constexpr size_t kPatternBytes = kMiB;
constexpr size_t kChunkBytes = 65536;
constexpr size_t kFlushBytes = kMiB;
constexpr size_t kRowBytes = 16;
constexpr size_t kRowText = 85;
constexpr int kDefaultRuns = 7;

// Writes rows into room the caller made, as dump generation does, with no string to grow.
using RawRenderer = void (*)(char*, uint64_t, const unsigned char*, uint64_t, bool);

std::vector<unsigned char> MakePattern() {
  std::vector<unsigned char> pattern(kPatternBytes);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (unsigned char& byte : pattern) {
    // xorshift64: cheap, and spreads over all 256 values so every table entry is hit.
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<unsigned char>(state >> 56);
  }
  return pattern;
}

// Folds the whole text into the checksum, so the work has an observable result.
// Summing 8-byte words keeps this far cheaper than the rendering it guards.
uint64_t Fold(uint64_t checksum, const char* text, size_t size) {
  const size_t words = size / 8;
  uint64_t sum = 0;
  for (size_t i = 0; i < words; ++i) {
    uint64_t word;
    std::memcpy(&word, text + i * 8, 8);
    sum += word ^ (sum >> 29);
  }
  for (size_t i = words * 8; i < size; ++i) {
    sum = sum * 31 + static_cast<unsigned char>(text[i]);
  }
  return (checksum ^ sum) * 1099511628211ull ^ size;
}

double ThreadCpuSeconds() {
  FILETIME creation, exit, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) {
    return 0;
  }
  const auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;
  double foldSeconds = 0;
  uint64_t checksum = 0;
  uint64_t textBytes = 0;
};

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A chunk a call.
struct Renderer {
  const char* label;
  RawRenderer write;
};

// The text so far.
struct Output {
  std::unique_ptr<char[]> raw{new char[kFlushBytes + kChunkBytes / kRowBytes * kRowText]};
  size_t rawSize = 0;
};

Run RenderAll(const Renderer& renderer, const std::vector<unsigned char>& pattern, bool uppercase, Output& output) {
  Run run;
  const double cpuStart = ThreadCpuSeconds();
  const double start = Now();
  size_t& size = output.rawSize;
  const auto fold = [&]() {
    run.checksum = Fold(run.checksum, output.raw.get(), size);
    run.textBytes += size;
    size = 0;
  };
  for (uint64_t offset = 0; offset < kInputBytes; offset += kChunkBytes) {
    const unsigned char* chunk = pattern.data() + offset % kPatternBytes;
    renderer.write(output.raw.get() + size, offset, chunk, kChunkBytes, uppercase);
    size += hv::HexRowsSize(kChunkBytes);
    if (size >= kFlushBytes) {
      const double foldStart = Now();
      fold();
      run.foldSeconds += Now() - foldStart;
    }
  }
  fold();
  run.seconds = Now() - start;
  run.cpuSeconds = ThreadCpuSeconds() - cpuStart;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// One contender in one letter case: its rates over the timed runs.
struct Tally {
  Renderer renderer;
  bool uppercase;
  std::vector<double> rates, cpuRates;
  uint64_t checksum = 0;
  bool wrong = false;
};

void Measure(Tally& tally, const std::vector<unsigned char>& pattern, Output& output, bool timed) {
  const Run run = RenderAll(tally.renderer, pattern, tally.uppercase, output);
  if (!timed) {
    return;  // warm-up: pages in the tables and the buffer
  }
  if (run.textBytes != kInputBytes / kRowBytes * kRowText || (!tally.rates.empty() && run.checksum != tally.checksum)) {
    tally.wrong = true;
  }
  tally.checksum = run.checksum;
  const double inputMiB = static_cast<double>(kInputBytes) / static_cast<double>(kMiB);
  // The checksum is there to keep the work alive, not to be measured.
  const double renderSeconds = run.seconds - run.foldSeconds;
  tally.rates.push_back(inputMiB / renderSeconds);
  tally.cpuRates.push_back(run.cpuSeconds > 0 ? inputMiB / (run.cpuSeconds * renderSeconds / run.seconds) : 0.0);
}

bool Report(const Tally& tally) {
  const char* label = tally.renderer.label;
  const char* letters = tally.uppercase ? "uppercase" : "lowercase";
  if (tally.wrong) {
    std::printf("%-42s %s: wrong output\n", label, letters);
    return false;
  }
  const auto [minRate, maxRate] = std::minmax_element(tally.rates.begin(), tally.rates.end());
  std::printf("%-42s %s: median %5.0f MiB/s (min %5.0f, max %5.0f); per CPU second %5.0f MiB/s; checksum %016llx\n",
              label, letters, Median(tally.rates), *minRate, *maxRate, Median(tally.cpuRates),
              static_cast<unsigned long long>(tally.checksum));
  return true;
}

// A path against another, run by run, so that both saw the same load.
void ReportRatio(const Tally& path, const Tally& base) {
  std::vector<double> wall, cpu;
  for (size_t i = 0; i < path.rates.size(); ++i) {
    wall.push_back(path.rates[i] / base.rates[i]);
    cpu.push_back(path.cpuRates[i] / base.cpuRates[i]);
  }
  std::printf("%-42s %s: %.2f times %s (per CPU second %.2f), median of the runs' ratios\n", path.renderer.label,
              path.uppercase ? "uppercase" : "lowercase", Median(wall), base.renderer.label, Median(cpu));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
  const std::vector<unsigned char> pattern = MakePattern();
  std::printf(
      "render-bench: %zu MiB of input per run, %d runs, %zu-byte rows, output emptied at %zu MiB, "
      "contenders interleaved\n",
      kInputBytes / kMiB, runs, kRowBytes, kFlushBytes / kMiB);
  std::vector<Renderer> renderers = {{"WriteHexRows (dispatched, as generation uses it)", hv::WriteHexRows}};
  std::vector<std::string> labels;
  for (const hv::HexRowsPath& path : hv::HexRowsPaths()) labels.push_back(std::string("write: ") + path.name + " rows");
  size_t next = 0;
  size_t ssse3 = 0;
  for (const hv::HexRowsPath& path : hv::HexRowsPaths()) {
    const char* label = labels[next++].c_str();
    if (!path.supported) {
      std::printf("%-42s skipped: this CPU cannot run it\n", label);
      continue;
    }
    ssse3 = std::string_view(path.name) == "ssse3" ? renderers.size() : ssse3;
    renderers.push_back({label, path.write});
  }
  std::vector<Tally> tallies;
  for (const Renderer& renderer : renderers) {
    for (bool uppercase : {true, false}) tallies.push_back({renderer, uppercase, {}, {}});
  }
  Output output;
  for (int run = 0; run <= runs; ++run) {
    for (Tally& tally : tallies) Measure(tally, pattern, output, run > 0);
  }
  bool ok = true;
  for (const Tally& tally : tallies) ok = Report(tally) && ok;
  if (ssse3 != 0) {
    for (size_t i = 2 * ssse3 + 2; ok && i < tallies.size(); ++i) ReportRatio(tallies[i], tallies[2 * ssse3 + i % 2]);
  }
  return ok ? 0 : 1;
}
