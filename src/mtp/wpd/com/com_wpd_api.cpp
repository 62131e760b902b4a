#include "mtp/wpd/com/com_wpd_api.hpp"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "mtp/wpd/com/com_resources.hpp"
#include "mtp/wpd/com/wpd_sdk.hpp"

namespace Corvane::CameraController::Impl {
namespace {

template <typename T>
HRESULT createInstance(REFCLSID classId, REFIID interfaceId, ComPtr<T>& object) {
    return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object.putVoid());
}

void freeCoTaskMem(void* memory) {
    CoTaskMemFree(memory);
}

const PROPERTYKEY& resultKey(WpdResultKey key) {
    switch (key) {
        case WpdResultKey::Hresult:
            return WPD_PROPERTY_COMMON_HRESULT;
        case WpdResultKey::ResponseCode:
            return WPD_PROPERTY_MTP_EXT_RESPONSE_CODE;
        case WpdResultKey::ResponseParameters:
            return WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS;
        case WpdResultKey::TransferContext:
            return WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT;
        case WpdResultKey::TransferTotalDataSize:
            return WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE;
        case WpdResultKey::TransferData:
            return WPD_PROPERTY_MTP_EXT_TRANSFER_DATA;
        case WpdResultKey::TransferNumBytesWritten:
            return WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN;
    }
    return WPD_PROPERTY_COMMON_HRESULT;
}

const PROPERTYKEY& commandKey(WpdCommand command) {
    switch (command) {
        case WpdCommand::ExecuteWithoutDataPhase:
            return WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE;
        case WpdCommand::ExecuteWithDataToRead:
            return WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ;
        case WpdCommand::ExecuteWithDataToWrite:
            return WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE;
        case WpdCommand::ReadData:
            return WPD_COMMAND_MTP_EXT_READ_DATA;
        case WpdCommand::WriteData:
            return WPD_COMMAND_MTP_EXT_WRITE_DATA;
        case WpdCommand::EndDataTransfer:
            return WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER;
    }
    return WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE;
}

// Takes over a string WPD allocated; a null string reads as empty.
std::wstring takeString(LPWSTR text) {
    const CoTaskMemPtr<WCHAR> owner(text);
    return text ? std::wstring(text) : std::wstring();
}

// ---------------------------------------------------------------------------------------------
// Results

class ComUnsignedList : public WpdUnsignedList {
public:
    explicit ComUnsignedList(ComPtr<IPortableDevicePropVariantCollection> collection)
        : collection_(std::move(collection)) {}

    WpdStatus getCount(uint32_t& count) const override {
        DWORD elements = 0;
        const HRESULT status = collection_->GetCount(&elements);
        count = elements;
        return status;
    }

    WpdStatus getAt(uint32_t index, uint32_t& value) const override {
        PropVariant entry;
        const HRESULT status = collection_->GetAt(index, entry.get());
        if (FAILED(status)) {
            return status;
        }
        switch (entry.value().vt) {
            case VT_UI4:
                value = entry.value().ulVal;
                return S_OK;
            case VT_I4:
                value = static_cast<uint32_t>(entry.value().lVal);
                return S_OK;
            default:
                return DISP_E_TYPEMISMATCH;
        }
    }

private:
    ComPtr<IPortableDevicePropVariantCollection> collection_;
};

class ComResults : public WpdResults {
public:
    explicit ComResults(ComPtr<IPortableDeviceValues> values) : values_(std::move(values)) {}

    WpdStatus getError(WpdResultKey key, WpdStatus& value) const override {
        HRESULT error = S_OK;
        const HRESULT status = values_->GetErrorValue(resultKey(key), &error);
        value = error;
        return status;
    }

    WpdStatus getUnsigned(WpdResultKey key, uint32_t& value) const override {
        ULONG number = 0;
        const HRESULT status = values_->GetUnsignedIntegerValue(resultKey(key), &number);
        value = number;
        return status;
    }

    WpdStatus getString(WpdResultKey key, std::wstring& value) const override {
        LPWSTR text = nullptr;
        const HRESULT status = values_->GetStringValue(resultKey(key), &text);
        std::wstring taken = takeString(text);
        if (SUCCEEDED(status)) {
            value = std::move(taken);
        }
        return status;
    }

    WpdStatus getBuffer(WpdResultKey key, WpdBuffer& value) const override {
        BYTE* bytes = nullptr;
        DWORD size = 0;
        const HRESULT status = values_->GetBufferValue(resultKey(key), &bytes, &size);
        WpdBuffer received;
        received.data = std::unique_ptr<uint8_t, void (*)(void*)>(bytes, &freeCoTaskMem);
        received.size = size;
        if (SUCCEEDED(status)) {
            value = std::move(received);
        }
        return status;
    }

