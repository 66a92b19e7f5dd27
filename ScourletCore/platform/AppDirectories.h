// The per-user folders where settings and data live, following the XDG base
// directory rules; the Linux stand-ins for the macOS Application Support folder
// and app-group containers.
//
// Each function reads the environment at the time of the call and creates
// nothing. "No folder" is returned as nothing, never as a made-up path: callers
// must fail closed on it rather than fall back to a path at the filesystem root.
//
//   if (auto support = applicationSupportDirectory()) {
//       auto rules = *support / "com.morrowgate.scourlet" / "command-guard";
//   }
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace scourlet {

// $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config when
// $HOME is an absolute path; otherwise nothing. A relative value is ignored, as
// the XDG rules require.
std::optional<std::filesystem::path> xdgConfigHome();

// $XDG_DATA_HOME when it is set to an absolute path, else $HOME/.local/share
// when $HOME is an absolute path; otherwise nothing.
std::optional<std::filesystem::path> xdgDataHome();

// The user's Application Support folder: xdgDataHome(). Callers append their
// own folder ("com.morrowgate.scourlet", ...) as they would on macOS. Nothing
// when there is no data home.
std::optional<std::filesystem::path> applicationSupportDirectory();

// The shared container of an app group: xdgDataHome()/groupIdentifier. Nothing
// when there is no data home, or when the identifier is empty, is "." or "..",
// or holds "/" or a NUL character (it must name exactly one folder).
std::optional<std::filesystem::path> appGroupContainer(std::string_view groupIdentifier);

}  // namespace scourlet
