#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "adapter_fixture.hpp"

namespace Corvane::CameraController::Testing {
namespace {

std::vector<uint8_t> geometry(uint16_t width, uint16_t height) {
    return DatasetBuilder().u32(0).u16(width).u16(height).u32(0).u16(360).u16(240).bytes();
}

class FocusTest : public AdapterTest {
protected:
    void prepare(const std::string& model, std::vector<uint16_t> operations) {
        makeCamera(model, std::move(operations));
        markConnected(ConditionBuilder());
        camera->on(0x1015,
                   [](const RecordedRequest&) { return ScriptedResponse::ok(geometry(720, 480)); });
        camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        camera->on(0x9011, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        camera->on(0x9016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        camera->on(0x9017, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    }
};

TEST_F(FocusTest, PointIsScaledToLiveViewPixels) {
    prepare("QUORIN Delta", {0x1001, 0x9001});
    ASSERT_EQ(adapter->focus(Point{1.0f, 1.0f}).getResult(), Result::Ok);
    const auto written = camera->requestsFor(0x1016);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].parameters, std::vector<uint32_t>{0xD036});
    EXPECT_EQ(written[0].data, (std::vector<uint8_t>{2, 0, 0, 0, 0xD0, 0x02, 0xE0, 0x01}));
    EXPECT_EQ(camera->requestsFor(0x1015)[0].parameters, std::vector<uint32_t>{0xD009});
    EXPECT_EQ(lastParameters(0x9011), (std::vector<uint32_t>{0, 1, 0, 0, 0}));

    camera->clearRequests();
    ASSERT_EQ(adapter->focus().getResult(), Result::Ok);
    EXPECT_EQ(camera->operationCodes(), (std::vector<uint16_t>{0x1015, 0x1016, 0x9011}));
    EXPECT_EQ(camera->requestsFor(0x1016)[0].data,
              (std::vector<uint8_t>{2, 0, 0, 0, 0x68, 0x01, 0xF0, 0x00}));

    // 0.333 of 720 is 239.76: truncated toward zero.
    camera->clearRequests();
    ASSERT_EQ(adapter->setFocusPoint(Point{0.333f, 0.0f}).getResult(), Result::Ok);
    EXPECT_EQ(camera->requestsFor(0x1016)[0].data[4], 239);
}

TEST_F(FocusTest, PointsOutsideTheFrameAndBadGeometryAreRefused) {
    prepare("QUORIN Delta", {0x1001, 0x9001});
    for (const Point point : {Point{1.01f, 0.5f}, Point{0.5f, -0.01f}, Point{NAN, 0.5f}}) {
        const Response response = adapter->focus(point);
        EXPECT_EQ(codeOf(response), ErrorCode::InvalidValue);
        EXPECT_EQ(messageOf(response), "Out of range");
    }
    EXPECT_TRUE(camera->requests().empty());

    camera->on(0x1015, [](const RecordedRequest&) {
        return ScriptedResponse::ok({0, 0, 0, 0, 0xD0, 0x02, 0xE0});
    });
    const Response truncated = adapter->focus();
    EXPECT_EQ(codeOf(truncated), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(truncated), "Malformed live view geometry");
    camera->on(0x1015, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x200A); });
    EXPECT_EQ(messageOf(adapter->focus()), "0x200a");
    EXPECT_TRUE(camera->requestsFor(0x1016).empty());
    EXPECT_TRUE(camera->requestsFor(0x9011).empty());

    adapter->connected = false;
    EXPECT_EQ(codeOf(adapter->focus()), ErrorCode::NotConnected);
    EXPECT_EQ(codeOf(adapter->focus(3)), ErrorCode::NotConnected);
}

TEST_F(FocusTest, CoarseDriveStepsAndDirection) {
    prepare("QUORIN Delta", {0x1001, 0x9001, 0x9016});
    ASSERT_EQ(adapter->focus(-7).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(0x9016), (std::vector<uint32_t>{1, 0, 0, 0, 0}));
    ASSERT_EQ(adapter->focus(0).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(0x9016), (std::vector<uint32_t>{0, 1, 0, 0, 0}));
    ASSERT_EQ(adapter->focus(25).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(0x9016), (std::vector<uint32_t>{4, 1, 0, 0, 0}));
    ASSERT_EQ(adapter->focus(INT32_MIN).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(0x9016), (std::vector<uint32_t>{343597383, 0, 0, 0, 0}));

    serveCondition(ConditionBuilder().statusFlags(0x200));
    ASSERT_TRUE(adapter->updateCondition());
    const Response recording = adapter->focus(5);
    EXPECT_EQ(codeOf(recording), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(recording), "Device Busy");
}

TEST_F(FocusTest, StepDriveSendsTheSignedCount) {
    prepare("QUORIN Alto", {0x1001, 0x9001, 0x9016, 0x9017});
    ASSERT_EQ(adapter->focus(-7).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(0x9017), (std::vector<uint32_t>{0xFFFFFFF9u, 0, 0, 0, 0}));
    EXPECT_TRUE(camera->requestsFor(0x9016).empty());

    camera->on(0x9017, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    EXPECT_EQ(messageOf(adapter->focus(1)), "0x2019");
}

TEST_F(FocusTest, AltoNeedsLiveViewForTheCoarseDrive) {
    prepare("QUORIN Alto", {0x1001, 0x9001, 0x9016});
    EXPECT_EQ(messageOf(adapter->focus(10)), "Device Busy");
    EXPECT_TRUE(camera->requestsFor(0x9016).empty());
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    EXPECT_EQ(adapter->focus(10).getResult(), Result::Ok);
    adapter->stopLiveView();
}

TEST_F(FocusTest, NoFocusDriveThrows) {
    prepare("QUORIN Delta", {0x1001, 0x9001});
    EXPECT_THAT([this] { adapter->focus(1); },
                ::testing::ThrowsMessage<std::runtime_error>(::testing::StrEq("Not Supported")));
    device.reset();
    EXPECT_EQ(messageOf(adapter->focus(1)), "camera object is deleted");
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
