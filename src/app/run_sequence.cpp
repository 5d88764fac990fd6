#include "app/run_sequence.h"

#include <windows.h>

#include "app/error_reporting.h"
#include "dump/generate.h"
#include "dump/report.h"
#include "launch/viewer_launch.h"
#include "options/options.h"
#include "storage/atomic_writer.h"
#include "storage/location.h"
#include "storage/naming.h"
#include "storage/path.h"
#include "storage/prune.h"
#include "text/encoding.h"
#include "text/system_error.h"

namespace hv {
namespace {

constexpr wchar_t kPluginName[] = L"hex-viewer";
// Enough for a report's first line and for its last, a read-error line with its message.
constexpr size_t kReportEndBytes = 4096;

// Every path and lower-level text in a message goes through ShownText: the box and the error line
// show no control character, line separator or direction mark a file name brought in.
int Fail(const std::wstring& message, int exitCode) {
  ReportError(message);
  return exitCode;
}

std::wstring NoLocationMessage(const std::wstring& moduleDirectory, const std::wstring& temporaryCandidate,
                               const std::wstring& errors) {
  std::wstring message = L"Cannot find a writable location for hex dumps.";
  message += L"\nTried: '" + moduleDirectory + L"'";
  message += L"\nTried: '" + temporaryCandidate + L"'";
  if (!errors.empty()) {
    message += L"\n" + errors;
  }
  return message;
}

// The previous dump was removed before the launch, so a whole report at the dump path now
// was delivered by another run on the same input (its rename may be what held ours up).
// The viewer is better shown that than our report of why ours failed; anything else there,
// someone's file or a report cut short, is no dump and is overwritten.
bool HoldsWholeReport(const std::wstring& dumpPath) {
  std::string head, tail;
  return ReadFileEnds(dumpPath, kReportEndBytes, head, tail) && IsWholeReport(head, tail);
}

}  // namespace

int RunSequence(const std::vector<std::wstring>& arguments) {
  const RunOptions options = ParseOptions(arguments);
  if (!options.ok) {
    return Fail(L"Invalid arguments: " + ShownText(options.error), 2);
  }
  if (!IsExistingFile(options.viewerExe)) {
    return Fail(L"LumoViewer executable not found at specified path.", 1);
  }

  const std::wstring moduleDirectory = ModuleDirectory();
  const std::wstring temporaryCandidate = PluginTempDirectory(TempDirectory(), kPluginName);
  const WritableLocation location = ChooseWritableLocation(moduleDirectory, kPluginName);
  if (location.directory.empty()) {
    return Fail(
        NoLocationMessage(ShownText(moduleDirectory), ShownText(temporaryCandidate), ShownText(location.errors)), 1);
  }

  // Resolved once: the dump's name and the report's File line both rest on it.
  const InputPath input = ResolveInputPath(options.inputFile);
  const DumpTarget target = BuildDumpPath(location.directory, temporaryCandidate, options.inputFile, input.full);
  if (!target.ok) {
    return Fail(L"Cannot build a safe output path for the hex dump.", 1);
  }

  std::wstring probeError;
  if (!ProbeDirectoryWritable(target.dumpDirectory, &probeError)) {
    return Fail(L"Cannot write to the hex dump directory: " + ShownText(target.dumpDirectory) + L" (" +
                    ShownText(probeError) + L")",
                1);
  }

  // The viewer is told to wait for this path, so it must not find the previous dump there.
  uint32_t removalError = 0;
  if (!RemoveFileIfPresent(target.dumpPath, &removalError)) {
    return Fail(L"Cannot replace the previous hex dump: " + ShownText(target.dumpPath) + L" (" +
                    SystemErrorText(removalError) + L")",
                1);
  }

  if (!LaunchViewer(options.viewerExe, target.dumpPath, options.waitTimeoutMs)) {
    return Fail(L"Failed to launch LumoViewer.", 1);
  }

  DumpRequest request;
  request.inputPath = options.inputFile;
  request.resolvedInput = input;
  request.outputPath = target.dumpPath;
  request.maxKb = static_cast<uint64_t>(options.maxKb);
  request.uppercase = options.uppercase;
  request.temporaryPath =
      TemporaryDumpPath(target.dumpPath, GetCurrentProcessId(), static_cast<uint32_t>(GetTickCount64()));

  const DumpResult result = GenerateDump(request);
  if (!result.success && !HoldsWholeReport(target.dumpPath)) {
    // The viewer is already waiting: give it a one-line report rather than nothing.
    const DumpResult fallback = WriteFileDirect(target.dumpPath, RenderWriteFailureReport(result.error));
    if (!fallback.success) {
      return Fail(L"Cannot write the hex dump file: " + ShownText(result.error), 1);
    }
  }

  PruneOldDumps(target.dumpDirectory);
  return 0;
}

}  // namespace hv
