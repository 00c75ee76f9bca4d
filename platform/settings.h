#pragma once
// A small file of settings kept between runs in the user's own settings
// folder: $XDG_CONFIG_HOME/quarnet (else ~/.config/quarnet) on Linux,
// %APPDATA%\Quarnet on Windows.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace quarnet::os {

// The settings folder, or "" when the environment names no home for it.
std::string SettingsFolder();
// The content of `name` in that folder; nothing when it is missing, cannot
// be read, or holds more than `limit` bytes.
std::optional<std::string> ReadSettings(const std::string& name, std::size_t limit);
// Writes `content` as `name` there, making the folder first; staged, synced
// and renamed like every file the programs write.
Error WriteSettings(const std::string& name, std::string_view content);

}  // namespace quarnet::os
