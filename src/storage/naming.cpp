#include "storage/naming.h"

#include "storage/path.h"
#include "text/encoding.h"

namespace hv {
namespace {

constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;
constexpr wchar_t kDumpsDirectoryName[] = L"dumps";
constexpr wchar_t kHashSeparator[] = L" - ";
constexpr wchar_t kCutMarker[] = L"...";
constexpr size_t kPathLimit = 240;  // a dump path must stay below this many units
constexpr unsigned kLongStemLimit = 64;
constexpr unsigned kShortStemLimit = 32;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::wstring HashText(uint64_t hash) {
  const std::string digits = HexText(hash, false, 16);
  return std::wstring(digits.begin(), digits.end());
}

// FNV-1a 64 over the UTF-16 units themselves, one step per unit, no case folding, so that every
// spelling of one file, made absolute, names one dump.
uint64_t PathHash(const std::wstring& fullPath) {
  uint64_t hash = kFnvOffsetBasis;
  for (const wchar_t unit : fullPath) {
    hash ^= static_cast<uint16_t>(unit);
    hash *= kFnvPrime;
  }
  return hash;
}

bool IsForbiddenFileNameChar(wchar_t c) {
  if (c < 0x20) {
    return true;
  }
  switch (c) {
    case L'"':
    case L'*':
    case L'/':
    case L':':
    case L'<':
    case L'>':
    case L'?':
    case L'\\':
    case L'|':
      return true;
    default:
      return false;
  }
}

std::wstring SanitizeFileName(const std::wstring& name) {
  std::wstring result;
  result.reserve(name.size());
  size_t i = 0;
  while (i < name.size()) {
    const wchar_t c = name[i];
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      result.push_back(c);
      result.push_back(name[i + 1]);
      i += 2;
    } else if (!IsHighSurrogate(c) && !IsLowSurrogate(c)) {
      result.push_back(IsForbiddenFileNameChar(c) ? L'_' : c);
      ++i;
    } else {
      result.push_back(L'_');  // an unpaired surrogate cannot be stored as a name
      ++i;
    }
  }
  return result;
}

std::wstring ShortenFileName(const std::wstring& name, unsigned limit) {
  if (limit < 4) {
    std::wstring head = name.substr(0, limit);
    if (!head.empty() && IsHighSurrogate(head.back())) {
      head.pop_back();
    }
    return head;
  }
  if (name.size() <= limit) {
    return name;
  }
  const size_t kept = limit - 3;
  size_t head = kept / 2;
  size_t tail = kept - head;
  // Never split a surrogate pair at either cut.
  if (head > 0 && IsHighSurrogate(name[head - 1])) {
    --head;
  }
  if (IsLowSurrogate(name[name.size() - tail])) {
    --tail;
  }
  return name.substr(0, head) + kCutMarker + name.substr(name.size() - tail);
}

// The stem comes from the input as given, the hash from its full path.
std::wstring DumpFileName(const std::wstring& inputPath, const std::wstring& inputFullPath, unsigned stemLimit) {
  const std::wstring stem = ShortenFileName(SanitizeFileName(FileNameOf(inputPath)), stemLimit);
  return HashText(PathHash(inputFullPath)) + kHashSeparator + stem + kDumpExtension;
}

}  // namespace

DumpTarget BuildDumpPath(const std::wstring& dumpRoot, const std::wstring& temporaryCandidate,
                         const std::wstring& inputPath, const std::wstring& inputFullPath) {
  DumpTarget target;
  if (dumpRoot.empty()) {
    return target;
  }
  auto tryIn = [&](const std::wstring& root, unsigned stemLimit) {
    const std::wstring directory = JoinPath(root, kDumpsDirectoryName);
    const std::wstring path = JoinPath(directory, DumpFileName(inputPath, inputFullPath, stemLimit));
    if (path.size() < kPathLimit) {
      target.dumpPath = path;
      target.dumpDirectory = directory;
      target.ok = true;
    }
    return target.ok;
  };
  if (tryIn(dumpRoot, kLongStemLimit) || tryIn(dumpRoot, kShortStemLimit)) {
    return target;
  }
  // A program directory too deep for any name: the temporary candidate, unprobed here.
  if (!temporaryCandidate.empty() && temporaryCandidate != dumpRoot) {
    tryIn(temporaryCandidate, kShortStemLimit);
  }
  return target;
}

std::wstring TemporaryDumpPath(const std::wstring& dumpPath, uint32_t processId, uint32_t tick) {
  return dumpPath + L"." + DecimalText(processId) + L"_" + DecimalText(tick) + kTemporaryExtension;
}

}  // namespace hv
