# Sourced by the scripts: a quiet Wine with a UTF-8 locale, started once up front.
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# A Wine of this checkout's own (made on first use), so runs from other checkouts on the machine
# share neither its windows nor its settings.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine}"
# The first start spawns Wine's background services; they must not inherit our pipes,
# or whoever reads them (CTest) waits for ever.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
# A crashing program (a trap of the hardened build, say) must end with its exception code,
# not wait on the debugger's crash dialog until the test times out.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null || true
