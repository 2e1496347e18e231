/*
 * plain_file.h - reading a small settings file that somebody else may have
 * replaced by a FIFO, a device or a file that never ends.
 */
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Reads `path` whole into `content` when it is a plain file of at most
// `limit` bytes.  Opens without blocking, so a FIFO in its place cannot hang
// the caller.  Returns 0, the errno of a failed open or read, EINVAL for a
// file that is not a plain file, or EFBIG for one larger than `limit`
// (also when it grows past it while being read).
int read_plain_file(const std::string &path, size_t limit, std::string &content);

}  // namespace platform
