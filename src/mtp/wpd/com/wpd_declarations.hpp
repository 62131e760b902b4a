// The part of the WPD API the binding uses, for toolchains whose headers stop at
// portabledevicetypes.h (MinGW-w64). With the Windows SDK, wpd_sdk.hpp takes the SDK's own
// headers instead and this file is not included.
//
// Interfaces list every method in the order Windows declares them, since the vtable layout is
// the contract; methods the binding does not call keep their real signatures all the same.
#pragma once

#include <objbase.h>
#include <portabledevicetypes.h>
#include <propkeydef.h>

struct IStream;
struct IPortableDeviceContent;
struct IPortableDeviceProperties;
struct IPortableDeviceResources;
struct IPortableDeviceCapabilities;
struct IPortableDeviceEventCallback;
struct IEnumPortableDeviceObjectIDs;

struct IPortableDeviceManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR* pPnPDeviceIDs, DWORD* pcPnPDeviceIDs) = 0;
    virtual HRESULT STDMETHODCALLTYPE RefreshDeviceList() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR pszPnPDeviceID,
                                                            WCHAR* pDeviceFriendlyName,
                                                            DWORD* pcchDeviceFriendlyName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR pszPnPDeviceID,
                                                           WCHAR* pDeviceDescription,
                                                           DWORD* pcchDeviceDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR pszPnPDeviceID,
                                                            WCHAR* pDeviceManufacturer,
                                                            DWORD* pcchDeviceManufacturer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR pszPnPDeviceID,
                                                        LPCWSTR pszDevicePropertyName, BYTE* pData,
                                                        DWORD* pcbData, DWORD* pdwType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR* pPnPDeviceIDs,
                                                        DWORD* pcPnPDeviceIDs) = 0;
};