    WpdStatus getUnsignedList(WpdResultKey key,
                              std::unique_ptr<WpdUnsignedList>& value) const override {
        ComPtr<IPortableDevicePropVariantCollection> collection;
        const HRESULT status =
            values_->GetIPortableDevicePropVariantCollectionValue(resultKey(key), collection.put());
        if (SUCCEEDED(status) && collection) {
            value = std::make_unique<ComUnsignedList>(std::move(collection));
        }
        return status;
    }

private:
    ComPtr<IPortableDeviceValues> values_;
};

// ---------------------------------------------------------------------------------------------
// Building parameter bags

// Null when the values object cannot be made; Open then goes without client information.
ComPtr<IPortableDeviceValues> makeClientInformation(const WpdClientInfo& info) {
    ComPtr<IPortableDeviceValues> values;
    if (FAILED(createInstance(CLSID_PortableDeviceValues, IID_IPortableDeviceValues, values))) {
        return values;
    }
    // A value that does not take is left to WPD's default.
    values->SetStringValue(WPD_CLIENT_NAME, info.name.c_str());
    values->SetUnsignedIntegerValue(WPD_CLIENT_MAJOR_VERSION, info.majorVersion);
    values->SetUnsignedIntegerValue(WPD_CLIENT_MINOR_VERSION, info.minorVersion);
    values->SetUnsignedIntegerValue(WPD_CLIENT_REVISION, info.revision);
    values->SetUnsignedIntegerValue(WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE,
                                    info.securityQualityOfService);
    if (info.desiredAccess) {
        values->SetUnsignedIntegerValue(WPD_CLIENT_DESIRED_ACCESS, *info.desiredAccess);
    }
    return values;
}

HRESULT setOperationParameters(IPortableDeviceValues& bag, const std::vector<uint32_t>& words) {
    ComPtr<IPortableDevicePropVariantCollection> collection;
    HRESULT status = createInstance(CLSID_PortableDevicePropVariantCollection,
                                    IID_IPortableDevicePropVariantCollection, collection);
    for (size_t i = 0; SUCCEEDED(status) && i < words.size(); ++i) {
        PropVariant word;
        word.get()->vt = VT_UI4;
        word.get()->ulVal = words[i];
        status = collection->Add(word.get());
    }
    if (FAILED(status)) {
        return status;
    }
    return bag.SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS,
                                                            collection.get());
}

HRESULT setTransferValues(IPortableDeviceValues& bag, const WpdCommandParameters& parameters) {
    HRESULT status = S_OK;
    if (SUCCEEDED(status) && parameters.transferContext) {
        status = bag.SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT,
                                    parameters.transferContext->c_str());
    }
    if (SUCCEEDED(status) && parameters.transferTotalDataSize) {
        status = bag.SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE,
                                                  *parameters.transferTotalDataSize);
    }
    if (SUCCEEDED(status) && parameters.numBytesToRead) {
        status = bag.SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ,
                                             *parameters.numBytesToRead);
    }
    if (SUCCEEDED(status) && parameters.numBytesToWrite) {
        status = bag.SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE,
                                             *parameters.numBytesToWrite);
    }
    if (SUCCEEDED(status) && parameters.transferData) {
        // SetBufferValue copies and wants a pointer even for no bytes.
        static BYTE nothing = 0;
        BYTE* bytes = parameters.transferData->data
                          ? const_cast<BYTE*>(parameters.transferData->data)
                          : &nothing;
        status = bag.SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, bytes,
                                    parameters.transferData->size);
    }
    return status;
}

HRESULT buildCommand(const WpdCommandParameters& parameters, ComPtr<IPortableDeviceValues>& bag) {
    HRESULT status = createInstance(CLSID_PortableDeviceValues, IID_IPortableDeviceValues, bag);
    if (FAILED(status)) {
        return status;
    }
    const PROPERTYKEY& command = commandKey(parameters.command);
    status = bag->SetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, command.fmtid);
    if (SUCCEEDED(status)) {
        status = bag->SetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, command.pid);
    }
    if (SUCCEEDED(status) && parameters.operationCode) {
        status = bag->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE,
                                              *parameters.operationCode);
    }
    if (SUCCEEDED(status) && parameters.operationParameters) {
        status = setOperationParameters(*bag.get(), *parameters.operationParameters);
    }
    if (SUCCEEDED(status)) {
        status = setTransferValues(*bag.get(), parameters);
    }
    return status;
}

// ---------------------------------------------------------------------------------------------
// Device objects

WpdStringValue readWpdString(IPortableDeviceValues& values, REFPROPERTYKEY key) {
    WpdStringValue result;
    LPWSTR text = nullptr;
    result.status = values.GetStringValue(key, &text);
    std::wstring taken = takeString(text);
    if (SUCCEEDED(result.status)) {
        result.value = std::move(taken);
    }
    return result;
}

