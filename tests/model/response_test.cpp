#include <gtest/gtest.h>

#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {
namespace {

TEST(ResponseTest, CopySharesEarlierErrorsButNotLaterAdditionsAndNullErrorsAreDropped) {
    Response first(Result::Error, std::make_shared<Error>(ErrorCode::DeviceError, "Device Busy"));
    Response copy = first;
    copy.addError(std::make_shared<Error>(ErrorCode::InvalidValue, "Out of range"));

    ASSERT_EQ(first.getErrors().size(), 1u);
    ASSERT_EQ(copy.getErrors().size(), 2u);
    EXPECT_EQ(first.getErrors()[0].get(), copy.getErrors()[0].get());
    EXPECT_EQ(copy.getErrors()[1]->getMessage(), "Out of range");
    EXPECT_EQ(copy.getResult(), Result::Error);

    // Null errors are not stored.
    Response response(Result::Error, nullptr);
    response.addError(nullptr);
    EXPECT_TRUE(response.getErrors().empty());
    EXPECT_EQ(response.getResult(), Result::Error);
}

}  // namespace
}  // namespace Corvane::CameraController