struct IPortableDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(LPCWSTR pszPnPDeviceID,
                                           IPortableDeviceValues* pClientInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(const DWORD dwFlags,
                                                  IPortableDeviceValues* pParameters,
                                                  IPortableDeviceValues** ppResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent** ppContent) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    Capabilities(IPortableDeviceCapabilities** ppCapabilities) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(const DWORD dwFlags,
                                             IPortableDeviceEventCallback* pCallback,
                                             IPortableDeviceValues* pParameters,
                                             LPWSTR* ppszCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR pszCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPnPDeviceID(LPWSTR* ppszPnPDeviceID) = 0;
};

struct IPortableDeviceContent : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumObjects(const DWORD dwFlags, LPCWSTR pszParentObjectID,
                                                  IPortableDeviceValues* pFilter,
                                                  IEnumPortableDeviceObjectIDs** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties** ppProperties) = 0;
    virtual HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources** ppResources) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues* pValues,
                                                                     LPWSTR* ppszObjectID) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateObjectWithPropertiesAndData(IPortableDeviceValues* pValues, IStream** ppData,
                                      DWORD* pdwOptimalWriteBufferSize, LPWSTR* ppszCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(const DWORD dwOptions,
                                             IPortableDevicePropVariantCollection* pObjectIDs,
                                             IPortableDevicePropVariantCollection** ppResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetObjectIDsFromPersistentUniqueIDs(IPortableDevicePropVariantCollection* pPersistentUniqueIDs,
                                        IPortableDevicePropVariantCollection** ppObjectIDs) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(IPortableDevicePropVariantCollection* pObjectIDs,
                                           LPCWSTR pszDestinationFolderObjectID,
                                           IPortableDevicePropVariantCollection** ppResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE Copy(IPortableDevicePropVariantCollection* pObjectIDs,
                                           LPCWSTR pszDestinationFolderObjectID,
                                           IPortableDevicePropVariantCollection** ppResults) = 0;
};

struct IPortableDeviceProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    GetSupportedProperties(LPCWSTR pszObjectID, IPortableDeviceKeyCollection** ppKeys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyAttributes(
        LPCWSTR pszObjectID, REFPROPERTYKEY Key, IPortableDeviceValues** ppAttributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR pszObjectID,
                                                IPortableDeviceKeyCollection* pKeys,
                                                IPortableDeviceValues** ppValues) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR pszObjectID, IPortableDeviceValues* pValues,
                                                IPortableDeviceValues** ppResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR pszObjectID,
                                             IPortableDeviceKeyCollection* pKeys) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

// Interface and class ids. IID_IPortableDeviceValues, the key and PROPVARIANT collection
// interface ids and CLSID_PortableDeviceValues come with portabledevicetypes.h.
inline constexpr IID IID_IPortableDeviceManager = {
    0xa1567595, 0x4c2f, 0x4574, {0xa6, 0xfa, 0xec, 0xef, 0x91, 0x7b, 0x9a, 0x40}};
inline constexpr IID IID_IPortableDevice = {
    0x625e2df8, 0x6392, 0x4cf0, {0x9a, 0xd1, 0x3c, 0xfa, 0x5f, 0x17, 0x77, 0x5c}};
inline constexpr IID IID_IPortableDeviceContent = {
    0x6a96ed84, 0x7c73, 0x4480, {0x99, 0x38, 0xbf, 0x5a, 0xf4, 0x77, 0xd4, 0x26}};
inline constexpr IID IID_IPortableDeviceProperties = {
    0x7f6d695c, 0x03df, 0x4439, {0xa8, 0x09, 0x59, 0x26, 0x6b, 0xee, 0xe3, 0xa6}};
inline constexpr CLSID CLSID_PortableDeviceManager = {
    0x0af10cec, 0x2ecd, 0x4b92, {0x95, 0x81, 0x34, 0xf6, 0xae, 0x06, 0x37, 0xf3}};
inline constexpr CLSID CLSID_PortableDeviceFTM = {
    0xf7c0039a, 0x4762, 0x488a, {0xb4, 0xb3, 0x76, 0x0e, 0xf9, 0xa1, 0xba, 0x9b}};
inline constexpr CLSID CLSID_PortableDeviceKeyCollection = {
    0xde2d022d, 0x2480, 0x43be, {0x97, 0xf0, 0xd1, 0xfa, 0x2c, 0xf9, 0x8f, 0x4f}};
inline constexpr CLSID CLSID_PortableDevicePropVariantCollection = {
    0x08a99e2f, 0x6d6d, 0x4b80, {0xaf, 0x5a, 0xba, 0xf2, 0xbc, 0xbe, 0x4c, 0xb9}};

#define WPD_DEVICE_OBJECT_ID L"DEVICE"

// Client information sent with Open.
inline constexpr GUID kWpdClientInformationProperties = {
    0x204d9f0c, 0x2292, 0x4080, {0x9f, 0x42, 0x40, 0x66, 0x4e, 0x70, 0xf8, 0x59}};
inline constexpr PROPERTYKEY WPD_CLIENT_NAME = {kWpdClientInformationProperties, 2};
inline constexpr PROPERTYKEY WPD_CLIENT_MAJOR_VERSION = {kWpdClientInformationProperties, 3};
inline constexpr PROPERTYKEY WPD_CLIENT_MINOR_VERSION = {kWpdClientInformationProperties, 4};
inline constexpr PROPERTYKEY WPD_CLIENT_REVISION = {kWpdClientInformationProperties, 5};
inline constexpr PROPERTYKEY WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE = {
    kWpdClientInformationProperties, 8};
inline constexpr PROPERTYKEY WPD_CLIENT_DESIRED_ACCESS = {kWpdClientInformationProperties, 9};

// Identity of the device object.
inline constexpr GUID kWpdDeviceProperties = {
    0x26d4979a, 0xe643, 0x4626, {0x9e, 0x2b, 0x73, 0x6d, 0xc0, 0xc9, 0x2f, 0xdc}};
inline constexpr PROPERTYKEY WPD_DEVICE_FIRMWARE_VERSION = {kWpdDeviceProperties, 3};
inline constexpr PROPERTYKEY WPD_DEVICE_MANUFACTURER = {kWpdDeviceProperties, 7};
inline constexpr PROPERTYKEY WPD_DEVICE_MODEL = {kWpdDeviceProperties, 8};
inline constexpr PROPERTYKEY WPD_DEVICE_SERIAL_NUMBER = {kWpdDeviceProperties, 9};

// Keys every command carries.
inline constexpr GUID kWpdCommonProperties = {
    0xf0422a9c, 0x5dc8, 0x4440, {0xb5, 0xbd, 0x5d, 0xf2, 0x88, 0x35, 0x65, 0x8a}};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_COMMAND_CATEGORY = {kWpdCommonProperties, 1001};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_COMMAND_ID = {kWpdCommonProperties, 1002};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_HRESULT = {kWpdCommonProperties, 1003};

// The MTP-extension commands and their parameters and results.
inline constexpr GUID WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS = {
    0x4d545058, 0x1a2e, 0x4106, {0xa3, 0x57, 0x77, 0x1e, 0x08, 0x19, 0xfc, 0x56}};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 12};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 13};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 14};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_READ_DATA = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 15};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_WRITE_DATA = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 16};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 17};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_OPERATION_CODE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1001};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1002};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_RESPONSE_CODE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1003};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1004};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1006};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1007};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1008};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1010};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1011};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_DATA = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1012};
