/*
 * paths.h - where the Windows folders and devices live on Linux.
 *
 * Every path hangs under $ORVANE_ROOT (unset or empty: "/").  The variable is
 * read at each call, never cached, so a test can move a whole installation
 * into a temporary folder.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// $ORVANE_ROOT joined with `relative` (which must not start with '/').
std::string root_path(std::string_view relative);

// Put the current folder in front of a relative ORVANE_ROOT, once at the
// start of a program that writes paths for others (registry values, a
// launcher): those must not depend on where their readers run.  The root
// may not exist yet, so links are not resolved.
void make_root_absolute();

// Path of COM port number `port`: $ORVANE_ROOT/etc/passthru/ports/COM<port>.
std::string com_port_path(uint32_t port);

// Folder that stands for HKEY_LOCAL_MACHINE.
std::string registry_root();

// Windows' SYSTEM32 folder, where libraries are installed:
// $ORVANE_ROOT/usr/local/lib.
std::string system32_folder();

// Windows' SYSTEM folder: $ORVANE_ROOT/usr/local/lib/passthru.
std::string system_folder();

// Where programs are installed: $ORVANE_ROOT/usr/local/bin.
std::string programs_folder();

}  // namespace platform
