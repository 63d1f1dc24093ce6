#pragma once
// The GoogleTest side of the shared test pictures: temporary folders named
// after the running test, and readable statuses.

#include "document/Document.h"
#include "resources/Messages.h"
#include "tests/common/TestPictures.h"

#include <gtest/gtest.h>

#include <ostream>

namespace knetix {

// A status that differs from the expected one prints as the text it shows.
inline void PrintTo(const DocumentStatus& status, std::ostream* os)
{
    *os << "problem " << int(status.problem) << " \"" << messageText(status) << "\"";
}

} // namespace knetix

namespace knetix::test {

inline std::string currentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "-" + info->name() : "test";
}

} // namespace knetix::test
