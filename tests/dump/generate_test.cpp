#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dump/generate.h"
#include "dump/report.h"
#include "storage/path.h"
#include "support/fault_guards.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv {
namespace {

const std::string kEquals(83, '=');
const std::string kDashes(83, '-');

std::string RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& b : bytes) {
    b = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

// Rows of 16 cut from the start of `bytes`, the first at `offset`.
void AppendRows(std::string& out, const std::string& bytes, uint64_t offset, bool uppercase) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = 0; i < bytes.size(); i += 16) {
    AppendHexRow(out, offset + i, data + i, std::min<size_t>(16, bytes.size() - i), uppercase);
  }
}

// Header block, empty line and column header of a non-empty file.
std::string ExpectedOpening(const std::wstring& displayPath, uint64_t fileSize, uint64_t maxKb, bool uppercase) {
  return RenderReportHeader(displayPath, fileSize, std::min(fileSize, maxKb * 1024), maxKb, uppercase) + "\r\n" +
         RenderColumnHeader(uppercase);
}

// The whole dump of a file read as it should be: every read delivering what it asked.
std::string ExpectedDump(const std::wstring& displayPath, const std::string& content, uint64_t maxKb, bool uppercase) {
  const uint64_t capBytes = maxKb * 1024;
  if (content.empty()) {
    return RenderReportHeader(displayPath, 0, 0, maxKb, uppercase) + RenderFooter(FooterKind::Empty, 0, maxKb);
  }
  std::string dump = ExpectedOpening(displayPath, content.size(), maxKb, uppercase);
  AppendRows(dump, content.substr(0, std::min<uint64_t>(content.size(), capBytes)), 0, uppercase);
  return dump + "\r\n" + RenderFooter(SelectFooterKind(content.size(), capBytes), content.size(), maxKb);
}

class GenerateDumpTest : public ::testing::Test {
 protected:
  DumpRequest Request(uint64_t maxKb = 64, bool uppercase = true) const {
    DumpRequest request;
    request.inputPath = input_;
    request.outputPath = output_;
    request.temporaryPath = temporary_;
    request.maxKb = maxKb;
    request.uppercase = uppercase;
    return request;
  }

  // The scratch directory holds the input (if any) and the dump, and nothing else.
  void ExpectOnlyInputAndOutput() const {
    std::vector<std::wstring> names = test::ListNames(scratch_.path());
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> expected = {L"dump.hextxt"};
    if (test::FileExists(input_)) {
      expected.push_back(FileNameOf(input_));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
  }

  test::ScratchDirectory scratch_{L"generate"};
  std::wstring input_ = scratch_.Join(L"input.bin");
  std::wstring output_ = scratch_.Join(L"dump.hextxt");
  std::wstring temporary_ = scratch_.Join(L"dump.hextxt.77.1234.tmp");
};

TEST_F(GenerateDumpTest, DumpsTheHelloExample) {
  ASSERT_TRUE(test::WriteWholeFile(input_, std::string("Hello, world!\r\nBye\0\xFF", 20)));
  const DumpResult result = GenerateDump(Request());
  ASSERT_TRUE(result.success) << test::Utf8(result.error);
  EXPECT_EQ(result.error, L"");
  const std::string expected = kEquals + "\r\n[Lumo Hex Dump]\r\nFile:      " + test::Utf8(input_) +
                               "\r\n"
                               "Size:      20 bytes\r\n"
                               "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)\r\n" +
                               kEquals +
                               "\r\n"
                               "\r\n"
                               "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text\r\n"
                               "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|\r\n"
                               "00000010     79 65 00 FF                                         |ye..            |\r\n"
                               "\r\n" +
                               kDashes + "\r\n[End of File: Fully displayed] (Total: 20 bytes)\r\n" + kDashes + "\r\n";
  EXPECT_EQ(test::ReadWholeFile(output_), expected);
  ExpectOnlyInputAndOutput();
}

TEST_F(GenerateDumpTest, DumpsAnEmptyFileWithoutRows) {
  ASSERT_TRUE(test::WriteWholeFile(input_, ""));
  ASSERT_TRUE(GenerateDump(Request()).success);
  const std::string expected = kEquals + "\r\n[Lumo Hex Dump]\r\nFile:      " + test::Utf8(input_) +
                               "\r\nSize:      0 bytes\r\nRange:     Showing 0 bytes\r\n" + kEquals +
                               "\r\n\r\n[Empty File: 0 Bytes]\r\n";
  EXPECT_EQ(test::ReadWholeFile(output_), expected);
  ExpectOnlyInputAndOutput();
}

TEST_F(GenerateDumpTest, DumpsOneByteWithBlankCells) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "A"));
  ASSERT_TRUE(GenerateDump(Request()).success);
  const std::string dump = test::ReadWholeFile(output_);
  EXPECT_NE(dump.find("\r\nSize:      1 bytes\r\nRange:     Showing all 1 bytes (0x00000000 - 0x00000000)\r\n"),
            std::string::npos);
  EXPECT_NE(dump.find("\r\n00000000     41" + std::string(50, ' ') + "|A" + std::string(15, ' ') + "|\r\n\r\n" +
                      kDashes + "\r\n[End of File: Fully displayed] (Total: 1 bytes)\r\n" + kDashes + "\r\n"),
            std::string::npos);
  EXPECT_EQ(dump, ExpectedDump(input_, "A", 64, true));
}

