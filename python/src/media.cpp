// Captures, storages and images.
#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include "binding.hpp"

namespace corvane_python {

namespace {

template <typename Read>
py::bytes readToBytes(Read&& read) {
    std::ostringstream out;
    check(withoutGil([&] { return read(out); }));
    const std::string data = out.str();
    return py::bytes(data);
}

// A name beside `target` that no other download in this process or another uses at once.
std::filesystem::path partialPathFor(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path partial = target;
    partial += "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".part";
    return partial;
}

// Writes the image beside `target` and renames it into place only once complete, so `target`
// never holds a partial file; on failure nothing is left behind.
std::filesystem::path download(const cc::CameraImage& image, const std::filesystem::path& target) {
    const auto partial = partialPathFor(target);
    std::string failure;
    const cc::Response response = withoutGil([&] {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        if (!file) {
            failure = "cannot create " + partial.string();
            return cc::Response(cc::Result::Ok);
        }
        cc::Response result = image.getData(file);
        file.close();
        if (result.getResult() == cc::Result::Ok && !file) {
            failure = "cannot write " + partial.string();
        }
        std::error_code error;
        if (result.getResult() == cc::Result::Ok && failure.empty()) {
            std::filesystem::rename(partial, target, error);
            if (error) {
                failure = "cannot rename to " + target.string() + ": " + error.message();
            }
        }
        if (result.getResult() != cc::Result::Ok || !failure.empty()) {
            std::filesystem::remove(partial, error);
        }
        return result;
    });
    check(response);
    if (!failure.empty()) {
        PyErr_SetString(PyExc_OSError, failure.c_str());
        throw py::error_already_set();
    }
    return target;
}

}  // namespace

void bindMedia(py::module_& m) {
    py::class_<cc::Capture, std::shared_ptr<cc::Capture>>(m, "Capture",
                                                          "A capture started by capture().")
        .def_property_readonly("id", &cc::Capture::getId)
        .def_property_readonly(
            "method", [](const cc::Capture& c) { return c.getMethod()->getValue().toString(); },
            "'StillImage' or 'Movie'.")
        .def_property_readonly("state", &cc::Capture::getState)
        .def("__repr__", [](const cc::Capture& c) { return "<Capture " + c.getId() + ">"; });

    py::class_<cc::CameraImage, std::shared_ptr<cc::CameraImage>>(m, "Image",
                                                                  "A file on the camera.")
        .def_property_readonly("id", &cc::CameraImage::getId)
        .def_property_readonly("name", &cc::CameraImage::getName)
        .def_property_readonly("size", &cc::CameraImage::getSize)
        .def_property_readonly("type", &cc::CameraImage::getType)
        .def_property_readonly("format", &cc::CameraImage::getFormat)
        .def_property_readonly("has_thumbnail", &cc::CameraImage::hasThumbnail)
        .def_property_readonly("timestamp", &cc::CameraImage::getDateTime,
                               "Capture time in seconds since 1970 on the camera's clock; 0 "
                               "when unknown.")
        .def_property_readonly("valid", &cc::CameraImage::isValid)
        .def_property_readonly(
            "storage",
            [](const cc::CameraImage& image) {
                return std::const_pointer_cast<cc::CameraStorage>(image.getStorage());
            })
        .def(
            "read",
            [](const cc::CameraImage& image) {
                return readToBytes([&](std::ostream& out) { return image.getData(out); });
            },
            "Downloads the file into memory.")
        .def(
            "thumbnail",
            [](const cc::CameraImage& image) {
                return readToBytes([&](std::ostream& out) { return image.getThumbnail(out); });
            },
            "Downloads the thumbnail.")
        .def("download", &download, py::arg("path"),
             "Downloads the file to `path`, which appears only once the file is complete.")
        .def("delete",
             [](const cc::CameraImage& image) {
                 check(withoutGil([&] { return image.deleteData(); }));
             })
        .def("__repr__", [](const cc::CameraImage& image) {
            return "<Image " + image.getId() + " '" + image.getName() + "'>";
        });

    py::class_<cc::CameraStorage, std::shared_ptr<cc::CameraStorage>>(m, "Storage", "A card slot.")
        .def_property_readonly("id", &cc::CameraStorage::getId)
        .def_property_readonly("available", &cc::CameraStorage::isAvailable)
        .def_property_readonly("type", &cc::CameraStorage::getType)
        .def_property_readonly("permission", &cc::CameraStorage::getPermission)
        .def_property_readonly("max_capacity", &cc::CameraStorage::getMaxCapacity)
        .def_property_readonly("free_space_bytes", &cc::CameraStorage::getFreeSpaceInBytes)
        .def_property_readonly("free_space_images", &cc::CameraStorage::getFreeSpaceInImages)
        .def_property_readonly("listing_state", &cc::CameraStorage::getListingState)
        .def_property_readonly(
            "images",
            [](const cc::CameraStorage& storage) { return imagesOf(storage.getImages()); })
        .def("__repr__", [](const cc::CameraStorage& s) { return "<Storage " + s.getId() + ">"; });
}

std::vector<std::shared_ptr<cc::CameraImage>> imagesOf(const cc::CameraImageList& list) {
    const auto snapshot = list.clone();
    std::vector<std::shared_ptr<cc::CameraImage>> images;
    for (size_t i = 0; i < snapshot->size(); ++i) {
        images.push_back(std::const_pointer_cast<cc::CameraImage>(snapshot->get(i)));
    }
    return images;
}

}  // namespace corvane_python
