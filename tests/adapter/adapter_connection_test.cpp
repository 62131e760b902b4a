#include <gtest/gtest.h>

#include "adapter_fixture.hpp"
#include "support/eventually.hpp"

namespace Corvane::CameraController::Testing {
namespace {

class ConnectionTest : public AdapterTest {
protected:
    void scriptCamera(const std::string& model, std::vector<uint32_t> storageIds,
                      std::vector<uint16_t> operations = {0x1001, 0x9001, 0x900F}) {
        makeCamera(model, std::move(operations));
        script(*camera, std::move(storageIds));
    }

    /// Scripts `target` to answer what connect and the event task ask for.
    static void script(ScriptedMtpDevice& target, std::vector<uint32_t> storageIds) {
        target.on(0x1004, [storageIds](const RecordedRequest&) {
            return ScriptedResponse::ok(DatasetBuilder().u32Array(storageIds).bytes());
        });
        // A removable card, read-write, 64000 bytes of which 32000 free, room for 700 images.
        DatasetBuilder info;
        info.u16(4).u16(2).u16(0).u64(64000).u64(32000).u32(700).string("SD").string("CARD");
        target.on(0x1005, [bytes = info.bytes()](const RecordedRequest&) {
            return ScriptedResponse::ok(bytes);
        });
        target.on(0x1007, [](const RecordedRequest&) {
            return ScriptedResponse::ok(DatasetBuilder().u32Array({}).bytes());
        });
        target.on(0x1014, [](const RecordedRequest& request) {
            if (request.parameters[0] != 0x5001) {
                return ScriptedResponse::withCode(0x200A);
            }
            // UINT8 battery level: the current value sits at byte 6.
            return ScriptedResponse::ok({0x01, 0x50, 0x02, 0x00, 0x00, 0x64, 55, 0x01});
        });
        target.on(0x9001, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        target.on(0x9004, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        const std::vector<uint8_t> condition = ConditionBuilder().bytes();
        target.on(0x900F,
                  [condition](const RecordedRequest&) { return ScriptedResponse::ok(condition); });
    }
};

TEST_F(ConnectionTest, RefusedWithoutTransportOrWhenItCannotOpen) {
    makeCamera("QUORIN Alto");
    adapter->setMtpDevice(nullptr);
    const Response unbound = adapter->connect();
    EXPECT_EQ(codeOf(unbound), ErrorCode::NotConnected);
    EXPECT_EQ(messageOf(unbound), "");

    adapter->setMtpDevice(camera);
    camera->setOpenResult(false);
    const Response closed = adapter->connect();
    EXPECT_EQ(codeOf(closed), ErrorCode::NotConnected);
    EXPECT_TRUE(camera->requests().empty());
    EXPECT_FALSE(adapter->isConnected());
}

TEST_F(ConnectionTest, TetherModeCarriesTheModelCode) {
    struct Case {
        const char* model;
        uint32_t code;
    };
    for (const Case c :
         {Case{"QUORIN Alto", 0x13092}, Case{"QUORIN Delta X", 0x13235}, Case{"quorin alto", 0}}) {
        makeCamera(c.model);
        camera->on(0x9001, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        ASSERT_EQ(adapter->setTetherMode(true).getResult(), Result::Ok);
        ASSERT_EQ(adapter->setTetherMode(false).getResult(), Result::Ok);
        const auto sent = camera->requestsFor(0x9001);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].parameters, (std::vector<uint32_t>{0x0D, c.code, 1, 1, 0}));
        EXPECT_EQ(sent[1].parameters, (std::vector<uint32_t>{0x0D, c.code, 0, 1, 0}));
        EXPECT_EQ(sent[0].dataPhase, Impl::MtpDataPhase::None);
    }

    camera->on(0x9001, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    const Response refused = adapter->connect();
    EXPECT_EQ(codeOf(refused), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(refused), "0x2019");
    EXPECT_FALSE(adapter->isConnected());

    device.reset();
    const Response orphan = adapter->setTetherMode(true);
    EXPECT_EQ(codeOf(orphan), ErrorCode::Unknown);
    EXPECT_EQ(messageOf(orphan), "camera object is deleted");
}

TEST_F(ConnectionTest, ConnectBuildsStoragesAndDisconnectReleasesTheCamera) {
    scriptCamera("QUORIN Alto", {0x00010001, 0x00020000, 0x00030001});
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_TRUE(adapter->isConnected());
    EXPECT_TRUE(adapter->isStorageWriting());
    EXPECT_EQ(camera->requestsFor(0x9004)[0].parameters, (std::vector<uint32_t>{3, 0}));
    EXPECT_EQ(device->getStatus().getBatteryLevel(), 55u);

    // Slot 3 lies beyond the two slots of this model; slot 2 has no card and the camera no
    // transfer buffer, so its StorageInfo is not asked for.
    ASSERT_EQ(device->getStorages().size(), 2u);
    const auto card = device->getStoragesImpl().findById("65536");
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->isAvailable());
    EXPECT_EQ(card->getType(), StorageType::RemovableRAM);
    EXPECT_EQ(card->getPermission(), StoragePermission::ReadWrite);
    EXPECT_EQ(card->getMaxCapacity(), 64000u);
    EXPECT_EQ(card->getFreeSpaceInImages(), 700u);
    EXPECT_NE(card->getListingState(), ListingState::Idle);
    const auto empty = device->getStoragesImpl().findById("131072");
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->isAvailable());
    for (const auto& request : camera->requestsFor(0x1005)) {
        EXPECT_NE(request.parameters[0], 0x00020000u);
    }