TEST_F(GenerateDumpTest, DumpsWholeFilesMatchingTheRenderedReport) {
  struct Case {
    const char* name;
    size_t size;
    uint64_t maxKb;
    bool uppercase;
    const char* rangeLine;
    const char* footerLine;
  };
  const Case cases[] = {
      {"exactly the cap", 65536, 64, true, "Range:     Showing all 65,536 bytes (0x00000000 - 0x0000FFFF)",
       "[End of File: Fully displayed] (Total: 65,536 bytes)"},
      {"the cap plus one", 65537, 64, true, "Range:     Showing first 64 KB (0x00000000 - 0x0000FFFF)",
       "[Truncated] Display capped at 64 KB to ensure instant loading. (Total: 64.00 KB)"},
      {"256 KiB in lower case", 262144, 256, false, "Range:     Showing all 262,144 bytes (0x00000000 - 0x0003ffff)",
       "[End of File: Fully displayed] (Total: 262,144 bytes)"},
      {"a cap of 1 KiB", 5000, 1, true, "Range:     Showing first 1 KB (0x00000000 - 0x000003FF)",
       "[Truncated] Display capped at 1 KB to ensure instant loading. (Total: 4.88 KB)"},
      {"several flushes", 3 * 1048576 + 5, 2048, false, "Range:     Showing first 2048 KB (0x00000000 - 0x001fffff)",
       "[Truncated] Display capped at 2048 KB to ensure instant loading. (Total: 3.00 MB)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = RandomBytes(c.size, static_cast<uint32_t>(c.size));
    ASSERT_TRUE(test::WriteWholeFile(input_, content));
    DeleteFileW(output_.c_str());
    const DumpResult result = GenerateDump(Request(c.maxKb, c.uppercase));
    ASSERT_TRUE(result.success) << test::Utf8(result.error);
    const std::string dump = test::ReadWholeFile(output_);
    EXPECT_NE(dump.find(std::string("\r\n") + c.rangeLine + "\r\n"), std::string::npos);
    EXPECT_NE(dump.find(std::string("\r\n\r\n") + kDashes + "\r\n" + c.footerLine + "\r\n" + kDashes + "\r\n"),
              std::string::npos);
    EXPECT_TRUE(dump == ExpectedDump(input_, content, c.maxKb, c.uppercase)) << "dump of " << dump.size() << " bytes";
    ExpectOnlyInputAndOutput();
  }
}

TEST_F(GenerateDumpTest, ReportsAMissingInputAsAnOpenError) {
  const std::wstring missingDirectory = scratch_.Join(L"no such dir\\a.bin");
  for (const auto& missing : {input_, missingDirectory}) {
    DumpRequest request = Request();
    request.inputPath = missing;
    DeleteFileW(output_.c_str());
    const DumpResult result = GenerateDump(request);
    EXPECT_TRUE(result.success) << test::Utf8(result.error);
    EXPECT_EQ(test::ReadWholeFile(output_), kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + test::Utf8(missing) +
                                                "\r\nError:     Cannot open file for reading (file not found)\r\n" +
                                                kEquals + "\r\n");
    ExpectOnlyInputAndOutput();
  }
}

TEST_F(GenerateDumpTest, ReportsADirectoryAsAnOpenErrorNotACloudFile) {
  const std::wstring directory = scratch_.Join(L"a directory");
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  DumpRequest request = Request();
  request.inputPath = directory + L"\\";
  ASSERT_TRUE(GenerateDump(request).success);
  // Opening a directory as a file is refused with ERROR_ACCESS_DENIED.
  EXPECT_EQ(test::ReadWholeFile(output_), RenderOpenErrorReport(directory, L"access denied"));
}

TEST_F(GenerateDumpTest, ReportsAnInputHeldWithoutReadSharingAsLocked) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "held"));
  test::FileHolder holder(input_, L"none");
  ASSERT_TRUE(holder.holding());
  ASSERT_TRUE(GenerateDump(Request()).success);
  EXPECT_EQ(test::ReadWholeFile(output_), RenderOpenErrorReport(input_, L"file is locked by another process"));
  EXPECT_NE(test::ReadWholeFile(output_).find("Error:     Cannot open file for reading (file is locked by another "
                                              "process)\r\n"),
            std::string::npos);
}

