#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dump/generate.h"
#include "dump/report.h"
#include "storage/path.h"
#include "support/fault_guards.h"
#include "support/test_support.h"
#include "text/system_error.h"

namespace hv {
namespace {

std::string RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& b : bytes) {
    b = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

// Header block, empty line and column header of a non-empty file.
std::string ExpectedOpening(const std::wstring& displayPath, uint64_t fileSize, uint64_t maxKb, bool uppercase) {
  return RenderReportHeader(displayPath, fileSize, std::min(fileSize, maxKb * 1024), maxKb, uppercase) + "\r\n" +
         RenderColumnHeader(uppercase);
}

// Rows of 16 cut from the start of `bytes`, the first at `offset`.
void AppendRows(std::string& out, const std::string& bytes, uint64_t offset, bool uppercase) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = 0; i < bytes.size(); i += 16) {
    AppendHexRow(out, offset + i, data + i, std::min<size_t>(16, bytes.size() - i), uppercase);
  }
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
    EXPECT_EQ(test::ListNames(scratch_.path()).size(), test::FileExists(input_) ? 2u : 1u);
    EXPECT_TRUE(test::FileExists(output_));
  }

  test::ScratchDirectory scratch_{L"generate"};
  std::wstring input_ = scratch_.Join(L"input.bin");
  std::wstring output_ = scratch_.Join(L"dump.hextxt");
  std::wstring temporary_ = scratch_.Join(L"dump.hextxt.77.1234.tmp");
};

