#pragma once
// Scan statuses in assertions: a failure shows the message the user would see.

#include "files/scan/ScanStatus.h"
#include "resources/ScanMessages.h"

#include <gtest/gtest.h>

#include <ostream>

namespace knetix {

// Failed comparisons name the problem by its message.
inline void PrintTo(ScanProblem problem, std::ostream* os)
{
    *os << int(problem) << " (" << scanMessage(ScanStatus(problem)) << ")";
}

} // namespace knetix

namespace knetix::test {

inline ::testing::AssertionResult succeeded(const ScanStatus& status)
{
    if (status.ok())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << scanMessage(status);
}

} // namespace knetix::test