TEST_F(GenerateDumpTest, ReadsAnInputHeldWithFullSharing) {
  const std::string content = RandomBytes(70000, 3);
  ASSERT_TRUE(test::WriteWholeFile(input_, content));
  test::FileHolder holder(input_, L"all");
  ASSERT_TRUE(holder.holding());
  ASSERT_TRUE(GenerateDump(Request(128)).success);
  EXPECT_TRUE(test::ReadWholeFile(output_) == ExpectedDump(input_, content, 128, true));
}

TEST_F(GenerateDumpTest, StopsAtAByteRangeAnotherProcessLocked) {
  const std::string content = RandomBytes(3 * 65536, 4);
  ASSERT_TRUE(test::WriteWholeFile(input_, content));
  test::FileHolder holder(input_, L"lock:65536:16");
  ASSERT_TRUE(holder.holding());

  // Windows refuses reads of a range another process locked (code 33); Wine does not
  // enforce such locks on reads at all. Ask the platform which it is, then hold the
  // dump to that.
  DWORD probeError = 0;
  {
    HANDLE probe = CreateFileW(input_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    char bytes[16];
    DWORD got = 0;
    SetFilePointer(probe, 65536, nullptr, FILE_BEGIN);
    if (!ReadFile(probe, bytes, sizeof bytes, &got, nullptr)) {
      probeError = GetLastError();
    }
    CloseHandle(probe);
  }

  ASSERT_TRUE(GenerateDump(Request(192)).success);
  const std::string dump = test::ReadWholeFile(output_);
  if (probeError == 0) {
    EXPECT_TRUE(dump == ExpectedDump(input_, content, 192, true));
    return;
  }
  ASSERT_EQ(probeError, 33u);
  std::string expected = ExpectedOpening(input_, content.size(), 192, true);
  AppendRows(expected, content.substr(0, 65536), 0, true);
  expected += "\r\n[Read Error] Stopped at 0x00010000: file is locked by another process\r\n";
  EXPECT_TRUE(dump == expected);
}

// Serves the bytes of `content` as the file would, but lets a test decide per call.
struct ScriptedReader {
  struct Step {
    int64_t deliver = -1;  // bytes to report delivered; -1: what was asked
    bool fail = false;
    uint32_t code = 0;
  };

  ChunkReader Reader() {
    return [this](unsigned char* buffer, uint64_t wanted, uint64_t& delivered, uint32_t& errorCode) {
      wants.push_back(wanted);
      const Step step = calls < steps.size() ? steps[calls] : Step{};
      ++calls;
      if (step.fail) {
        errorCode = step.code;
        return false;
      }
      delivered = step.deliver < 0 ? wanted : static_cast<uint64_t>(step.deliver);
      // Never write beyond what was asked, even when claiming more.
      const uint64_t copied = std::min<uint64_t>({delivered, wanted, content.size() - position});
      std::copy_n(content.data() + position, copied, buffer);
      position += copied;
      return true;
    };
  }

  std::string content;
  std::vector<Step> steps;
  std::vector<uint64_t> wants;
  size_t calls = 0;
  uint64_t position = 0;
};

TEST_F(GenerateDumpTest, ReadsInChunksOfAtMost65536BytesUpToTheCap) {
  ScriptedReader script;
  script.content = RandomBytes(2 * 65536 + 114, 5);
  ASSERT_TRUE(test::WriteWholeFile(input_, script.content));
  ASSERT_TRUE(GenerateDump(Request(), script.Reader()).success);
  EXPECT_EQ(script.wants, (std::vector<uint64_t>{65536}));

  script.wants.clear();
  script.position = 0;
  DeleteFileW(output_.c_str());
  ASSERT_TRUE(GenerateDump(Request(1024), script.Reader()).success);
  EXPECT_EQ(script.wants, (std::vector<uint64_t>{65536, 65536, 114}));
  EXPECT_TRUE(test::ReadWholeFile(output_) == ExpectedDump(input_, script.content, 1024, true));
}

TEST_F(GenerateDumpTest, ReadsNothingForAnEmptyFile) {
  ASSERT_TRUE(test::WriteWholeFile(input_, ""));
  ScriptedReader script;
  ASSERT_TRUE(GenerateDump(Request(), script.Reader()).success);
  EXPECT_TRUE(script.wants.empty());
  EXPECT_EQ(test::ReadWholeFile(output_), ExpectedDump(input_, "", 64, true));
}

TEST_F(GenerateDumpTest, EndsWithTheReadErrorWhenTheSecondChunkFails) {
  ScriptedReader script;
  script.content = RandomBytes(200000, 6);
  script.steps = {{}, {-1, true, 33}};
  ASSERT_TRUE(test::WriteWholeFile(input_, script.content));
  const DumpResult result = GenerateDump(Request(1024), script.Reader());
  EXPECT_TRUE(result.success);
  EXPECT_EQ(result.error, L"");
  EXPECT_EQ(script.calls, 2u);

  std::string expected = ExpectedOpening(input_, script.content.size(), 1024, true);
  AppendRows(expected, script.content.substr(0, 65536), 0, true);
  expected += "\r\n[Read Error] Stopped at 0x00010000: file is locked by another process\r\n";
  const std::string dump = test::ReadWholeFile(output_);
  EXPECT_TRUE(dump == expected);
  size_t rows = 0;
  for (size_t at = dump.find("|\r\n"); at != std::string::npos; at = dump.find("|\r\n", at + 1)) {
    ++rows;
  }
  EXPECT_EQ(rows, 4096u);
  ExpectOnlyInputAndOutput();
}

TEST_F(GenerateDumpTest, CutsRowsFromWhereEachReadBegan) {
  ScriptedReader script;
  script.content = RandomBytes(200, 7);
  script.steps = {{10}};
  ASSERT_TRUE(test::WriteWholeFile(input_, script.content));
  ASSERT_TRUE(GenerateDump(Request(), script.Reader()).success);
  EXPECT_EQ(script.wants, (std::vector<uint64_t>{200, 190}));

  std::string expected = ExpectedOpening(input_, 200, 64, true);
  AppendRows(expected, script.content.substr(0, 10), 0, true);
  AppendRows(expected, script.content.substr(10), 10, true);
  expected += "\r\n" + RenderFooter(FooterKind::FullyDisplayed, 200, 64);
  const std::string dump = test::ReadWholeFile(output_);
  EXPECT_EQ(dump, expected);
  for (const char* rowStart : {"\r\n00000000     ", "\r\n0000000A     ", "\r\n0000001A     ", "\r\n000000BA     "}) {
    EXPECT_NE(dump.find(rowStart), std::string::npos) << rowStart;
  }
  EXPECT_EQ(dump.find("\r\n00000010     "), std::string::npos);
}

TEST_F(GenerateDumpTest, KeepsTheFooterOfTheSizeWhenTheFileEndsEarly) {
  ScriptedReader script;
  script.content = RandomBytes(100, 8);
  script.steps = {{100}, {0}};
  ASSERT_TRUE(test::WriteWholeFile(input_, RandomBytes(1000, 8)));
  ASSERT_TRUE(GenerateDump(Request(), script.Reader()).success);
  EXPECT_EQ(script.calls, 2u);
  std::string expected = ExpectedOpening(input_, 1000, 64, true);
  AppendRows(expected, script.content, 0, true);
  expected += "\r\n" + RenderFooter(FooterKind::FullyDisplayed, 1000, 64);
  EXPECT_EQ(test::ReadWholeFile(output_), expected);
}

TEST_F(GenerateDumpTest, TakesAReaderDeliveringMoreThanAskedAsAFailedRead) {
  ScriptedReader script;
  script.content = RandomBytes(3 * 65536, 9);
  script.steps = {{}, {65537}};
  ASSERT_TRUE(test::WriteWholeFile(input_, script.content));
  const DumpResult result = GenerateDump(Request(1024, false), script.Reader());
  EXPECT_TRUE(result.success);
  EXPECT_EQ(script.calls, 2u);
  std::string expected = ExpectedOpening(input_, script.content.size(), 1024, false);
  AppendRows(expected, script.content.substr(0, 65536), 0, false);
  expected += "\r\n" + RenderReadErrorLine(65536, FileErrorText(ERROR_INVALID_DATA), false);
  EXPECT_TRUE(test::ReadWholeFile(output_) == expected);
}

TEST_F(GenerateDumpTest, FailsWithoutTouchingAnythingWhenTheTemporaryNameIsTaken) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "input"));
  ASSERT_TRUE(test::WriteWholeFile(output_, "previous dump"));
  ASSERT_TRUE(test::WriteWholeFile(temporary_, "someone else's"));
  const DumpResult result = GenerateDump(Request());
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error, L"cannot create temporary file '" + temporary_ + L"': " + SystemErrorText(ERROR_FILE_EXISTS));
  EXPECT_EQ(test::ReadWholeFile(output_), "previous dump");
  EXPECT_EQ(test::ReadWholeFile(temporary_), "someone else's");
}

