// Owners for GLib objects and errors, so no path forgets an unref.
#pragma once

#include <glib-object.h>

#include <memory>
#include <string>

namespace Corvane::CameraController::Emulator::Usb {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

/// Takes over a reference the caller already owns (a "transfer full" return value).
template <typename T>
GObjectPtr<T> adopt(T* object) {
    return GObjectPtr<T>(object);
}

/// Takes a new reference on a borrowed object ("transfer none").
template <typename T>
GObjectPtr<T> retain(T* object) {
    return GObjectPtr<T>(static_cast<T*>(g_object_ref(object)));
}

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

/// Collects a GError from a call that takes a GError** and releases it afterwards.
class ErrorSlot {
public:
    GError** out() { return &error_; }
    std::string message() const { return error_ != nullptr ? error_->message : "unknown error"; }
    ~ErrorSlot() {
        if (error_ != nullptr) {
            g_error_free(error_);
        }
    }

private:
    GError* error_ = nullptr;
};

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

}  // namespace Corvane::CameraController::Emulator::Usb
