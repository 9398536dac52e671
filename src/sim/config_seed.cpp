#include "sim_options.h"

namespace orv::sim {

// Configuration files are read by the files layer; until the simulator links it, --config is
// refused with a clear reason rather than ignored.
std::optional<std::string> LoadConfigFile(const std::string& path, TPanelState& /*panel*/) {
    return "--config " + path + ": reading configuration files is not available in this build";
}

} // namespace orv::sim
