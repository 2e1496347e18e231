/*
 * desktop_launcher.h - a program's icon on the user's desktop, as a
 * freedesktop.org launcher (a .desktop file).
 */
#pragma once

#include <string>

namespace platform {

// The user's desktop folder: $XDG_DESKTOP_DIR, else the XDG_DESKTOP_DIR
// that user-dirs.dirs names ($XDG_CONFIG_HOME/user-dirs.dirs, else
// $HOME/.config/user-dirs.dirs), else $HOME/Desktop; empty when neither
// variable is set.
std::string desktop_folder();

// Write the launcher `path` (its folder is made when missing) that starts
// `program` with the name `name` and the comment `comment`.  When
// ORVANE_ROOT is set the launcher passes it on, so the program finds the
// registry the installation wrote.  Run as root, the launcher must lie in
// $HOME or below, reached without links below $HOME; it and the folders made
// for it belong to the owner of $HOME.  False when the file cannot be
// written.
bool write_desktop_launcher(const std::string &path, const std::string &program,
                            const std::string &name, const std::string &comment);

}  // namespace platform
