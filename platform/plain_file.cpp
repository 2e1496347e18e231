// plain_file.cpp - bounded reads of plain files only.
#include "platform/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

int read_open_file(int fd, size_t limit, std::string &content)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    if (static_cast<uint64_t>(info.st_size) > limit)
        return EFBIG;
    content.reserve(static_cast<size_t>(info.st_size));
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            content.append(buf, static_cast<size_t>(n));
            if (content.size() > limit)  // grew since the fstat
                return EFBIG;
        } else if (n == 0) {
            return 0;
        } else if (errno != EINTR) {
            return errno;
        }
    }
}

}  // namespace

int read_plain_file(const std::string &path, size_t limit, std::string &content)
{
    content.clear();
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = read_open_file(fd, limit, content);
    close(fd);
    return err;
}

}  // namespace platform