    camera->clearRequests();
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_TRUE(camera->requestsFor(0x9001).empty());

    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
    EXPECT_FALSE(adapter->isConnected());
    const auto tether = camera->requestsFor(0x9001);
    ASSERT_FALSE(tether.empty());
    EXPECT_EQ(tether.back().parameters, (std::vector<uint32_t>{0x0D, 0x13092, 0, 1, 0}));
    EXPECT_EQ(camera->closeCount(), 1);

    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_EQ(device->getStorages().size(), 2u);
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
}

// A device reset in the transport ends the camera's session, and tether mode and storage
// writing with it: the event task sets both again.
TEST_F(ConnectionTest, SessionOpenedAnewGetsTetherModeBackAndUnplugSkipsTetherModeOff) {
    scriptCamera("QUORIN Alto", {0x00010001});
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    const auto tetherOn = camera->requestsFor(0x9001).at(0).parameters;
    camera->clearRequests();
    camera->setSessionNumber(2);
    ASSERT_TRUE(eventually([&] { return camera->countOf(0x9004) > 0; }));
    const auto tether = camera->requestsFor(0x9001);
    ASSERT_EQ(tether.size(), 1u);
    EXPECT_EQ(tether[0].parameters, tetherOn);
    ASSERT_EQ(camera->countOf(0x9004), 1u);
    EXPECT_EQ(camera->requestsFor(0x9004)[0].parameters, (std::vector<uint32_t>{3, 0}));

    // Once unplugged, disconnect does not try to switch tether mode off.
    camera->setConnected(false);
    EXPECT_FALSE(adapter->isConnected());
    camera->clearRequests();
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
    EXPECT_TRUE(camera->requestsFor(0x9001).empty());
    EXPECT_EQ(camera->closeCount(), 1);
}

TEST_F(ConnectionTest, SlotWithoutCardIsReadWhenTheCameraHasATransferBuffer) {
    scriptCamera("QUORIN Alto", {0x00020000}, {0x1001, 0x9001, 0x900B, 0x900F});
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_FALSE(adapter->isStorageWriting());
    EXPECT_EQ(camera->requestsFor(0x9004)[0].parameters, (std::vector<uint32_t>{0, 0}));
    const auto slot = device->getStoragesImpl().findById("131072");
    ASSERT_NE(slot, nullptr);
    EXPECT_FALSE(slot->isAvailable());
    EXPECT_EQ(slot->getType(), StorageType::Unknown);
    EXPECT_EQ(slot->getFreeSpaceInImages(), 0u);  // nothing is written to a card
    EXPECT_EQ(slot->getMaxCapacity(), 64000u);
    EXPECT_EQ(camera->requestsFor(0x1005)[0].parameters, std::vector<uint32_t>{0x00020000});
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
}

TEST_F(ConnectionTest, UnknownModelHasNoStoragesAndFailuresAreLogged) {
    DiagnosticCapture diagnostics;
    scriptCamera("QUORIN Prototype", {0x00010001});
    camera->on(0x9004, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_EQ(device->getStorages().size(), 0u);
    EXPECT_FALSE(adapter->isStorageWriting());
    EXPECT_EQ(camera->requestsFor(0x9004)[0].parameters, (std::vector<uint32_t>{0, 0}));
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);

    scriptCamera("QUORIN Cresta", {0x00010001});
    camera->on(0x1005, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2013); });
    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
    const auto lines = diagnostics.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Error[1] connect res = 0x2019"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Error[2] connect : Storage id = 0x10001"),
              lines.end());
}

