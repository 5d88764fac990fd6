#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/entry.h"
#include "app/error_reporting.h"
#include "support/test_support.h"

namespace hv::app_test {

// A fresh thread per case; a failed initialisation (a multithreaded apartment there) must not be undone.
TEST(RunWithCom, RunsInASingleThreadedApartmentAndUndoesOnlyItsOwn) {
  for (bool mtaFirst : {false, true}) {
    std::thread([mtaFirst] {
      ASSERT_EQ(mtaFirst ? CoInitializeEx(nullptr, COINIT_MULTITHREADED) : S_OK, S_OK);
      HRESULT inside = E_FAIL;
      EXPECT_EQ(RunWithCom([&](const std::vector<std::wstring>& arguments) {
                  inside = arguments == CaptureArguments() ? CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL;
                  if (SUCCEEDED(inside)) CoUninitialize();
                  return 7;
                }),
                7);
      EXPECT_EQ(inside, mtaFirst ? RPC_E_CHANGED_MODE : S_FALSE);
      const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      EXPECT_EQ(after, mtaFirst ? S_FALSE : S_OK);
      if (SUCCEEDED(after)) CoUninitialize();
      if (mtaFirst) CoUninitialize();
    }).join();
  }
}

TEST(ErrorReporting, TestModeValuesAndTheErrorLineBytes) {
  // Unset last, so no later test meets a message box.
  const std::pair<const wchar_t*, bool> modes[] = {{L"", false},   {L"1", true},   {L"true", false},
                                                   {L"01", false}, {L" 1", false}, {nullptr, false}};
  for (const auto& [value, result] : modes) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"LUMO_TEST_NO_UI", value));
    EXPECT_EQ(IsTestNoUi(), result) << (value ? value[0] : '-');
  }
  // A line of exactly 256 units is whole; the cut of longer ones shows in the end-to-end runs.
  test::ProcessOptions options;
  options.environmentSet = {L"LUMO_TEST_NO_UI=1"};
  const auto run = test::RunProcess(test::BuiltProgram(L"error-line-writer.exe"), {std::wstring(235, L'x')}, options);
  EXPECT_TRUE(run.finished && run.exitCode == 3);
  EXPECT_EQ(run.standardError, "Lumo Hex View Error: " + std::string(235, 'x') + "\r\n");
}

}  // namespace hv::app_test