TEST_F(GenerateDumpTest, FailsAndDeletesTheTemporaryWhenTheRenameFails) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "input"));
  ASSERT_TRUE(CreateDirectoryW(output_.c_str(), nullptr));
  const DumpResult result = GenerateDump(Request());
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error.rfind(L"MoveFileExW failed: ", 0), 0u) << test::Utf8(result.error);
  EXPECT_FALSE(test::FileExists(temporary_));
  EXPECT_TRUE(IsDirectory(output_));
}

TEST_F(GenerateDumpTest, FailsOnAFullDiskAndKeepsThePreviousDump) {
  const std::wstring disk = scratch_.Join(L"small disk");
  const test::SmallDisk mount(disk, "64k");
  ASSERT_TRUE(mount.ok());
  ASSERT_TRUE(test::WriteWholeFile(input_, RandomBytes(1048576, 10)));
  DumpRequest request = Request(1024);
  request.outputPath = disk + L"\\dump.hextxt";
  request.temporaryPath = disk + L"\\dump.hextxt.1.2.tmp";
  ASSERT_TRUE(test::WriteWholeFile(request.outputPath, "previous dump"));

  const DumpResult result = GenerateDump(request);
  EXPECT_FALSE(result.success);
  const std::wstring prefix = L"cannot write temporary file '" + request.temporaryPath + L"': ";
  EXPECT_EQ(result.error.rfind(prefix, 0), 0u) << test::Utf8(result.error);
  EXPECT_EQ(test::ListNames(disk), (std::vector<std::wstring>{L"dump.hextxt"}));
  EXPECT_EQ(test::ReadWholeFile(request.outputPath), "previous dump");
}

