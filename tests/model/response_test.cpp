#include <gtest/gtest.h>

#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/response.hpp"
#include "model/capture_impl.hpp"
#include "model/list_images_response.hpp"

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

TEST(ResponseTest, ErrorKeepsCodeAndMessage) {
    const Error empty(ErrorCode::NotConnected, "");
    EXPECT_EQ(empty.getCode(), ErrorCode::NotConnected);
    EXPECT_TRUE(empty.getMessage().empty());

    Error assigned = empty;
    assigned = Error(ErrorCode::Unknown, "camera object is deleted");
    EXPECT_EQ(assigned.getCode(), ErrorCode::Unknown);
    EXPECT_EQ(assigned.getMessage(), "camera object is deleted");
    EXPECT_EQ(empty.getCode(), ErrorCode::NotConnected);
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

TEST(ListImagesResponseTest, BehavesAsResponse) {
    const Impl::ListImagesResponse ok(Result::Ok);
    EXPECT_EQ(ok.getResult(), Result::Ok);
    EXPECT_TRUE(ok.getErrors().empty());

    const Impl::ListImagesResponse failed(
        Response(Result::Error, makeError(ErrorCode::NotConnected, "")));
    EXPECT_EQ(failed.getResult(), Result::Error);
    EXPECT_EQ(failed.getErrors().size(), 1u);
}

}  // namespace
}  // namespace Corvane::CameraController
