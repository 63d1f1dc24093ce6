#pragma once
// Every skin test class registers itself with the shared Qt Test runner.

#include "tests/common/QtTestRunner.h"

#define KNETIX_SKIN_TEST(Class) KNETIX_QT_TEST(Class)