TEST_F(ConnectionTest, ConnectGivesUpWhenTheConditionNeverArrives) {
    scriptCamera("QUORIN Delta", {});
    camera->on(0x900F, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    adapter->firstPassTimeout = std::chrono::milliseconds(300);
    const Response response = adapter->connect();
    EXPECT_EQ(codeOf(response), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(response), "Camera condition could not be read");
    EXPECT_FALSE(adapter->isConnected());
    EXPECT_EQ(camera->closeCount(), 1);
    EXPECT_EQ(camera->requestsFor(0x9001).back().parameters[2], 0u);
}

TEST_F(ConnectionTest, ConditionRecordIsReplacedWholeAndKeptOnFailure) {
    makeCamera("QUORIN Delta");
    EXPECT_EQ(adapter->getCondition(), nullptr);
    camera->queue(0x900F, ScriptedResponse::ok(ConditionBuilder().exposureMode(8).bytes()));
    camera->queue(0x900F, ScriptedResponse::withCode(0x2019));
    camera->queue(0x900F, ScriptedResponse::ok({1, 2, 3}));
    ASSERT_TRUE(adapter->updateCondition());
    const auto first = adapter->getCondition();
    EXPECT_FALSE(adapter->updateCondition());
    EXPECT_EQ(adapter->getCondition(), first);
    EXPECT_EQ(first->exposureMode(), 8);
    ASSERT_TRUE(adapter->updateCondition());
    // A short dataset reads as zeros beyond its end.
    EXPECT_EQ(adapter->getCondition()->exposureMode(), 0);
    EXPECT_EQ(first->exposureMode(), 8);  // an earlier holder keeps its record
    EXPECT_EQ(camera->requestsFor(0x900F)[0].dataPhase, Impl::MtpDataPhase::Read);
}

// A replug noticed while no event task runs (here: marked connected without one) ends the
// connection without leaving a loss behind: the next connect's event task must not report it
// and end, which would fail that connect.
TEST_F(ConnectionTest, RebindWithoutEventTaskLeavesNothingForTheNextConnect) {
    scriptCamera("QUORIN Delta", {0x00010001});
    markConnected(ConditionBuilder());

    const auto replugged =
        std::make_shared<ScriptedMtpDevice>("Quorin", "QUORIN Delta", "1.00", "0001");
    replugged->setSupportedOperations({0x1001, 0x9001, 0x900F});
    script(*replugged, {0x00010001});
    adapter->rebindTransport(replugged);
    EXPECT_FALSE(adapter->isConnected());

    ASSERT_EQ(adapter->connect().getResult(), Result::Ok);
    EXPECT_TRUE(adapter->isConnected());
    EXPECT_EQ(replugged->openCount(), 1);
    ASSERT_EQ(adapter->disconnect().getResult(), Result::Ok);
    EXPECT_TRUE(listener->events().empty());
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
