// The German texts of scanning.

#include "resources/ScanMessages.h"

#include <gtest/gtest.h>

namespace knetix {
namespace {

TEST(ScanMessages, StatusCodesHaveGermanMessages)
{
    EXPECT_EQ(saneStatusMessage(7), "Im Scanner liegt keine Vorlage.");
    EXPECT_EQ(saneStatusMessage(6), "Papierstau im Scanner.");
    EXPECT_EQ(saneStatusMessage(3), "Der Scanner ist belegt.");
    EXPECT_NE(saneStatusMessage(99).find("99"), std::string::npos);
    for (int status = 1; status <= 13; ++status)
        EXPECT_EQ(saneStatusMessage(status).find("Status"), std::string::npos) << status;
}

} // namespace
} // namespace knetix
