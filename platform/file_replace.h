/*
 * file_replace.h - installing files so that nobody sees them half written.
 *
 * A file is written to a temporary file beside its destination, flushed to
 * disk, given its mode and renamed over the destination.  A program that has
 * the old file open or mapped (a loaded library) keeps its copy; the next
 * one to open the path gets the whole new file.
 *
 * The temporary is named ".<name>.orvane-partial-XXXXXX" and locked (flock)
 * by its writer until the rename.  One that a killed writer left behind is
 * removed by the next replacement of the same destination; a temporary that
 * another process is still writing stays locked and is never touched.
 */
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Replace `destination` with a copy of `source`, mode `mode` (e.g. 0644).
// False when the source cannot be read or the destination not replaced
// (its folder is missing or not writable, or it is a folder itself).
bool replace_file_with_copy(const std::string &source, const std::string &destination,
                            unsigned mode);

// Replace `destination` with `content`, mode `mode`.  After a failure
// errno says why (the registry turns it into its status).
bool replace_file_with_text(const std::string &destination, std::string_view content,
                            unsigned mode);

// The user and group a replaced file is given before it appears.
struct FileOwner {
    unsigned uid;
    unsigned gid;
};

// As replace_file_with_text, for the file `name` in the folder open as the
// descriptor `folder`, owned by `owner` unless that is null.
bool replace_file_with_text_at(int folder, const std::string &name, std::string_view content,
                               unsigned mode, const FileOwner *owner);

// From now on, files and folders this process creates are readable by every
// user whatever umask the installing user has (umask 022): every user's
// programs load the installed libraries and read the registry.
void share_created_files();

// True when anything (file, folder, link) stands at `path`.
bool path_exists(const std::string &path);

// Make `folder` and its missing parents (mode 0755).  True when it is a
// folder afterwards.
bool make_folders(const std::string &folder);

}  // namespace platform
