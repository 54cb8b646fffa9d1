// The settings values the definition-file readers take.
#include "config/definition_settings.h"

namespace mirexa {

std::string GetControllerFilePath() {
    return "hanuc.ctl";
}

std::string GetMachineFilePath() {
    return "oguma.mtl";
}

std::string GetToolFilePath() {
    return "mirexa.ttl";
}

}  // namespace mirexa
