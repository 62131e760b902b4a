// A scripted stand-in for Windows Portable Devices: attached devices with their identity and
// a camera behind each that answers MTP operations. Records every Open and every command.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Testing {

using Impl::WpdStatus;

/// What a camera answers to one operation. Response parameters that are nullopt exist in the
/// collection but cannot be read.
struct FakeAnswer {
    uint16_t code = 0x2001;
    std::vector<std::optional<uint32_t>> parameters;
    std::vector<uint8_t> data;
};

struct FakeOperation {
    uint16_t code = 0;
    std::vector<uint32_t> parameters;
    std::vector<uint8_t> data;  // bytes written by the host
};

struct FakeWpdDevice {
    std::wstring pnpId;
    Impl::WpdIdentity identity;
    /// Statuses of successive Opens; once used up, Opens succeed.
    std::vector<WpdStatus> openStatuses;
    /// The transfer data of a read cannot be read back.
    bool transferDataUnreadable = false;
    std::function<FakeAnswer(const FakeOperation&)> camera = [](const FakeOperation&) {
        return FakeAnswer{};
    };
};

class FakeUnsignedList : public Impl::WpdUnsignedList {
public:
    explicit FakeUnsignedList(std::vector<std::optional<uint32_t>> entries)
        : entries_(std::move(entries)) {}
    WpdStatus getCount(uint32_t& count) const override {
        count = static_cast<uint32_t>(entries_.size());
        return Impl::kWpdOk;
    }
    WpdStatus getAt(uint32_t index, uint32_t& value) const override {
        if (index >= entries_.size() || !entries_[index]) {
            return Impl::kWpdFail;
        }
        value = *entries_[index];
        return Impl::kWpdOk;
    }

private:
    std::vector<std::optional<uint32_t>> entries_;
};

class FakeWpdResults : public Impl::WpdResults {
public:
    using Value = std::variant<uint32_t, WpdStatus, std::wstring, std::vector<uint8_t>,
                               std::vector<std::optional<uint32_t>>>;
    std::map<Impl::WpdResultKey, Value> values;

    WpdStatus getError(Impl::WpdResultKey key, WpdStatus& value) const override {
        return read(key, value);
    }
    WpdStatus getUnsigned(Impl::WpdResultKey key, uint32_t& value) const override {
        return read(key, value);
    }
    WpdStatus getString(Impl::WpdResultKey key, std::wstring& value) const override {
        return read(key, value);
    }
    WpdStatus getBuffer(Impl::WpdResultKey key, Impl::WpdBuffer& value) const override {
        std::vector<uint8_t> bytes;
        if (Impl::wpdFailed(read(key, bytes))) {
            return Impl::kWpdFail;
        }
        value.data.reset(static_cast<uint8_t*>(std::malloc(bytes.size() + 1)));
        std::copy(bytes.begin(), bytes.end(), value.data.get());
        value.size = static_cast<uint32_t>(bytes.size());
        return Impl::kWpdOk;
    }
    WpdStatus getUnsignedList(Impl::WpdResultKey key,
                              std::unique_ptr<Impl::WpdUnsignedList>& value) const override {
        std::vector<std::optional<uint32_t>> entries;
        if (Impl::wpdFailed(read(key, entries))) {
            return Impl::kWpdFail;
        }
        value = std::make_unique<FakeUnsignedList>(std::move(entries));
        return Impl::kWpdOk;
    }

private:
    template <typename T>
    WpdStatus read(Impl::WpdResultKey key, T& value) const {
        const auto found = values.find(key);
        if (found == values.end() || !std::holds_alternative<T>(found->second)) {
            return Impl::kWpdFail;
        }
        value = std::get<T>(found->second);
        return Impl::kWpdOk;
    }
};

