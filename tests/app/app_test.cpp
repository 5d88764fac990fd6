#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/entry.h"
#include "app/error_reporting.h"
#include "storage/path.h"
#include "support/test_support.h"
#include "text/unique_handle.h"

namespace hv::app_test {

// On a fresh thread, as the process starts: the run in a single-threaded apartment, undone once it returns.
TEST(RunWithCom, RunsInASingleThreadedApartment) {
  std::thread([] {
    HRESULT inside = E_FAIL;
    const int code = RunWithCom([&](const std::vector<std::wstring>& arguments) {
      inside = arguments == CaptureArguments() ? CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL;
      if (SUCCEEDED(inside)) CoUninitialize();
      return 7;
    });
    const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(std::tuple(code, inside, after), std::tuple(7, S_FALSE, S_OK));
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
}

// Inside a run a library loads by name from a folder on PATH, as a shell handler's helper does; not from the current
// directory.
TEST(RunWithCom, FindsLibrariesOnThePathButNotInTheCurrentDirectory) {
  const test::ScratchDirectory scratch;
  const std::wstring probe = JoinPath(ModuleDirectory(), L"search-probe.dll"), onPath = scratch.Join(L"on-path");
  ASSERT_TRUE(CreateDirectoryW(onPath.c_str(), nullptr) &&
              CopyFileW(probe.c_str(), (onPath + L"\\path-probe.dll").c_str(), FALSE) &&
              CopyFileW(probe.c_str(), scratch.Join(L"here-probe.dll").c_str(), FALSE));
  const std::wstring path = _wgetenv(L"PATH");  // as the process began
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path());
  SetEnvironmentVariableW(L"PATH", (onPath + L";" + path).c_str());
  const auto loads = [](const wchar_t* name) {
    return UniqueAny<HMODULE, &FreeLibrary, 0>(LoadLibraryW(name)).valid();
  };
  const int found = RunWithCom([&](auto&) { return 2 * loads(L"path-probe.dll") + loads(L"here-probe.dll"); });
  std::filesystem::current_path(here);
  SetEnvironmentVariableW(L"PATH", path.c_str());
  EXPECT_EQ(found, 2) << "2: from PATH alone; 1: from the current directory";
}

extern "C" uintptr_t __stack_chk_guard;
static volatile size_t gOverrun = 64;
[[gnu::noinline]] void OverrunAFrame() {
  char buffer[16];
  std::memset(buffer, 'x', gOverrun);
  std::fwrite(buffer, 1, 1, stdout);
}

// The guard is drawn (not the terminator canary standing till then); an overrun frame ends the run as Windows does.
TEST(StackGuard, IsDrawnAndEndsARunThatOverrunsAFrame) {
  EXPECT_NE(__stack_chk_guard, 0xff0a0000u);
  EXPECT_EXIT(OverrunAFrame(), testing::ExitedWithCode(static_cast<int>(0xC0000409)), "");
}

TEST(ErrorReporting, TestModeValuesAndTheCutOfALongLine) {
  // Unset last, so no later test meets a message box.
  const std::pair<const wchar_t*, bool> modes[] = {{L"", false},   {L"1", true},   {L"true", false},
                                                   {L"01", false}, {L" 1", false}, {nullptr, false}};
  for (const auto& [value, result] : modes) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"LUMO_TEST_NO_UI", value));
    EXPECT_EQ(IsTestNoUi(), result) << (value ? value[0] : '-');
  }
  // A line of exactly the limit is whole; the end-to-end runs show the cut of a longer one.
  EXPECT_EQ(TruncateText(std::wstring(256, L'x'), 256), std::wstring(256, L'x'));
}

}  // namespace hv::app_test
