// The verification core's tests: one portable suite, run natively and on Windows.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>