class FakeWpdApi : public Impl::WpdApi, public std::enable_shared_from_this<FakeWpdApi> {
    // Defined first: the getters below deduce their type from it.
    template <typename F>
    auto locked(F f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f();
    }

public:
    void attach(FakeWpdDevice device) {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.push_back(std::make_shared<FakeWpdDevice>(std::move(device)));
    }
    void detach(const std::wstring& pnpId) {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                      [&](const auto& device) { return device->pnpId == pnpId; }),
                       devices_.end());
    }
    /// The calling thread has no COM until initializeCom().
    void withoutCom() { comStarted_ = false; }

    std::vector<FakeOperation> operations() const {
        return locked([&] { return operations_; });
    }
    int operationCount(uint16_t code) const {
        const auto all = operations();
        return static_cast<int>(
            std::count_if(all.begin(), all.end(), [&](const auto& op) { return op.code == code; }));
    }
    std::vector<Impl::WpdCommandParameters> commands() const {
        return locked([&] { return commands_; });
    }
    std::vector<Impl::WpdClientInfo> opens() const {
        return locked([&] { return opens_; });
    }
    int listings() const { return listings_; }
    int comStarts() const { return comStarts_; }
    /// Set when two commands for one device overlapped in time.
    bool sawInterleaving() const { return interleaved_; }

    WpdStatus initializeCom() override {
        ++comStarts_;
        comStarted_ = true;
        return Impl::kWpdOk;
    }
    WpdStatus listDeviceIds(std::vector<std::wstring>& ids) override {
        if (!comStarted_) {
            return Impl::kWpdComNotInitialized;
        }
        ++listings_;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& device : devices_) {
            ids.push_back(device->pnpId);
        }
        return Impl::kWpdOk;
    }
    WpdStatus createConnection(std::unique_ptr<Impl::WpdConnection>& connection) override;

private:
    friend class FakeWpdConnection;

    std::shared_ptr<FakeWpdDevice> find(const std::wstring& pnpId) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = std::find_if(devices_.begin(), devices_.end(),
                                     [&](const auto& device) { return device->pnpId == pnpId; });
        return it == devices_.end() ? nullptr : *it;
    }
    WpdStatus recordOpen(const Impl::WpdClientInfo& clientInfo, FakeWpdDevice& device) {
        std::lock_guard<std::mutex> lock(mutex_);
        opens_.push_back(clientInfo);
        if (device.openStatuses.empty()) {
            return Impl::kWpdOk;
        }
        const WpdStatus status = device.openStatuses.front();
        device.openStatuses.erase(device.openStatuses.begin());
        return status;
    }

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<FakeWpdDevice>> devices_;
    std::vector<FakeOperation> operations_;
    std::vector<Impl::WpdCommandParameters> commands_;
    std::vector<Impl::WpdClientInfo> opens_;
    std::atomic<int> listings_{0};
    std::atomic<int> comStarts_{0};
    std::atomic<bool> comStarted_{true};
    std::atomic<bool> interleaved_{false};
    std::map<std::wstring, int> busy_;
};

/// One connection: plays the MTP-extension commands against the device's camera.
class FakeWpdConnection : public Impl::WpdConnection {
public:
    explicit FakeWpdConnection(std::shared_ptr<FakeWpdApi> api) : api_(std::move(api)) {}
    ~FakeWpdConnection() override { leaveTransfer(); }

    WpdStatus open(const std::wstring& pnpId, const Impl::WpdClientInfo& clientInfo) override {
        device_ = api_->find(pnpId);
        if (!device_) {
            return static_cast<WpdStatus>(0x80070002u);  // not found
        }
        const WpdStatus status = api_->recordOpen(clientInfo, *device_);
        opened_ = !Impl::wpdFailed(status);
        return status;
    }

    WpdStatus readIdentity(Impl::WpdIdentity& identity) override {
        if (!opened_) {
            return Impl::kWpdFail;
        }
        identity = device_->identity;
        return Impl::kWpdOk;
    }

