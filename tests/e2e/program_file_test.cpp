// hex-viewer.exe ships like a Windows program: a version resource and a manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace hv::test {
namespace {

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0) return {};
  return std::wstring(value, length - 1);
}

TEST(ProgramFile, CarriesAVersionResourceAndAManifest) {
  const std::wstring program = BuiltProgram(L"hex-viewer.exe");
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Lumo Hex View");
  EXPECT_EQ(VersionString(info, L"FileDescription"), L"Lumo hex dump plug-in");
  EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.0.0.0");

  HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(resource, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(image, resource)));
  const std::string manifest(text, SizeofResource(image, resource));
  FreeLibrary(image);
  for (const char* part : {"level=\"asInvoker\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">true</longPathAware>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  // The error line must stay in the system's ANSI code page.
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
}

}  // namespace
}  // namespace hv::test
