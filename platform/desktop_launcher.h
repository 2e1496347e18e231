/*
 * desktop_launcher.h - a program's icon on the user's desktop, as a
 * freedesktop.org launcher (a .desktop file).
 */
#pragma once

#include <string>

namespace platform {

// The user's desktop folder: $XDG_DESKTOP_DIR, else $HOME/Desktop; empty
// when neither variable is set.
std::string desktop_folder();

// Write the launcher `path` (its folder is made when missing) that starts
// `program` with the name `name` and the comment `comment`.  When
// ORVANE_ROOT is set the launcher passes it on, so the program finds the
// registry the installation wrote.  False when the file cannot be written.
bool write_desktop_launcher(const std::string &path, const std::string &program,
                            const std::string &name, const std::string &comment);

}  // namespace platform