    WpdStatus sendCommand(const Impl::WpdCommandParameters& parameters,
                          std::unique_ptr<Impl::WpdResults>& results) override {
        api_->locked([&] { api_->commands_.push_back(parameters); });
        if (!opened_) {
            return Impl::kWpdFail;
        }
        auto out = std::make_unique<FakeWpdResults>();
        out->values[Impl::WpdResultKey::Hresult] = Impl::kWpdOk;
        switch (parameters.command) {
            case Impl::WpdCommand::ExecuteWithoutDataPhase:
                enterTransfer();
                recordOperation(operationOf(parameters));
                putResponse(device_->camera(operationOf(parameters)), *out);
                leaveTransfer();
                break;
            case Impl::WpdCommand::ExecuteWithDataToRead:
                enterTransfer();
                pending_ = device_->camera(operationOf(parameters));
                recordOperation(operationOf(parameters));
                out->values[Impl::WpdResultKey::TransferContext] = std::wstring(L"ctx");
                out->values[Impl::WpdResultKey::TransferTotalDataSize] =
                    static_cast<uint32_t>(pending_.data.size());
                break;
            case Impl::WpdCommand::ReadData:
                if (!device_->transferDataUnreadable) {
                    out->values[Impl::WpdResultKey::TransferData] = pending_.data;
                }
                break;
            case Impl::WpdCommand::ExecuteWithDataToWrite:
                enterTransfer();
                writing_ = operationOf(parameters);
                out->values[Impl::WpdResultKey::TransferContext] = std::wstring(L"ctx");
                break;
            case Impl::WpdCommand::WriteData:
                if (!parameters.transferData) {
                    return Impl::kWpdFail;
                }
                writing_.data.assign(parameters.transferData->data,
                                     parameters.transferData->data + parameters.transferData->size);
                out->values[Impl::WpdResultKey::TransferNumBytesWritten] =
                    parameters.transferData->size;
                break;
            case Impl::WpdCommand::EndDataTransfer:
                if (writing_.code != 0) {
                    recordOperation(writing_);
                    pending_ = device_->camera(writing_);
                }
                putResponse(pending_, *out);
                leaveTransfer();
                break;
        }
        results = std::move(out);
        return Impl::kWpdOk;
    }

    void close() override { opened_ = false; }

private:
    static FakeOperation operationOf(const Impl::WpdCommandParameters& parameters) {
        FakeOperation operation;
        operation.code = static_cast<uint16_t>(parameters.operationCode.value_or(0));
        operation.parameters = parameters.operationParameters.value_or(std::vector<uint32_t>{});
        return operation;
    }
    void recordOperation(const FakeOperation& operation) {
        api_->locked([&] { api_->operations_.push_back(operation); });
    }
    static void putResponse(const FakeAnswer& answer, FakeWpdResults& out) {
        out.values[Impl::WpdResultKey::ResponseCode] = static_cast<uint32_t>(answer.code);
        out.values[Impl::WpdResultKey::ResponseParameters] = answer.parameters;
    }
    // A transfer runs from its first command to END_DATA_TRANSFER; two at once on one device
    // mean the binding let transactions interleave.
    void enterTransfer() {
        std::lock_guard<std::mutex> lock(api_->mutex_);
        if (api_->busy_[device_->pnpId]++ > 0) {
            api_->interleaved_ = true;
        }
        inTransfer_ = true;
    }
    void leaveTransfer() {
        if (!inTransfer_) {
            return;
        }
        std::lock_guard<std::mutex> lock(api_->mutex_);
        --api_->busy_[device_->pnpId];
        inTransfer_ = false;
    }

    std::shared_ptr<FakeWpdApi> api_;
    std::shared_ptr<FakeWpdDevice> device_;
    bool opened_ = false;
    bool inTransfer_ = false;
    FakeAnswer pending_;
    FakeOperation writing_;
};

inline WpdStatus FakeWpdApi::createConnection(std::unique_ptr<Impl::WpdConnection>& connection) {
    if (!comStarted_) {
        return Impl::kWpdComNotInitialized;
    }
    connection = std::make_unique<FakeWpdConnection>(shared_from_this());
    return Impl::kWpdOk;
}

}  // namespace Corvane::CameraController::Testing