TEST_F(GenerateDumpTest, WritesTheCloudReportWithoutOpeningTheInput) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "placeholder"));
  // An open of the input would fail while this holds it, and give another report.
  test::FileHolder holder(input_, L"none");
  ASSERT_TRUE(holder.holding());
  std::vector<std::wstring> asked;
  const CloudFileTest cloud = [&](const std::wstring& openPath) {
    asked.push_back(openPath);
    return true;
  };
  ScriptedReader script;
  const DumpResult result = GenerateDump(Request(), script.Reader(), cloud);
  EXPECT_TRUE(result.success);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"\\\\?\\" + input_}));
  EXPECT_EQ(script.calls, 0u);
  EXPECT_EQ(test::ReadWholeFile(output_), kEquals + "\r\n[Lumo Hex Dump Error]\r\nFile:      " + test::Utf8(input_) +
                                              "\r\nError:     Online-only cloud file (Recall on data access).\r\n"
                                              "Hint:      Please download the file locally before viewing hex "
                                              "dump.\r\n" +
                                              kEquals + "\r\n");
}

TEST_F(GenerateDumpTest, ReadsTheFileWhenTheCloudTestSaysNo) {
  ASSERT_TRUE(test::WriteWholeFile(input_, "local"));
  ASSERT_TRUE(GenerateDump(Request(), {}, [](const std::wstring&) { return false; }).success);
  EXPECT_EQ(test::ReadWholeFile(output_), ExpectedDump(input_, "local", 64, true));
}

