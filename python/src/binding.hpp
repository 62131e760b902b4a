// Pieces shared by the files of the Python module.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <corvane/camera_controller.hpp>

namespace corvane_python {

namespace py = pybind11;
namespace cc = Corvane::CameraController;

/// Runs `call` with the GIL released: every call that may talk to the camera goes through here,
/// so other Python threads keep running while it blocks.
template <typename Call>
auto withoutGil(Call&& call) {
    py::gil_scoped_release release;
    return std::forward<Call>(call)();
}

/// Raises the corvane exception matching the first error of a failed response.
[[noreturn]] void raiseFailure(const cc::Response& response);

/// Returns when `response` is Ok, raises otherwise.
inline void check(const cc::Response& response) {
    if (response.getResult() != cc::Result::Ok) {
        raiseFailure(response);
    }
}

/// Raises the corvane exception for one error code and message.
[[noreturn]] void raiseError(cc::ErrorCode code, const std::string& message);

/// A stable copy of an image list that the library may change meanwhile.
std::vector<std::shared_ptr<cc::CameraImage>> imagesOf(const cc::CameraImageList& list);

/// Whether the interpreter can still run Python code (it is not shutting down).
bool interpreterRunning();

void bindTypes(py::module_& m);
void bindSettings(py::module_& m);
void bindMedia(py::module_& m);
void bindEvents(py::module_& m);
void bindCamera(py::module_& m);
void bindEmulator(py::module_& m);

}  // namespace corvane_python
