// The web API end to end: a server in this process, an emulated camera and httplib's client.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include <httplib.h>
#include <corvane/emulator/emulated_camera.hpp>
#include <nlohmann/json.hpp>

#include "errors.hpp"
#include "serve/web_server.hpp"
#include "support/eventually.hpp"

namespace {

namespace cc = Corvane::CameraController;
namespace emu = Corvane::CameraController::Emulator;
using namespace camctl::serve;
using Corvane::CameraController::Testing::eventually;
using nlohmann::json;

const char* const hostileName = "<b>\"x\";..%0A.JPG";

const std::string kFramePart = "--camctlframe\r\nContent-Type: image/jpeg";

// Reads a streamed answer on a thread of its own. Keeps its text, or with a `marker` only
// counts the marker (a live view stream is too large to keep).
class StreamReader {
public:
    StreamReader(const std::string& host, int port, const std::string& path,
                 std::string marker = "")
        : client(host, port), marker(std::move(marker)) {
        client.set_read_timeout(60, 0);
        worker = std::thread([this, path] {
            client.Get(path.c_str(), [this](const char* data, size_t size) {
                std::lock_guard<std::mutex> lock(mutex);
                text.append(data, size);
                if (!this->marker.empty()) {
                    for (size_t at = text.find(this->marker); at != std::string::npos;
                         at = text.find(this->marker, at + 1)) {
                        ++count;
                    }
                    // A marker may arrive split over two pieces.
                    const size_t keep = this->marker.size() - 1;
                    text.erase(0, text.size() > keep ? text.size() - keep : 0);
                }
                return true;
            });
        });
    }
    ~StreamReader() {
        client.stop();
        worker.join();
    }
    bool waitFor(const std::string& what) {
        return eventually([&] { return received().find(what) != std::string::npos; }, kWait);
    }
    bool waitForCount(int atLeast) {
        return eventually([&] { return counted() >= atLeast; }, kWait);
    }
    int counted() {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }

private:
    static constexpr std::chrono::seconds kWait{30};
    std::mutex mutex;
    std::string text;
    int count = 0;
    httplib::Client client;
    const std::string marker;
    std::thread worker;
};

class ServeApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        emu::CameraConfig config;
        config.serialNumber = "SERVE-" + std::to_string(++serial);
        config.timeScale = 0.01;
        emu::CardSlotConfig empty;
        empty.cardInserted = false;
        config.slots.assign(emu::CameraConfig::slotCountOf(config.model), empty);
        config.slots[0].cardInserted = withCard();
        // The movie's size is announced as 0, and the camera cannot tell it otherwise.
        config.slots[0].files = {{"DCIM/100QUORN/QRN_0001.JPG", 300000, false},
                                 {std::string("DCIM/100QUORN/") + hostileName, 5000, false},
                                 {"DCIM/100QUORN/MVI_0002.MOV", 200000, false, true}};
        config.operations = emu::CameraConfig::operationsWithout({0x9803});
        emulated = emu::EmulatedCamera::create(config);
        emulated->attach();
        for (const auto& found : cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB)) {
            if (found->getSerialNumber() == config.serialNumber) {
                device = found;
            }
        }
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->connect(cc::DeviceInterface::USB).getResult(), cc::Result::Ok);
    }

    virtual bool withCard() const { return true; }

    void TearDown() override {
        server.reset();
        if (device) {
            device->disconnect(cc::DeviceInterface::USB);
        }
        emulated->detach();
    }

    void serve(const std::string& host = "127.0.0.1", const std::string& token = "") {
        ServerConfig config;
        config.address.host = host;
        config.address.port = 0;
        config.token = token;
        server = std::make_unique<WebServer>(device, config);
        port = server->start();
        this->host = host;
    }

    httplib::Client client() const {
        httplib::Client http(host, port);
        http.set_read_timeout(60, 0);
        return http;
    }

    json send(const std::string& method, const std::string& path, const std::string& body,
              int expectedStatus, const httplib::Headers& headers = {}) {
        auto http = client();
        auto result = method == "GET"   ? http.Get(path.c_str(), headers)
                      : method == "PUT" ? http.Put(path.c_str(), headers, body, "application/json")
                      : method == "POST"
                          ? http.Post(path.c_str(), headers, body, "application/json")
                          : http.Delete(path.c_str(), headers);
        EXPECT_TRUE(result) << method << " " << path;
        if (!result) {
            return {};
        }
        EXPECT_EQ(result->status, expectedStatus) << method << " " << path << ": " << result->body;
        return json::parse(result->body);
    }
    json getJson(const std::string& path, int expectedStatus = 200,
                 const httplib::Headers& headers = {}) {
        return send("GET", path, "", expectedStatus, headers);
    }

    json imageNamed(const std::string& name) {
        for (int attempt = 0; attempt < 500; ++attempt) {
            const json images = getJson("/api/images");
            for (const auto& image : images["images"]) {
                if (image["name"] == name) {
                    return image;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // listing in progress
        }
        ADD_FAILURE() << "no image " << name << " in " << getJson("/api/images").dump() << " "
                      << getJson("/api/camera").dump();
        return {};
    }

    std::string emulatorBytes(const std::string& name) {
        for (const auto& object : emulated->objects()) {
            if (object.path.size() >= name.size() &&
                object.path.compare(object.path.size() - name.size(), name.size(), name) == 0) {
                const auto bytes = emulated->objectData(object.handle);
                return std::string(bytes.begin(), bytes.end());
            }
        }
        return {};
    }

    // A failed request answers with status -1.
    httplib::Response imageFile(const json& image, const std::string& part = "data") const {
        const auto result =
            client().Get(("/api/images/" + image["id"].get<std::string>() + "/" + part).c_str());
        return result ? *result : httplib::Response{};
    }

    static json settingEntry(const json& settings, const std::string& name) {
        for (const auto& entry : settings["settings"]) {
            if (entry["name"] == name) {
                return entry;
            }
        }
        return json::object();
    }
    static std::string setting(const json& settings, const std::string& name) {
        return settingEntry(settings, name).value("value", "");
    }

    std::shared_ptr<emu::EmulatedCamera> emulated;
    std::shared_ptr<cc::CameraDevice> device;
    std::unique_ptr<WebServer> server;
    std::string host;
    int port = 0;
};

TEST_F(ServeApiTest, DescribesTheCameraItsSettingsAndClock) {
    serve();
    const json camera = getJson("/api/camera");
    EXPECT_EQ(camera["model"], device->getModel());
    EXPECT_TRUE(camera["connected"]);
    EXPECT_GT(camera["battery"].get<int>(), 0);
    ASSERT_FALSE(camera["storages"].empty());
    EXPECT_TRUE(camera["storages"][0]["available"]);
    EXPECT_GT(camera["storages"][0]["freeBytes"].get<uint64_t>(), 0u);

    json iso = settingEntry(getJson("/api/settings"), "ISO");
    EXPECT_EQ(iso["writable"], true);
    EXPECT_GT(iso["accepted"].size(), 3u);
    EXPECT_GT(getJson("/api/time")["time"].get<int64_t>(), 1000000000);
    const json set = send("PUT", "/api/time", R"({"time":1800000000})", 200);
    EXPECT_NEAR(set["time"].get<double>(), 1800000000.0, 5.0);
}

TEST_F(ServeApiTest, WritesAreCheckedBeforeAnythingIsWritten) {
    serve();
    const std::string isoBefore = setting(getJson("/api/settings"), "ISO");
    const std::string wanted = isoBefore == "800" ? "400" : "800";
    const json written = send("PUT", "/api/settings", json{{"ISO", wanted}}.dump(), 200);
    EXPECT_EQ(setting(written, "ISO"), wanted);
    EXPECT_EQ(setting(getJson("/api/settings"), "ISO"), wanted);

    // One bad value in a batch: nothing of it is written.
    const json refused = send("PUT", "/api/settings", R"({"ISO":"100","FNumber":"0.3"})", 422);
    EXPECT_EQ(refused["error"]["code"], "InvalidValue");
    EXPECT_EQ(setting(getJson("/api/settings"), "ISO"), wanted);

    EXPECT_EQ(send("PUT", "/api/settings", R"({"Nonsense":"1"})", 400)["error"]["code"],
              "UsageError");
    EXPECT_EQ(send("PUT", "/api/settings", R"({"ExposureProgram":"Manual"})", 400)["error"]["code"],
              "UsageError");
    EXPECT_EQ(send("PUT", "/api/settings", R"({"ISO":)", 400)["error"]["code"], "BadRequest");
    EXPECT_EQ(send("PUT", "/api/settings", R"(["ISO"])", 400)["error"]["code"], "UsageError");
    EXPECT_EQ(send("PUT", "/api/settings", R"({"ISO":[1]})", 400)["error"]["code"], "UsageError");

    send("POST", "/api/focus", R"({"point":{"x":0.25,"y":0.75}})", 200);
    send("POST", "/api/focus", "", 200);
    for (const char* body :
         {R"({"point":{"x":1.5,"y":0.5}})", R"({"point":{"x":-0.1,"y":0.5}})",
          R"({"point":{"x":"0.5","y":0.5}})", R"({"point":[0.5,0.5]})", R"({"steps":1e12})"}) {
        EXPECT_EQ(send("POST", "/api/focus", body, 400)["error"]["code"], "UsageError") << body;
    }
}

TEST_F(ServeApiTest, ImagesDownloadByteForByteUnderEscapedNamesAndDelete) {
    serve();
    const json image = imageNamed("QRN_0001.JPG");
    const std::string id = image["id"];
    const auto data = imageFile(image);
    EXPECT_EQ(data.status, 200);
    ASSERT_EQ(emulatorBytes("QRN_0001.JPG").size(), 300000u);
    EXPECT_TRUE(data.body == emulatorBytes("QRN_0001.JPG")) << data.body.size() << " bytes";
    EXPECT_NE(data.get_header_value("Content-Disposition").find("QRN_0001.JPG"), std::string::npos);

    const auto thumbnail = imageFile(image, "thumbnail");
    EXPECT_EQ(thumbnail.status, 200);
    EXPECT_EQ(thumbnail.body.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(thumbnail.get_header_value_count("Cache-Control"), 1u);

    send("DELETE", "/api/images/" + id, "", 200);
    EXPECT_EQ(getJson("/api/images/" + id + "/data", 404)["error"]["code"], "ImageNotFound");
    EXPECT_EQ(send("DELETE", "/api/images/" + id, "", 404)["error"]["code"], "ImageNotFound");

    // A file of unknown size comes whole all the same.
    const json unsized = imageNamed("MVI_0002.MOV");
    EXPECT_EQ(unsized["size"], 0);
    ASSERT_EQ(emulatorBytes("MVI_0002.MOV").size(), 200000u);
    const auto movie = imageFile(unsized);
    EXPECT_EQ(movie.status, 200);
    EXPECT_TRUE(movie.body == emulatorBytes("MVI_0002.MOV")) << movie.body.size() << " bytes";
    EXPECT_EQ(getJson("/api/images/99999999999/data", 404)["error"]["code"], "NotFound");

    // A hostile name: the JSON carries it intact, the download header only escaped.
    const std::string disposition =
        imageFile(imageNamed(hostileName)).get_header_value("Content-Disposition");
    const auto quoted = disposition.substr(disposition.find("filename=\"") + 10);
    const std::string plainName = quoted.substr(0, quoted.find('"'));
    EXPECT_EQ(plainName.find_first_of("<>;\\/%\r\n"), std::string::npos) << disposition;
    EXPECT_EQ(plainName.find(".."), std::string::npos) << disposition;
    EXPECT_EQ(disposition.find('\n'), std::string::npos);
}

TEST_F(ServeApiTest, FailedTransfersNeverLookComplete) {
    serve();
    const std::string id = imageNamed("QRN_0001.JPG")["id"];
    // The camera refuses the transfer after the answer's header went out.
    emulated->failAlways(0x1009, 0x2002);
    emulated->failAlways(0x101B, 0x2002);
    for (const char* name : {"QRN_0001.JPG", "MVI_0002.MOV"}) {
        EXPECT_NE(imageFile(imageNamed(name)).status, 200)
            << name << ": a failed transfer looked complete";
    }
    emulated->clearFaults();

    emulated->failAlways(0x100A, 0x2002);  // thumbnails: General Error
    const json error = getJson("/api/images/" + id + "/thumbnail", 502);
    EXPECT_FALSE(error["error"]["code"].get<std::string>().empty());
    EXPECT_FALSE(error["error"]["message"].get<std::string>().empty());
}

TEST_F(ServeApiTest, LiveViewRunsWhileAnyoneWatches) {
    serve();
    auto first = std::make_unique<StreamReader>(host, port, "/api/liveview", kFramePart);
    auto second = std::make_unique<StreamReader>(host, port, "/api/liveview", kFramePart);
    EXPECT_TRUE(first->waitForCount(5));
    first.reset();
    EXPECT_TRUE(second->waitForCount(10));
    EXPECT_TRUE(emulated->snapshot().liveView) << "the first viewer leaving stopped live view";
    second.reset();
    // The last viewer gone, live view stops (the server notices at its next frame).
    EXPECT_TRUE(eventually([&] { return !emulated->snapshot().liveView; }));
}

TEST_F(ServeApiTest, UnplugShowsAndTheCameraComesBackWithLiveView) {
    serve();
    StreamReader events(host, port, "/api/events");
    ASSERT_TRUE(events.waitFor(": connected"));
    StreamReader viewer(host, port, "/api/liveview", kFramePart);  // open across the unplug
    ASSERT_TRUE(viewer.waitForCount(3));

    emulated->unplug();
    ASSERT_TRUE(events.waitFor("event: deviceDisconnected")) << events.received();
    EXPECT_FALSE(getJson("/api/camera")["connected"]);
    EXPECT_EQ(getJson("/api/settings")["settings"][0]["error"]["code"], "NotConnected");
    EXPECT_EQ(send("POST", "/api/capture", "", 503)["error"]["code"], "NotConnected");

    const int beforeReplug = viewer.counted();
    emulated->replug();
    ASSERT_TRUE(events.waitFor("event: deviceConnected")) << events.received();
    EXPECT_TRUE(getJson("/api/camera")["connected"]);
    EXPECT_TRUE(viewer.waitForCount(beforeReplug + 3)) << "live view did not resume for its viewer";
    EXPECT_FALSE(setting(getJson("/api/settings"), "ISO").empty());

    // The camera back, a capture is announced on the same event stream.
    imageNamed("QRN_0001.JPG");  // listing done
    const json capture = send("POST", "/api/capture", R"({"focus":false})", 200);
    EXPECT_FALSE(capture["capture"]["id"].get<std::string>().empty());
    ASSERT_TRUE(events.waitFor("event: imageStored")) << events.received();
    EXPECT_TRUE(events.waitFor("event: captureComplete")) << events.received();
    EXPECT_GT(getJson("/api/images")["images"].size(), 3u);
}

class ServeTetherTest : public ServeApiTest {
protected:
    bool withCard() const override { return false; }
};

TEST_F(ServeTetherTest, PicturesFromTheTransferBufferJoinTheGallery) {
    emulated->setTetherTransferStyle(emu::TetherTransferStyle::Scattered);
    serve();
    StreamReader events(host, port, "/api/events");
    ASSERT_TRUE(events.waitFor(": connected"));
    emulated->clearTransactions();
    send("POST", "/api/capture", R"({"focus":false})", 200);
    ASSERT_TRUE(events.waitFor("event: imageAdded")) << events.received();

    const json images = getJson("/api/images")["images"];
    ASSERT_EQ(images.size(), 1u) << images.dump();
    const std::string id = images[0]["id"];
    EXPECT_TRUE(images[0]["tether"]);
    EXPECT_NE(events.received().find("\"id\":\"" + id + "\""), std::string::npos);
    const auto data = imageFile(images[0]);
    const auto thumbnail = imageFile(images[0], "thumbnail");
    ASSERT_EQ(data.status, 200);
    ASSERT_EQ(thumbnail.status, 200);
    // Sent in two halves, second first: only a picture put back in order starts and ends so.
    EXPECT_EQ(data.body.size(), images[0]["size"].get<size_t>());
    EXPECT_EQ(data.body.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(data.body.substr(data.body.size() - 2), "\xFF\xD9");
    EXPECT_EQ(thumbnail.body.substr(0, 2), "\xFF\xD8");
    uint64_t sent = 0;
    for (const auto& record : emulated->transactions()) {
        sent += record.operationCode == 0x900D ? record.dataSent : 0;
    }
    EXPECT_EQ(sent, data.body.size() + thumbnail.body.size());
    EXPECT_NE(
        data.get_header_value("Content-Disposition").find(images[0]["name"].get<std::string>()),
        std::string::npos);

    send("DELETE", "/api/images/" + id, "", 200);
    EXPECT_EQ(getJson("/api/images/" + id + "/data", 404)["error"]["code"], "ImageNotFound");
    EXPECT_TRUE(getJson("/api/images")["images"].empty());
}

TEST_F(ServeApiTest, OtherAddressesNeedTheTokenOnEveryRequest) {
    EXPECT_THROW(serve("127.0.0.2"), camctl::UsageError);
    serve("127.0.0.2", "s3cret-token");
    auto http = client();
    for (const char* path : {"/", "/api/camera", "/api/liveview", "/api/events", "/app.js"}) {
        auto refused = http.Get(path);
        ASSERT_TRUE(refused) << path;
        EXPECT_EQ(refused->status, 401) << path;
        EXPECT_EQ(json::parse(refused->body)["error"]["code"], "Unauthorized");
        EXPECT_EQ(refused->get_header_value("X-Frame-Options"), "DENY") << path;
    }
    EXPECT_EQ(http.Get("/api/camera", {{"Authorization", "Bearer wrong"}})->status, 401);
    EXPECT_EQ(http.Get("/api/camera?token=s3cret-tokeN")->status, 401);
    EXPECT_EQ(http.Get("/api/camera", {{"Authorization", "Bearer s3cret-token"}})->status, 200);
    auto page = http.Get("/?token=s3cret-token");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    const std::string cookie = page->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_EQ(http.Get("/api/camera", {{"Cookie", cookie.substr(0, cookie.find(';'))}})->status,
              200);
}

TEST_F(ServeApiTest, CrossOriginForeignHostOversizedAndUnknownRequestsAreRefused) {
    serve();
    const std::string self = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(
        send("POST", "/api/focus", "", 403, {{"Origin", "http://evil.example"}})["error"]["code"],
        "CrossOrigin");
    EXPECT_EQ(send("PUT", "/api/settings", R"({"ISO":"800"})", 403,
                   {{"Origin", self}, {"Sec-Fetch-Site", "cross-site"}})["error"]["code"],
              "CrossOrigin");
    send("POST", "/api/focus", "", 200, {{"Origin", self}, {"Sec-Fetch-Site", "same-origin"}});
    // Another site may link to the page but not embed its streams or pictures.
    const httplib::Headers embedded = {{"Sec-Fetch-Site", "cross-site"},
                                       {"Sec-Fetch-Mode", "no-cors"}};
    for (const char* path : {"/api/liveview", "/api/events", "/api/images"}) {
        EXPECT_EQ(getJson(path, 403, embedded)["error"]["code"], "CrossOrigin") << path;
    }
    auto linked =
        client().Get("/", {{"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "navigate"}});
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->status, 200);
    // A page of another site whose name resolves to 127.0.0.1 (DNS rebinding).
    auto rebound = client().Get("/api/camera", {{"Host", "evil.example:" + std::to_string(port)}});
    ASSERT_TRUE(rebound);
    EXPECT_EQ(rebound->status, 403);

    const std::string huge(1 << 20, 'x');
    auto tooBig = client().Put("/api/settings", huge, "application/json");
    ASSERT_TRUE(tooBig);
    EXPECT_EQ(tooBig->status, 413);
    EXPECT_EQ(getJson("/api/nothing", 404)["error"]["code"], "NotFound");
    EXPECT_EQ(getJson("/../etc/passwd", 404)["error"]["code"], "NotFound");
}

}  // namespace
