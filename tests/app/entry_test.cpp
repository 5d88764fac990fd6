#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/entry.h"

namespace hv {
namespace {

// Each case runs on a thread of its own, so the apartment it sees is its own.
template <typename Body>
void OnFreshThread(Body body) {
  std::thread(body).join();
}

TEST(RunWithCom, RunsInASingleThreadedApartmentAndUndoesIt) {
  OnFreshThread([] {
    HRESULT inside = E_FAIL;
    std::vector<std::wstring> seen;
    const int exitCode = RunWithCom([&](const std::vector<std::wstring>& arguments) {
      seen = arguments;
      inside = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_FALSE: already a single-threaded apartment
      if (SUCCEEDED(inside)) CoUninitialize();
      return 7;
    });
    EXPECT_EQ(exitCode, 7);
    EXPECT_EQ(inside, S_FALSE);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen, CaptureArguments());
    // Undone: the thread starts afresh.
    const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK);
    if (SUCCEEDED(after)) CoUninitialize();
  });
}

TEST(RunWithCom, AFailedInitialisationStillRunsAndIsNotUndone) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    bool ran = false;
    EXPECT_EQ(RunWithCom([&](const std::vector<std::wstring>&) {
                ran = true;
                return 0;
              }),
              0);
    EXPECT_TRUE(ran);
    // Our multithreaded apartment must still stand: a balancing call would have ended it.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_FALSE);
    if (SUCCEEDED(again)) CoUninitialize();
    CoUninitialize();
  });
}

TEST(CaptureArguments, KeepsTheProgramPathFirst) {
  const std::vector<std::wstring> arguments = CaptureArguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(arguments[0].find(L"test_app"), std::wstring::npos);
}

}  // namespace
}  // namespace hv
