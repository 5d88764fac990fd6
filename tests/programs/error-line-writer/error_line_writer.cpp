// Reports its one argument as a failure and exits with 3, for the error line tests.
#include "app/error_reporting.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 64;
  hv::ReportError(argv[1]);
  return 3;
}