class ComConnection : public WpdConnection {
public:
    explicit ComConnection(ComPtr<IPortableDevice> device) : device_(std::move(device)) {}

    WpdStatus open(const std::wstring& pnpDeviceId, const WpdClientInfo& clientInfo) override {
        const ComPtr<IPortableDeviceValues> client = makeClientInformation(clientInfo);
        return device_->Open(pnpDeviceId.c_str(), client.get());
    }

    WpdStatus readIdentity(WpdIdentity& identity) override {
        ComPtr<IPortableDeviceValues> values;
        const HRESULT status = readDeviceValues(values);
        if (FAILED(status)) {
            return status;
        }
        identity.manufacturer = readWpdString(*values.get(), WPD_DEVICE_MANUFACTURER);
        identity.model = readWpdString(*values.get(), WPD_DEVICE_MODEL);
        identity.serialNumber = readWpdString(*values.get(), WPD_DEVICE_SERIAL_NUMBER);
        identity.firmwareVersion = readWpdString(*values.get(), WPD_DEVICE_FIRMWARE_VERSION);
        return S_OK;
    }

    WpdStatus sendCommand(const WpdCommandParameters& parameters,
                          std::unique_ptr<WpdResults>& results) override {
        ComPtr<IPortableDeviceValues> bag;
        HRESULT status = buildCommand(parameters, bag);
        if (FAILED(status)) {
            return status;
        }
        ComPtr<IPortableDeviceValues> values;
        status = device_->SendCommand(0, bag.get(), values.put());
        if (FAILED(status)) {
            return status;
        }
        if (!values) {
            return E_POINTER;
        }
        results = std::make_unique<ComResults>(std::move(values));
        return status;
    }

    void close() override { device_->Close(); }

private:
    // The four identity values of the device object, fetched with one GetValues.
    HRESULT readDeviceValues(ComPtr<IPortableDeviceValues>& values) {
        ComPtr<IPortableDeviceContent> content;
        HRESULT status = device_->Content(content.put());
        if (FAILED(status)) {
            return status;
        }
        ComPtr<IPortableDeviceProperties> properties;
        status = content->Properties(properties.put());
        if (FAILED(status)) {
            return status;
        }
        ComPtr<IPortableDeviceKeyCollection> keys;
        status = createInstance(CLSID_PortableDeviceKeyCollection, IID_IPortableDeviceKeyCollection,
                                keys);
        for (const PROPERTYKEY* key : {&WPD_DEVICE_MANUFACTURER, &WPD_DEVICE_MODEL,
                                       &WPD_DEVICE_FIRMWARE_VERSION, &WPD_DEVICE_SERIAL_NUMBER}) {
            if (SUCCEEDED(status)) {
                status = keys->Add(*key);
            }
        }
        if (FAILED(status)) {
            return status;
        }
        return properties->GetValues(WPD_DEVICE_OBJECT_ID, keys.get(), values.put());
    }

    ComPtr<IPortableDevice> device_;
};

// ---------------------------------------------------------------------------------------------
// Entry

class ComWpdApi : public WpdApi {
public:
    WpdStatus initializeCom() override { return CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

    WpdStatus listDeviceIds(std::vector<std::wstring>& pnpDeviceIds) override {
        ComPtr<IPortableDeviceManager> manager;
        HRESULT status =
            createInstance(CLSID_PortableDeviceManager, IID_IPortableDeviceManager, manager);
        if (FAILED(status)) {
            return status;
        }
        DWORD count = 0;
        status = manager->GetDevices(nullptr, &count);
        if (FAILED(status) || count == 0) {
            return status;
        }
        std::unique_ptr<LPWSTR[]> ids(new (std::nothrow) LPWSTR[count]());
        std::vector<CoTaskMemPtr<WCHAR>> owners;
        if (!ids) {
            return E_OUTOFMEMORY;
        }
        // Room for every owner before WPD allocates the strings, so none can leak.
        owners.reserve(count);
        DWORD filled = count;
        status = manager->GetDevices(ids.get(), &filled);
        for (DWORD i = 0; i < count && i < filled; ++i) {
            owners.emplace_back(ids[i]);
        }
        if (FAILED(status)) {
            return status;
        }
        for (const auto& id : owners) {
            if (id) {
                pnpDeviceIds.emplace_back(id.get());
            }
        }
        return S_OK;
    }

    WpdStatus createConnection(std::unique_ptr<WpdConnection>& connection) override {
        ComPtr<IPortableDevice> device;
        const HRESULT status = createInstance(CLSID_PortableDeviceFTM, IID_IPortableDevice, device);
        if (SUCCEEDED(status)) {
            connection = std::make_unique<ComConnection>(std::move(device));
        }
        return status;
    }
};

}  // namespace

std::shared_ptr<WpdApi> makeComWpdApi() {
    return std::make_shared<ComWpdApi>();
}

}  // namespace Corvane::CameraController::Impl
