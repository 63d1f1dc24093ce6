#pragma once
// The GoogleTest side of the shared test pictures: temporary folders named
// after the running test.

#include "tests/common/TestPictures.h"

#include <gtest/gtest.h>

namespace knetix::test {

inline std::string currentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "-" + info->name() : "test";
}

} // namespace knetix::test
