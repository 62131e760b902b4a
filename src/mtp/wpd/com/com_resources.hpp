// Owners for the COM resources of the WPD binding: interface pointers, PROPVARIANTs and
// CoTaskMem allocations. Each releases exactly once, on every path.
#pragma once

#include <memory>
#include <utility>

#include "mtp/wpd/com/wpd_sdk.hpp"

namespace Corvane::CameraController::Impl {

/// An owned reference to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    /// For out-parameters: releases what is held and hands out the slot to fill.
    T** put() {
        reset();
        return &pointer_;
    }
    /// The same slot as the void** that CoCreateInstance wants.
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    void reset() {
        if (pointer_) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }

private:
    T* pointer_ = nullptr;
};

/// A PROPVARIANT that is cleared when it goes.
class PropVariant {
public:
    PropVariant() { PropVariantInit(&value_); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    ~PropVariant() { PropVariantClear(&value_); }

    PROPVARIANT* get() { return &value_; }
    const PROPVARIANT& value() const { return value_; }

private:
    PROPVARIANT value_;
};

struct CoTaskMemDeleter {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

/// Memory that WPD allocated for us (strings, buffers, id arrays).
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemDeleter>;

}  // namespace Corvane::CameraController::Impl
