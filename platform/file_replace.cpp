// file_replace.cpp - temporary file, flush, mode, rename.
#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

bool write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool copy_contents(int from, int to)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !write_all(to, buffer, static_cast<size_t>(n)))
            return false;
    }
}

// `fill` writes the new contents into the temporary file.
template <typename Fill> bool replace(const std::string &destination, unsigned mode, Fill fill)
{
    size_t slash = destination.rfind('/');
    size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    std::string temp =
        destination.substr(0, name_at) + '.' + destination.substr(name_at) + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Without the sync a crash soon after the rename can leave an empty file
    // where the old one was.
    bool ok = fill(fd) && fchmod(fd, static_cast<mode_t>(mode)) == 0 && fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(temp.c_str(), destination.c_str()) == 0)
        return true;
    if (ok)
        err = errno;
    unlink(temp.c_str());
    errno = err;  // the cause, not the clean-up's
    return false;
}

}  // namespace

bool replace_file_with_copy(const std::string &source, const std::string &destination,
                            unsigned mode)
{
    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return false;
    bool ok = replace(destination, mode, [from](int to) { return copy_contents(from, to); });
    close(from);
    return ok;
}

bool replace_file_with_text(const std::string &destination, std::string_view content, unsigned mode)
{
    return replace(destination, mode,
                   [content](int to) { return write_all(to, content.data(), content.size()); });
}

void share_created_files()
{
    umask(022);
}

bool path_exists(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool make_folders(const std::string &folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string prefix = folder.substr(0, slash);
        if (!prefix.empty() && mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace platform
