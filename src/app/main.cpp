// Process entry: a GUI-subsystem program that never opens a window.
#include <windows.h>

#include "app/entry.h"
#include "app/run_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return hv::RunWithCom(hv::RunSequence); }
