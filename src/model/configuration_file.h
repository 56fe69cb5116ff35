#pragma once

// The configuration file: the 1901-byte AppConfig record as it is, "confadc.cnf" in the
// program directory, loaded silently at start-up and written back at exit; the user can also
// save it to and restore it from a file of their choice.

#include "model/app_config.h"
#include "platform/ui_services.h"

#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view kConfigurationFileName = "confadc.cnf";

// Overlays the file's bytes (a shorter file replaces only the bytes it holds) and converts the
// older layout. False, with the record unchanged, when the file cannot be read.
bool loadConfigurationFile(AppConfig& config, const std::string& path);

// Loads programDirectory + "confadc.cnf" when there is one; the record keeps its values
// otherwise.
bool loadConfiguration(AppConfig& config, const std::string& programDirectory);

// Writes programDirectory + "confadc.cnf"; false when it could not be written.
bool saveConfiguration(const AppConfig& config, const std::string& programDirectory);

// "Восстановить конфигурацию": a file chosen by the user replaces the record, except that the
// open document keeps its own path so Save still writes where the title says. True when a
// file was loaded.
bool restoreConfiguration(AppConfig& config, UiServices& ui);

// "Сохранить конфигурацию как...": writes the record to a file chosen by the user. A failed
// write is reported. True when a file was written.
bool saveConfigurationAs(const AppConfig& config, UiServices& ui);

} // namespace kv
