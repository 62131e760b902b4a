#include <gtest/gtest.h>

#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/response.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController {
namespace {

std::shared_ptr<Error> makeError(ErrorCode code, const std::string& message) {
    return std::make_shared<Error>(code, message);
}

TEST(ResponseTest, CopySharesEarlierErrorsButNotLaterAdditions) {
    Response first(Result::Error, makeError(ErrorCode::DeviceError, "Device Busy"));
    Response copy = first;
    copy.addError(makeError(ErrorCode::InvalidValue, "Out of range"));

    ASSERT_EQ(first.getErrors().size(), 1u);
    ASSERT_EQ(copy.getErrors().size(), 2u);
    EXPECT_EQ(first.getErrors()[0].get(), copy.getErrors()[0].get());
    EXPECT_EQ(copy.getErrors()[1]->getMessage(), "Out of range");
    EXPECT_EQ(copy.getResult(), Result::Error);
}

TEST(ResponseTest, NullErrorsAreNotStored) {
    Response response(Result::Error, nullptr);
    response.addError(nullptr);
    EXPECT_TRUE(response.getErrors().empty());
    EXPECT_EQ(response.getResult(), Result::Error);
}

TEST(StartCaptureResponseTest, CarriesCaptureOnlyWhenStarted) {
    auto capture =
        std::make_shared<Impl::CaptureImpl>("20260101120000", CaptureMethod::StillImage, 1);
    const StartCaptureResponse started(capture);
    EXPECT_EQ(started.getResult(), Result::Ok);
    EXPECT_TRUE(started.getErrors().empty());
    EXPECT_EQ(started.getCapture(), capture);

    const StartCaptureResponse failed(Result::Error,
                                      makeError(ErrorCode::DeviceError, "Device Busy"));
    EXPECT_EQ(failed.getCapture(), nullptr);
    ASSERT_EQ(failed.getErrors().size(), 1u);

    StartCaptureResponse copy = started;
    copy = failed;
    EXPECT_EQ(copy.getCapture(), nullptr);
    EXPECT_EQ(copy.getResult(), Result::Error);
}

}  // namespace
}  // namespace Corvane::CameraController