TEST_F(GenerateDumpTest, DumpsWholeFilesMatchingTheRenderedReport) {
  const struct {
    const char* name;
    size_t size;
    uint64_t maxKb;
    bool uppercase;
    bool heldWithFullSharing = false;
  } cases[] = {
      {"empty", 0, 64, true},
      {"one byte", 1, 64, true},
      {"exactly the cap", 65536, 64, true},
      {"the cap plus one", 65537, 64, true},
      {"256 KiB in lower case", 262144, 256, false},
      {"a cap of 1 KiB", 5000, 1, true},
      {"several flushes", 3 * 1048576 + 5, 2048, false},
      {"held by another process sharing everything", 70000, 128, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = RandomBytes(c.size, static_cast<uint32_t>(c.size));
    ASSERT_TRUE(test::WriteWholeFile(input_, content));
    std::optional<test::FileHolder> holder;
    if (c.heldWithFullSharing) {
      ASSERT_TRUE(holder.emplace(input_, L"all").holding());
    }
    DeleteFileW(output_.c_str());
    const DumpResult result = GenerateDump(Request(c.maxKb, c.uppercase));
    ASSERT_TRUE(result.success) << test::Utf8(result.error);
    EXPECT_EQ(result.error, L"");
    const std::string dump = test::ReadWholeFile(output_);
    EXPECT_TRUE(dump == ExpectedDump(input_, content, c.maxKb, c.uppercase)) << "dump of " << dump.size() << " bytes";
    ExpectOnlyInputAndOutput();
  }
}

// An input that cannot be opened is a report in the dump, not a failed run.
TEST_F(GenerateDumpTest, ReportsInputsThatCannotBeOpened) {
  auto expectReport = [this](const std::wstring& inputPath, const std::wstring& display, const wchar_t* message) {
    SCOPED_TRACE(test::Utf8(inputPath));
    DumpRequest request = Request();
    request.inputPath = inputPath;
    DeleteFileW(output_.c_str());
    const DumpResult result = GenerateDump(request);
    EXPECT_TRUE(result.success) << test::Utf8(result.error);
    EXPECT_EQ(test::ReadWholeFile(output_), RenderOpenErrorReport(display, message));
  };
  expectReport(input_, input_, L"file not found");
  expectReport(scratch_.Join(L"no such dir\\a.bin"), scratch_.Join(L"no such dir\\a.bin"), L"file not found");
  ExpectOnlyInputAndOutput();

  const std::wstring directory = scratch_.Join(L"a directory");
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  expectReport(directory + L"\\", directory, L"access denied");

  ASSERT_TRUE(test::WriteWholeFile(input_, "held"));
  test::FileHolder holder(input_, L"none");
  ASSERT_TRUE(holder.holding());
  expectReport(input_, input_, L"file is locked by another process");
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
      const Step step = wants.size() <= steps.size() ? steps[wants.size() - 1] : Step{};
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
  uint64_t position = 0;
};

// Rows are cut from where each read began; a failed read ends the dump with its line.
TEST_F(GenerateDumpTest, FollowsWhatEachReadDelivered) {
  const struct {
    size_t size;
    uint64_t maxKb;
    bool uppercase;
    std::vector<ScriptedReader::Step> steps;
    std::vector<uint64_t> wants;
    std::vector<std::pair<size_t, size_t>> reads;  // [from, to) of each delivered read
    uint32_t stopCode;                             // 0: the dump ends with its footer
  } cases[] = {
      // The second chunk fails.
      {200000, 1024, true, {{}, {-1, true, 33}}, {65536, 65536}, {{0, 65536}}, 33},
      // A read delivers 10 bytes: the next rows start at offset 10.
      {200, 64, true, {{10}}, {200, 190}, {{0, 10}, {10, 200}}, 0},
      // The file ends early: the footer still tells the size taken at the open.
      {1000, 64, true, {{100}, {0}}, {1000, 900}, {{0, 100}}, 0},
      // A read claims more than asked: a failed read, and nothing beyond the buffer used.
      {3 * 65536, 1024, false, {{}, {65537}}, {65536, 65536}, {{0, 65536}}, ERROR_INVALID_DATA},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    ScriptedReader script;
    script.content = RandomBytes(c.size, 6);
    script.steps = c.steps;
    ASSERT_TRUE(test::WriteWholeFile(input_, script.content));
    DeleteFileW(output_.c_str());
    const DumpResult result = GenerateDump(Request(c.maxKb, c.uppercase), script.Reader());
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.error, L"");
    EXPECT_EQ(script.wants, c.wants);

    std::string expected = ExpectedOpening(input_, c.size, c.maxKb, c.uppercase);
    for (const auto& [from, to] : c.reads) {
      AppendRows(expected, script.content.substr(from, to - from), from, c.uppercase);
    }
    expected += "\r\n" + (c.stopCode == 0 ? RenderFooter(FooterKind::FullyDisplayed, c.size, c.maxKb)
                                          : RenderReadErrorLine(65536, FileErrorText(c.stopCode), c.uppercase));
    EXPECT_TRUE(test::ReadWholeFile(output_) == expected);
    ExpectOnlyInputAndOutput();
  }
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
  EXPECT_TRUE(GenerateDump(Request(), script.Reader(), cloud).success);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"\\\\?\\" + input_}));
  EXPECT_TRUE(script.wants.empty());
  EXPECT_EQ(test::ReadWholeFile(output_), RenderCloudFileReport(input_));
}

TEST_F(GenerateDumpTest, ShowsTheAbsolutePathWithBackslashesOnTheFileLine) {
  const std::wstring file = scratch_.Join(L"sub dir\\caf\u00e9.bin");
  ASSERT_TRUE(CreateDirectoryW(scratch_.Join(L"sub dir").c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(file, "bytes"));
  std::wstring forward = file;
  std::replace(forward.begin(), forward.end(), L'\\', L'/');
  const test::CurrentDirectory inScratch(scratch_.path());
  ASSERT_TRUE(inScratch.changed());

  for (const std::wstring& given : {std::wstring(L"sub dir/caf\u00e9.bin"),
                                    std::wstring(L"./sub dir/../sub dir/caf\u00e9.bin"), forward, L"\\\\?\\" + file}) {
    DumpRequest request = Request();
    request.inputPath = given;
    DeleteFileW(output_.c_str());
    ASSERT_TRUE(GenerateDump(request).success) << test::Utf8(given);
    EXPECT_EQ(test::ReadWholeFile(output_), ExpectedDump(file, "bytes", 64, true)) << test::Utf8(given);
  }
}

}  // namespace
}  // namespace hv
