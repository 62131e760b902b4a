#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/adapter_codes.hpp"
#include "support/application_environment.hpp"

namespace Corvane::CameraController::Impl {
namespace {

struct ExpectedError {
    uint16_t responseCode;
    ErrorCode code;
    std::string message;
};

TEST(AdapterCodes, ResponseCodesBecomeErrorsWithTheirMessages) {
    // One of each kind: numbered and plain vendor codes, codes outside the table.
    const std::vector<ExpectedError> cases = {
        {0x02FA, ErrorCode::Unclassified, "0x2fa"},
        {0x2006, ErrorCode::InvalidParameter, "0x2006"},
        {0x2010, ErrorCode::ImageNotFound, "0x2010"},
        {0x2019, ErrorCode::DeviceError, "0x2019"},
        // Vendor codes 0xA001..0xA00D carry no number; 0xA80A lies outside that range.
        {0xA004, ErrorCode::VendorSpecific, ""},
        {0xA80A, ErrorCode::NotSupported, "0xa80a"},
        {0x0000, ErrorCode::Unknown, "Unknown MTP response code: 0x0"},
        {0x2007, ErrorCode::Unknown, "Unknown MTP response code: 0x2007"},
        {0xA00B, ErrorCode::Unknown, "Unknown MTP response code: "},
        {0xA00E, ErrorCode::Unknown, "Unknown MTP response code: 0xa00e"},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.responseCode);
        const auto error = makeErrorFromMtpCode(expected.responseCode);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->getCode(), expected.code);
        EXPECT_EQ(error->getMessage(), expected.message);
    }
}

TEST(AdapterCodes, NumbersInTextsIgnoreTheApplicationsLocale) {
    const Testing::ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    // Digit grouping would give "0x2.019" and "700.000.001".
    EXPECT_EQ(makeErrorFromMtpCode(0x2019)->getMessage(), "0x2019");
    EXPECT_EQ(makeErrorFromMtpCode(0xFFFF)->getMessage(), "Unknown MTP response code: 0xffff");
    EXPECT_EQ(lowerHex(0x700000001), "700000001");
    EXPECT_EQ(lowerHex(0xD01B), "d01b");
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
