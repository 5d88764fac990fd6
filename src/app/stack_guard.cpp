// The stack guard's value and its failure, which every guarded frame of the program refers to, in
// place of libssp's: libssp draws the value through CryptAcquireContext, which loads three crypto
// libraries at every start, a good part of a short run. RtlGenRandom draws it from advapi32.
#include <windows.h>
#include <ntsecapi.h>

#include <cstdint>

// Names the compiler chose.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {

extern uintptr_t __stack_chk_guard;
[[noreturn]] void __stack_chk_fail();

// Until it is drawn, and should the drawing fail, a terminator canary as libssp's: its NUL, line
// feed and 0xFF bytes end the string copies that overrun a buffer.
uintptr_t __stack_chk_guard = 0xff0a0000u;

// A smashed frame ends the process at once, without unwinding through it, as Windows ends one
// with a stack buffer overrun (0xC0000409) and reports it.
[[noreturn]] void __stack_chk_fail() {
  asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
  __builtin_unreachable();
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

// Before any other initialiser, and unguarded itself: a guarded frame would find the guard
// changed on its way out.
__attribute__((constructor(101), no_stack_protector)) void DrawStackGuard() {
  uintptr_t value = 0;
  if (RtlGenRandom(&value, sizeof value) && value != 0) {
    __stack_chk_guard = value;
  }
}

}  // namespace
