#include "model/capture_impl.hpp"

#include <stdexcept>
#include <utility>

namespace Corvane::CameraController::Impl {

namespace {

const CaptureMethod* requireMethod(const CaptureMethod* method) {
    if (method == nullptr) {
        throw std::invalid_argument("a capture needs a capture method");
    }
    return method;
}

}  // namespace

CaptureImpl::CaptureImpl(std::string id, const CaptureMethod* method, int32_t remainingFiles)
    : id(std::move(id)), method(requireMethod(method)), remainingFiles(remainingFiles) {}

bool CaptureImpl::finish(CaptureState finalState) {
    if (finalState == CaptureState::Executing) {
        return false;
    }
    auto expected = CaptureState::Executing;
    return state.compare_exchange_strong(expected, finalState);
}

}  // namespace Corvane::CameraController::Impl
