// The checker's tests: one table, run against lumbrik-check natively and
// against lumbrik-check.exe under Wine.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>
