#include "model/configuration_file.h"

#include "platform/files.h"

namespace kv {

namespace {

FileDialogRequest configurationDialog(StringId title, std::string initialDirectory) {
    FileDialogRequest request;
    request.title = title;
    request.filter = StringId::ConfigurationFilter;
    request.initialName = kConfigurationFileName;
    request.initialDirectory = std::move(initialDirectory);
    request.defaultExtension = "CNF";
    return request;
}

} // namespace

bool loadConfigurationFile(AppConfig& config, const std::string& path) {
    const auto bytes = readFileStart(path, kAppConfigSize);
    if (!bytes) {
        return false;
    }
    overlayAppConfig(config, *bytes);
    convertLegacyLayout(config);
    return true;
}

bool loadConfiguration(AppConfig& config, const std::string& programDirectory) {
    return loadConfigurationFile(config, programDirectory + std::string(kConfigurationFileName));
}

bool saveConfiguration(const AppConfig& config, const std::string& programDirectory) {
    const auto bytes = encodeAppConfig(config);
    return writeFileReplacing(programDirectory + std::string(kConfigurationFileName), bytes)
        .written;
}

bool restoreConfiguration(AppConfig& config, UiServices& ui) {
    const auto chosen = ui.chooseOpenFile(
        configurationDialog(StringId::RestoreConfigurationTitle, config.lastDirectory));
    if (!chosen) {
        return false;
    }
    const std::string documentPath = config.documentPath;
    if (!loadConfigurationFile(config, *chosen)) {
        return false;
    }
    config.documentPath = documentPath;
    return true;
}

bool saveConfigurationAs(const AppConfig& config, UiServices& ui) {
    const auto chosen =
        ui.chooseSaveFile(configurationDialog(StringId::SaveConfigurationTitle, {}));
    if (!chosen) {
        return false;
    }
    const WriteOutcome written = writeFileReplacing(*chosen, encodeAppConfig(config));
    if (!written.written) {
        ui.showMessage(StringId::FileWriteFailed, StringId::BadNews,
                       *chosen + "\n" + written.reason);
    }
    return written.written;
}

} // namespace kv
