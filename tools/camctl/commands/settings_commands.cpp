// get and set: capture settings by name, with the values the camera accepts now.
#include "commands.hpp"

#include <set>

#include "../errors.hpp"
#include "../formatting.hpp"
#include "../settings_catalog.hpp"

namespace camctl {

namespace {

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& text : texts) {
        out += (out.empty() ? "" : ", ") + text;
    }
    return out;
}

const SettingKind& kindOrUsageError(const std::string& name) {
    const auto* kind = findSettingKind(name);
    if (kind == nullptr) {
        throw UsageError("unknown setting \"" + name +
                         "\"; known settings: " + settingNames(false));
    }
    return *kind;
}

struct Reading {
    const SettingKind* kind;
    std::unique_ptr<cc::CaptureSetting> setting;
    std::shared_ptr<cc::Error> error;
};

// Each setting is read on its own: the library stops a batch at its first failure, and one
// unreadable setting should not hide the others.
Reading readSetting(cc::CameraDevice& camera, const SettingKind& kind) {
    Reading reading{&kind, kind.make(), nullptr};
    const auto response = camera.getCaptureSettings({reading.setting.get()});
    if (response.getResult() != cc::Result::Ok) {
        reading.error = response.getErrors().empty()
                            ? std::make_shared<cc::Error>(cc::ErrorCode::Unknown, "read failed")
                            : response.getErrors().front();
    }
    return reading;
}

std::string valueText(const cc::CaptureSetting& setting) {
    return setting.hasValue() ? setting.getValue().toString() : std::string("no value");
}

Json readingJson(const Reading& reading) {
    Json json = Json::object();
    if (reading.error) {
        json.set("error", Json::object()
                              .set("code", errorCodeName(reading.error->getCode()))
                              .set("message", reading.error->getMessage()));
        return json;
    }
    json.set("value", reading.setting->hasValue() ? Json(valueText(*reading.setting)) : Json());
    json.set("writable", reading.kind->writable);
    Json accepted = Json::array();
    for (const auto& text : acceptedTexts(*reading.setting)) {
        accepted.push(text);
    }
    json.set("accepted", std::move(accepted));
    return json;
}

std::string readingLine(const Reading& reading) {
    std::string name = reading.kind->name;
    name.resize(std::max<size_t>(name.size() + 1, 25), ' ');
    if (reading.error) {
        return name + "error: " + errorCodeName(reading.error->getCode()) + ": " +
               reading.error->getMessage();
    }
    std::string value = valueText(*reading.setting);
    value.resize(std::max<size_t>(value.size() + 2, 18), ' ');
    if (!reading.kind->writable) {
        return name + value + "(read-only)";
    }
    const auto accepted = acceptedTexts(*reading.setting);
    return name + value +
           (accepted.empty() ? "(cannot be changed now)" : "accepted: " + joined(accepted));
}

void runGet(Context& context, const std::vector<std::string>& names) {
    std::vector<const SettingKind*> kinds;
    for (const auto& name : names) {
        kinds.push_back(&kindOrUsageError(name));
    }
    if (kinds.empty()) {
        for (const auto& kind : settingKinds()) {
            kinds.push_back(&kind);
        }
    }
    auto& camera = context.camera();
    bool failed = false;
    Json settings = Json::object();
    for (const auto* kind : kinds) {
        const Reading reading = readSetting(camera, *kind);
        failed = failed || reading.error != nullptr;
        if (context.out().json()) {
            settings.set(kind->name, readingJson(reading));
        } else {
            context.out().line(readingLine(reading));
        }
    }
    if (context.out().json()) {
        context.out().document(Json::object().set("settings", std::move(settings)));
    }
    if (failed) {
        throw ReportedFailure();
    }
}

void runSet(Context& context, const std::vector<std::string>& assignments) {
    // Everything the user typed is checked before the camera is touched.
    std::vector<std::pair<const SettingKind*, std::string>> wanted;
    std::set<std::string> seen;
    for (const auto& assignment : assignments) {
        const auto [name, value] = splitAssignment(assignment);
        const SettingKind& kind = kindOrUsageError(name);
        if (!kind.writable) {
            throw UsageError(kind.name + " cannot be set; settable: " + settingNames(true));
        }
        if (!seen.insert(kind.name).second) {
            throw UsageError(kind.name + " is given twice");
        }
        wanted.emplace_back(&kind, value);
    }

    auto& camera = context.camera();
    std::vector<std::unique_ptr<cc::CaptureSetting>> current;
    std::vector<const cc::CaptureSetting*> writes;
    for (const auto& [kind, value] : wanted) {
        current.push_back(kind->make());
        throwIfFailed(camera.getCaptureSettings({current.back().get()}), "reading " + kind->name);
        const auto* singleton = matchAvailable(*current.back(), value);
        if (singleton == nullptr) {
            const auto accepted = acceptedTexts(*current.back());
            throw UsageError(kind->name + ": \"" + value + "\" is not accepted now; " +
                             (accepted.empty() ? "the camera accepts no change of it in its "
                                                 "current mode"
                                               : "accepted: " + joined(accepted)));
        }
        writes.push_back(singleton);
    }
    throwIfFailed(camera.setCaptureSettings(writes), "set");

    Json settings = Json::object();
    for (const auto& [kind, value] : wanted) {
        const Reading reading = readSetting(camera, *kind);
        const std::string text = reading.error ? "?" : valueText(*reading.setting);
        if (context.out().json()) {
            settings.set(kind->name, text);
        } else {
            context.out().line(kind->name + ": " + text);
        }
    }
    if (context.out().json()) {
        context.out().document(Json::object().set("settings", std::move(settings)));
    }
}

}  // namespace

void addSettingsCommands(CLI::App& app, CommandSet& commands) {
    auto names = std::make_shared<std::vector<std::string>>();
    auto* get = app.add_subcommand("get", "Show capture settings and the values accepted now");
    get->add_option("setting", *names, "Setting names (default: all)");
    commands.add(get, [names](Context& context) { runGet(context, *names); });

    auto assignments = std::make_shared<std::vector<std::string>>();
    auto* set = app.add_subcommand("set", "Change capture settings, e.g. ISO=400 FNumber=5.6");
    set->add_option("assignment", *assignments, "NAME=VALUE, value texts as `get` prints them")
        ->required();
    commands.add(set, [assignments](Context& context) { runSet(context, *assignments); });
}

}  // namespace camctl