// Sets the process's current directory for one test.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::wstring& directory) {
    wchar_t previous[MAX_PATH + 1] = {};
    previous_.assign(previous, GetCurrentDirectoryW(MAX_PATH + 1, previous));
    changed_ = SetCurrentDirectoryW(directory.c_str()) != FALSE;
  }
  ~CurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  bool changed() const { return changed_; }

 private:
  std::wstring previous_;
  bool changed_ = false;
};

TEST_F(GenerateDumpTest, ShowsTheAbsolutePathWithBackslashesOnTheFileLine) {
  const std::wstring file = scratch_.Join(L"sub dir\\caf\u00e9.bin");
  ASSERT_TRUE(CreateDirectoryW(scratch_.Join(L"sub dir").c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(file, "bytes"));
  std::wstring forward = file;
  std::replace(forward.begin(), forward.end(), L'\\', L'/');
  const CurrentDirectory inScratch(scratch_.path());
  ASSERT_TRUE(inScratch.changed());

  for (const std::wstring& given : {std::wstring(L"sub dir/caf\u00e9.bin"),
                                    std::wstring(L"./sub dir/../sub dir/caf\u00e9.bin"), forward, L"\\\\?\\" + file}) {
    DumpRequest request = Request();
    request.inputPath = given;
    DeleteFileW(output_.c_str());
    ASSERT_TRUE(GenerateDump(request).success) << test::Utf8(given);
    const std::string dump = test::ReadWholeFile(output_);
    EXPECT_EQ(dump, ExpectedDump(file, "bytes", 64, true)) << test::Utf8(given);
    EXPECT_NE(dump.find("\r\nFile:      " + test::Utf8(file) + "\r\n"), std::string::npos);
    EXPECT_NE(dump.find("caf\xC3\xA9.bin\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace hv
