/*
 * services_qt.h - how the running program's file dialogs take a file name
 * and give one back (the dialogs themselves: services_qt.cpp).
 */
#pragma once

#include <QString>

#include <string>

#include "testapp/services.h"

// Where a file dialog starts: at its file name when that is absolute (the
// last file chosen, as a dialog returned it), else at the file name in the
// initial folder.
QString DialogStartPath(const FileDialogRequest &request);

// A file name passes between a dialog and the file streams in the file
// system's own encoding, both ways, so a chosen name opens that same file
// and starts the next dialog there.
QString FileNameText(const std::string &name);
std::string FileNameBytes(const QString &name);
