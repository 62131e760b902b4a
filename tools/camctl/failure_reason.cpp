#include "failure_reason.hpp"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "formatting.hpp"

namespace camctl {

namespace {

constexpr uint16_t busyCode = 0x2019;

// The library writes a failed response code as "0x2019", or as "Unknown MTP response code: 0x0"
// for codes it has no error code for; 0 means the transport got no answer at all.
std::optional<uint16_t> responseCodeIn(const std::string& message) {
    static const std::string unknownPrefix = "Unknown MTP response code: ";
    std::string text = message;
    if (text.rfind(unknownPrefix, 0) == 0) {
        text = text.substr(unknownPrefix.size());
    }
    if (text.size() < 3 || text.size() > 6 || text.compare(0, 2, "0x") != 0) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str() + 2, &end, 16);
    if (end != text.c_str() + text.size() || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

struct NamedCode {
    uint16_t code;
    const char* name;
};

// Names as in the PTP standard.
constexpr NamedCode responseCodeNames[] = {
    {0x2000, "Undefined"},
    {0x2002, "General Error"},
    {0x2003, "Session Not Open"},
    {0x2004, "Invalid TransactionID"},
    {0x2005, "Operation Not Supported"},
    {0x2006, "Parameter Not Supported"},
    {0x2007, "Incomplete Transfer"},
    {0x2008, "Invalid StorageID"},
    {0x2009, "Invalid ObjectHandle"},
    {0x200A, "DeviceProp Not Supported"},
    {0x200B, "Invalid ObjectFormatCode"},
    {0x200C, "Store Full"},
    {0x200D, "Object WriteProtected"},
    {0x200E, "Store Read-Only"},
    {0x200F, "Access Denied"},
    {0x2010, "No Thumbnail Present"},
    {0x2012, "Partial Deletion"},
    {0x2013, "Store Not Available"},
    {0x2014, "Listing By Format Unsupported"},
    {0x2016, "Invalid Code Format"},
    {0x2017, "Unknown Vendor Code"},
    {0x2019, "Device Busy"},
    {0x201B, "Invalid DeviceProp Format"},
    {0x201C, "Invalid DeviceProp Value"},
    {0x201D, "Invalid Parameter"},
    {0x201F, "Transaction Cancelled"},
};

const char* responseCodeName(uint16_t code) {
    for (const auto& entry : responseCodeNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

}  // namespace

std::string failureReason(const std::string& codeName, const std::string& message,
                          bool cameraGone) {
    // camctl connects before it does anything, so "not connected" means the link was lost.
    if (codeName == "NotConnected") {
        return message.empty() ? "camera disconnected" : "";
    }
    const auto code = responseCodeIn(message);
    if (!code) {
        return message == "Device Busy" ? "camera busy" : "";
    }
    if (*code == 0) {
        return cameraGone ? "camera disconnected"
                          : "timed out: the camera did not answer, or the connection failed";
    }
    if (*code == busyCode) {
        return "camera busy: Device Busy";
    }
    const char* name = responseCodeName(*code);
    return name == nullptr ? "" : name;
}

std::string describeFailure(const std::string& code, const std::string& message,
                            const std::string& reason) {
    // The message may carry a name from the camera.
    const std::string shown = printable(message);
    std::string text = code.empty() ? shown : shown.empty() ? code : code + ": " + shown;
    if (!reason.empty() && reason != message) {
        text += (text.empty() ? "" : " ") + ("(" + reason + ")");
    }
    return text;
}

Json failureJson(const std::string& code, const std::string& message, const std::string& reason) {
    Json json = Json::object().set("code", code).set("message", message);
    if (!reason.empty()) {
        json.set("reason", reason);
    }
    return json;
}

bool gotNoAnswer(const CameraError& error) {
    return responseCodeIn(error.what()) == uint16_t{0};
}

bool isBusy(const CameraError& error) {
    const std::string message = error.what();
    return message == "Device Busy" || responseCodeIn(message) == busyCode;
}

}  // namespace camctl
