#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "adapter_fixture.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::string_literals;
using Impl::ConditionOffset::objectHandle;

constexpr uint16_t kGetObjectInfo = 0x1008;
constexpr uint16_t kInformationRequest = 0x9003;
constexpr uint16_t kTransfer = 0x900B;
constexpr uint16_t kInstruction = 0x900C;
constexpr uint16_t kTransferData = 0x900D;
constexpr uint16_t kRelease = 0x900E;

std::vector<uint8_t> transferStart(uint8_t type, const std::string& name) {
    return DatasetBuilder().u8(type).u16(0).string(name).bytes();
}

std::vector<uint8_t> instruction(uint8_t code, uint32_t value = 0) {
    return DatasetBuilder().u8(code).u32(value).bytes();
}

class TetherTransferTest : public AdapterFixture {
protected:
    /// 0x900D hands out at most `chunk` bytes of a running byte pattern per request.
    void deliverInChunksOf(uint32_t chunk) {
        camera->on(kTransferData, [this, chunk](const RecordedRequest& request) {
            const uint32_t count = std::min(chunk, request.parameters.at(0));
            std::vector<uint8_t> bytes(count);
            for (auto& byte : bytes) {
                byte = static_cast<uint8_t>('a' + next++ % 26);
            }
            return ScriptedResponse::ok(bytes, {count});
        });
    }
    int next = 0;
};

TEST_F(TetherTransferTest, InstructionsFetchMoveAndFinish) {
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> instructions;
        std::string written;
        ErrorCode error;  // Unclassified: Ok
    };
    const Case cases[] = {
        {"finished at once", {instruction(2)}, "", ErrorCode::Unclassified},
        {"fetch, rewind, skip, unknown code ignored, to the end",
         {instruction(3, 6), instruction(4, 0), instruction(3, 2), instruction(5, 1),
          instruction(3, 1), instruction(9, 7), instruction(6, 0), instruction(3, 1),
          instruction(2)},
         "ghciefj",
         ErrorCode::Unclassified},
        {"a refusal keeps what was written",
         {instruction(3, 4), {}},
         "abcd",
         ErrorCode::DeviceError},
        {"moves past the end fill the gap with zeros",
         {instruction(3, 4), instruction(4, 8), instruction(3, 2), instruction(5, 3),
          instruction(2)},
         "abcd\0\0\0\0ef\0\0\0"s,
         ErrorCode::Unclassified},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        next = 0;
        deliverInChunksOf(1000);
        for (const auto& step : c.instructions) {
            camera->queue(kInstruction, step.empty() ? ScriptedResponse::withCode(0x2002)
                                                     : ScriptedResponse::ok(step));
        }
        std::stringstream out;
        const Response response = adapter->transferTetherBuffer(out);
        EXPECT_EQ(codeOf(response), c.error);
        EXPECT_EQ(out.str(), c.written);
    }

    // A byte count larger than one answer is asked for again until nothing remains.
    camera->clearRequests();
    deliverInChunksOf(100000);
    camera->queue(kInstruction, ScriptedResponse::ok(instruction(3, 300000)));
    camera->queue(kInstruction, ScriptedResponse::ok(instruction(2)));
    std::stringstream out;
    EXPECT_EQ(adapter->transferTetherBuffer(out).getResult(), Result::Ok);
    const auto asked = camera->requestsFor(kTransferData);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].parameters, std::vector<uint32_t>{300000});
    EXPECT_EQ(asked[1].parameters, std::vector<uint32_t>{200000});
    EXPECT_EQ(asked[2].parameters, std::vector<uint32_t>{100000});
    EXPECT_EQ(out.str().size(), 300000u);
}

