// A fake MtpDevice that records every request and answers from a script, first match wins:
// not connected -> code 0 (as a vanished device answers); queue(op, r), each used once;
// on(op, handler); onAny(handler); else 0x2005. Parameters are dropped unless the code is
// 0x2001, as the transport drops them. execute() is serialised like a real binding's; handlers
// run outside the script lock, so they may call the setters (not execute).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mtp/mtp_device.hpp"
#include "mtp/mtp_response.hpp"
#include "support/dataset_builder.hpp"

namespace Corvane::CameraController::Testing {

/// A copy of one request as the fake received it (outgoing bytes included).
struct RecordedRequest {
    uint16_t operationCode = 0;
    std::vector<uint32_t> parameters;
    Impl::MtpDataPhase dataPhase = Impl::MtpDataPhase::None;
    std::vector<uint8_t> data;
};

/// What the fake answers to one request.
struct ScriptedResponse {
    uint16_t code = 0x2001;
    std::vector<uint32_t> parameters;
    std::vector<uint8_t> data;

    static ScriptedResponse ok(std::vector<uint8_t> data = {},
                               std::vector<uint32_t> parameters = {}) {
        return {0x2001, std::move(parameters), std::move(data)};
    }
    static ScriptedResponse withCode(uint16_t code, std::vector<uint8_t> data = {},
                                     std::vector<uint32_t> parameters = {}) {
        return {code, std::move(parameters), std::move(data)};
    }
};

using ScriptedHandler = std::function<ScriptedResponse(const RecordedRequest&)>;

class ScriptedMtpDevice : public Impl::MtpDevice {
public:
    ScriptedMtpDevice() = default;
    ScriptedMtpDevice(std::string manufacturer, std::string model, std::string firmware,
                      std::string serial)
        : identity_{{}, manufacturer, model, firmware, serial, {}, {}} {}

    void setConnected(bool connected) { connected_ = connected; }
    void setOpenResult(bool result) { openResult_ = result; }

    /// Answers GetDeviceInfo (0x1001) with `operations` and this identity, and loads it at once
    /// (that request is not recorded).
    void setSupportedOperations(std::vector<uint16_t> operations) {
        DeviceInfoFields info = identity_;
        info.operations = std::move(operations);
        on(0x1001, [dataset = deviceInfoDataset(info)](const RecordedRequest&) {
            return ScriptedResponse::ok(dataset);
        });
        recording_ = false;
        loadDeviceInfo();
        recording_ = true;
    }

    void queue(uint16_t operationCode, ScriptedResponse response) {
        std::lock_guard<std::mutex> lock(mutex_);
        perOperation_[operationCode].push_back(std::move(response));
    }
    void on(uint16_t operationCode, ScriptedHandler handler) {
        std::lock_guard<std::mutex> lock(mutex_);
        handlers_[operationCode] = std::move(handler);
    }
    void onAny(ScriptedHandler handler) {
        std::lock_guard<std::mutex> lock(mutex_);
        anyHandler_ = std::move(handler);
    }

    std::vector<RecordedRequest> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    std::vector<RecordedRequest> requestsFor(uint16_t operationCode) const {
        auto matching = requests();
        matching.erase(
            std::remove_if(matching.begin(), matching.end(),
                           [&](const auto& r) { return r.operationCode != operationCode; }),
            matching.end());
        return matching;
    }
    size_t countOf(uint16_t operationCode) const { return requestsFor(operationCode).size(); }
    std::vector<uint16_t> operationCodes() const {
        std::vector<uint16_t> codes;
        for (const auto& request : requests()) {
            codes.push_back(request.operationCode);
        }
        return codes;
    }
    void clearRequests() {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.clear();
    }
    int openCount() const { return openCount_; }
    /// What sessionNumber() answers (default 0); a change stands for a session the binding
    /// had to open anew.
    void setSessionNumber(uint64_t number) { sessionNumber_ = number; }
    int closeCount() const { return closeCount_; }

    bool open() override {
        ++openCount_;
        return openResult_;
    }
    uint64_t sessionNumber() override { return sessionNumber_; }
    bool close() override {
        ++closeCount_;
        return true;
    }
    bool isConnected() override { return connected_; }
    std::string getManufacturer() override { return identity_.manufacturer; }
    std::string getModel() override { return identity_.model; }
    std::string getFirmwareVersion() override { return identity_.deviceVersion; }
    std::string getSerialNumber() override { return identity_.serialNumber; }

    Impl::MtpResponse execute(const Impl::MtpRequest& request) override {
        std::lock_guard<std::mutex> transaction(transactionMutex_);
        const RecordedRequest recorded = record(request);
        if (!connected_) {
            return Impl::MtpResponse{};
        }
        const ScriptedResponse answer = answerFor(recorded);
        return Impl::makeMtpResponse(answer.code, answer.parameters, answer.data.data(),
                                     answer.data.size());
    }

private:
    RecordedRequest record(const Impl::MtpRequest& request) {
        RecordedRequest recorded{request.operationCode, request.parameters, request.dataPhase, {}};
        if (request.data && request.dataPhase != Impl::MtpDataPhase::None &&
            request.dataPhase != Impl::MtpDataPhase::Read) {
            recorded.data.assign(request.data, request.data + request.dataSize);
        }
        if (recording_) {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(recorded);
        }
        return recorded;
    }

    ScriptedResponse answerFor(const RecordedRequest& request) {
        ScriptedHandler handler;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto queued = perOperation_.find(request.operationCode);
            if (queued != perOperation_.end() && !queued->second.empty()) {
                ScriptedResponse response = std::move(queued->second.front());
                queued->second.pop_front();
                return response;
            }
            auto found = handlers_.find(request.operationCode);
            handler = found != handlers_.end() ? found->second : anyHandler_;
            if (!handler) {
                return ScriptedResponse::withCode(0x2005);
            }
        }
        // Outside the script lock so that a handler may change the script or the state.
        return handler(request);
    }

    mutable std::mutex mutex_;
    std::mutex transactionMutex_;
    const DeviceInfoFields identity_{};
    std::atomic<bool> connected_{true};
    std::atomic<bool> openResult_{true};
    std::atomic<bool> recording_{true};
    std::atomic<int> openCount_{0};
    std::atomic<int> closeCount_{0};
    std::atomic<uint64_t> sessionNumber_{0};
    std::map<uint16_t, std::deque<ScriptedResponse>> perOperation_;
    std::map<uint16_t, ScriptedHandler> handlers_;
    ScriptedHandler anyHandler_;
    std::vector<RecordedRequest> requests_;
};

}  // namespace Corvane::CameraController::Testing
