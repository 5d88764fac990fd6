#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/entry.h"
#include "app/error_reporting.h"
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

// The library lies beside this program, which the default search would look in first.
TEST(RunWithCom, LoadsNoLibraryByNameFromTheProgramsFolder) {
  const auto loads = [](DWORD where) {
    return UniqueAny<HMODULE, &FreeLibrary, 0>(LoadLibraryExW(L"search-probe.dll", nullptr, where)).valid();
  };
  EXPECT_EQ(RunWithCom([&](const std::vector<std::wstring>&) { return loads(0) ? 1 : 0; }), 0);
  EXPECT_TRUE(loads(LOAD_LIBRARY_SEARCH_APPLICATION_DIR));
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
