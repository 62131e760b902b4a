#include "commands.hpp"

namespace camctl {

const Action* CommandSet::chosen(const CLI::App& app) const {
    for (const auto* command : app.get_subcommands()) {
        const auto found = actions.find(command);
        if (found != actions.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

}  // namespace camctl
