// list and info: which cameras there are, and what one of them is.
#include "commands.hpp"

#include "../formatting.hpp"
#include "../progress.hpp"

namespace camctl {

namespace {

Json identityJson(const cc::CameraDevice& camera) {
    Json json = Json::object();
    json.set("manufacturer", camera.getManufacturer());
    json.set("model", camera.getModel());
    json.set("serial", camera.getSerialNumber());
    json.set("firmware", camera.getFirmwareVersion());
    return json;
}

void runList(Context& context) {
    const auto cameras = context.detect();
    auto& out = context.out();
    if (out.json()) {
        Json list = Json::array();
        for (const auto& camera : cameras) {
            list.push(identityJson(*camera));
        }
        out.document(Json::object().set("cameras", std::move(list)));
        return;
    }
    if (cameras.empty()) {
        out.line("No camera found.");
        return;
    }
    for (const auto& camera : cameras) {
        out.line(printable(camera->getModel()) + "  serial " +
                 printable(camera->getSerialNumber()) + "  firmware " +
                 printable(camera->getFirmwareVersion()) + "  (" +
                 printable(camera->getManufacturer()) + ")");
    }
}

std::string storageLine(const cc::CameraStorage& storage) {
    if (!storage.isAvailable()) {
        return "  storage " + storage.getId() + ": no card";
    }
    return "  storage " + storage.getId() + ": " + storageTypeName(storage.getType()) + ", " +
           permissionName(storage.getPermission()) + ", " +
           formatBytes(storage.getFreeSpaceInBytes()) + " free of " +
           formatBytes(storage.getMaxCapacity()) + ", room for " +
           std::to_string(storage.getFreeSpaceInImages()) + " images, " +
           std::to_string(storage.getImages().size()) + " images listed (" +
           listingStateName(storage.getListingState()) + ")";
}

void runInfo(Context& context) {
    auto& camera = context.camera();
    auto& out = context.out();
    const auto& storages = camera.getStorages();
    if (out.json()) {
        Json json = identityJson(camera);
        json.set("battery", camera.getStatus().getBatteryLevel());
        Json list = Json::array();
        for (size_t i = 0; i < storages.size(); ++i) {
            list.push(storageJson(*storages.get(i)));
        }
        json.set("storages", std::move(list));
        out.document(json);
        return;
    }
    out.line("Model:        " + printable(camera.getModel()));
    out.line("Manufacturer: " + printable(camera.getManufacturer()));
    out.line("Serial:       " + printable(camera.getSerialNumber()));
    out.line("Firmware:     " + printable(camera.getFirmwareVersion()));
    out.line("Battery:      " + std::to_string(camera.getStatus().getBatteryLevel()) + "%");
    out.line("Storages:     " + std::to_string(storages.size()));
    for (size_t i = 0; i < storages.size(); ++i) {
        out.line(storageLine(*storages.get(i)));
    }
}

}  // namespace

void addCameraCommands(CLI::App& app, CommandSet& commands) {
    commands.add(app.add_subcommand("list", "List the attached cameras"), runList);
    commands.add(app.add_subcommand("info", "Show identity, battery and storages of the camera"),
                 runInfo);
}

}  // namespace camctl