TEST_F(TetherTransferTest, CameraThatMakesNoProgressEndsWithAnError) {
    struct Case {
        const char* what;
        ScriptedResponse data;
        std::vector<uint8_t> step;
        size_t instructions;  // asked for before giving up; 0: not counted
    };
    const Case cases[] = {
        {"zero bytes, again and again", ScriptedResponse::ok({}, {0}), instruction(3, 10), 1},
        {"an answer without its byte count", ScriptedResponse::ok({1, 2, 3}), instruction(3, 10),
         1},
        {"a byte count beyond the bytes that came", ScriptedResponse::ok({1, 2}, {5}),
         instruction(3, 10), 1},
        {"never the finishing instruction", ScriptedResponse::ok({1}, {1}), instruction(9), 0},
        {"a truncated instruction", ScriptedResponse::ok({1}, {1}), {3, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        camera->clearRequests();
        camera->on(kTransferData, [&c](const RecordedRequest&) { return c.data; });
        camera->on(kInstruction,
                   [&c](const RecordedRequest&) { return ScriptedResponse::ok(c.step); });
        std::stringstream out;
        const Response response = adapter->transferTetherBuffer(out);
        ASSERT_EQ(response.getResult(), Result::Error);
        EXPECT_EQ(messageOf(response), "Image transfer incomplete");
        if (c.instructions != 0) {
            EXPECT_EQ(camera->countOf(kInstruction), c.instructions);
        }
    }
}

class TetherImageTest : public AdapterFixture {
protected:
    void SetUp() override { withTransferBuffer(); }
};

TEST_F(TetherImageTest, TypeByteGivesFormatAndThumbnailAndRefusalsAreLogged) {
    struct Case {
        uint8_t type;
        ImageFormat format;
        bool thumbnail;
    };
    const Case cases[] = {{1, ImageFormat::JPEG, true},     {2, ImageFormat::QRW, true},
                          {3, ImageFormat::DNG, true},      {4, ImageFormat::TIFF, false},
                          {0, ImageFormat::Unknown, false}, {7, ImageFormat::Unknown, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        camera->queue(kTransfer, ScriptedResponse::ok(transferStart(c.type, "T0001.JPG")));
        const auto image = adapter->createImageFromTetherImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->getFormat(), c.format);
        EXPECT_EQ(image->hasThumbnail(), c.thumbnail);
        EXPECT_EQ(image->getName(), "T0001.JPG");
        EXPECT_EQ(image->getSize(), 0u);
        EXPECT_EQ(image->getStorage(), nullptr);
    }
    EXPECT_EQ(camera->requestsFor(kTransfer)[0].parameters, (std::vector<uint32_t>{0}));

    // Malformed answers still give a defined image.
    camera->queue(kTransfer, ScriptedResponse::ok({}));
    ASSERT_NE(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kTransfer, ScriptedResponse::ok({1, 0, 0, 40, 'x'}));
    EXPECT_EQ(adapter->createImageFromTetherImage()->getName(), "");

    // Refusals give none, logged with the code outside the vendor range.
    DiagnosticCapture diagnostics;
    camera->queue(kTransfer, ScriptedResponse::withCode(0xA005));
    EXPECT_EQ(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kTransfer, ScriptedResponse::withCode(0x2019));
    EXPECT_EQ(adapter->createImageFromTetherImage(), nullptr);
    camera->queue(kRelease, ScriptedResponse::withCode(0x2002));
    adapter->deleteTetherImage();
    EXPECT_EQ(diagnostics.lines(),
              (std::vector<std::string>{"Error[2] createImageFromTetherImage",
                                        "Error[2] createImageFromTetherImage res = 0x2019",
                                        "Error[2] deleteTetherImage res = 0x2002"}));
}

TEST_F(TetherImageTest, DataAndThumbnailComeThroughTheTransferBuffer) {
    camera->queue(kTransfer, ScriptedResponse::ok(transferStart(3, "T0001.DNG")));
    const auto image = adapter->createImageFromTetherImage();
    ASSERT_NE(image, nullptr);
    camera->on(kTransfer, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    camera->on(kInstruction,
               [](const RecordedRequest&) { return ScriptedResponse::ok(instruction(2)); });
    std::ostringstream out;
    EXPECT_EQ(image->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(image->getThumbnail(out).getResult(), Result::Ok);
    const auto requests = camera->requestsFor(kTransfer);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].parameters, (std::vector<uint32_t>{0}));
    EXPECT_EQ(requests[2].parameters, (std::vector<uint32_t>{0xFE}));
    EXPECT_EQ(camera->countOf(0x101B), 0u);
}

TEST_F(AdapterFixture, WithoutTransferBufferTheCapturedObjectIsUsed) {
    setCondition([](ConditionBuilder& c) { c.set(objectHandle, 77); });
    camera->on(kGetObjectInfo, [](const RecordedRequest& request) {
        EXPECT_EQ(request.parameters.at(0), 77u);
        return ScriptedResponse::ok(objectInfoDataset(0x10001, 0x3801, 5000, "IMG_0077.JPG"));
    });
    camera->on(kInformationRequest, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    const auto image = adapter->createImageFromTetherImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getId(), "77");
    EXPECT_EQ(image->getSize(), 5000u);
    adapter->deleteTetherImage();
    ASSERT_EQ(camera->countOf(kInformationRequest), 1u);
    EXPECT_EQ(camera->requestsFor(kInformationRequest)[0].parameters, (std::vector<uint32_t>{77}));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
