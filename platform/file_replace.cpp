// file_replace.cpp - temporary file, flush, mode, rename; leftovers of
// killed writers.
#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
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

// The temporary's name: the destination's name, a tag that no user file is
// likely to carry and six characters from kTempChars.
constexpr std::string_view kTempTag = ".orvane-partial-";
constexpr std::string_view kTempChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTempRandom = 6;
constexpr int kTempAttempts = 100;

std::string temp_prefix(const std::string &name)
{
    return '.' + name + std::string(kTempTag);
}

bool is_temp_of(std::string_view entry, const std::string &prefix)
{
    return entry.size() == prefix.size() + kTempRandom && entry.starts_with(prefix) &&
           entry.substr(prefix.size()).find_first_not_of(kTempChars) == std::string_view::npos;
}

std::string random_chars()
{
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits)
        bits = static_cast<uint64_t>(getpid()) << 32;  // names stay unique through O_EXCL
    bits += counter.fetch_add(0x9e3779b97f4a7c15u);
    std::string out;
    for (size_t i = 0; i < kTempRandom; ++i, bits /= kTempChars.size())
        out += kTempChars[bits % kTempChars.size()];
    return out;
}

// True when `name` in `folder` is still the file open as `fd`.
bool still_named(int folder, const std::string &name, int fd)
{
    struct stat open_file, named;
    return fstat(fd, &open_file) == 0 &&
           fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

// Temporaries of `name` whose writer is gone (killed before its rename):
// only those that can be locked at once, so a live writer's stays.
void remove_leftovers(int folder, const std::string &name)
{
    int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listing < 0 ? nullptr : fdopendir(listing);
    if (dir == nullptr) {
        if (listing >= 0)
            close(listing);
        return;
    }
    const std::string prefix = temp_prefix(name);
    while (const dirent *entry = readdir(dir)) {
        const std::string entry_name = entry->d_name;
        if (!is_temp_of(entry_name, prefix))
            continue;
        int fd = openat(folder, entry_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info;
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            still_named(folder, entry_name, fd))
            unlinkat(folder, entry_name.c_str(), 0);
        close(fd);
    }
    closedir(dir);
}

// A new temporary for `name`, locked; -1 when none can be made.
int create_temp(int folder, const std::string &name, std::string &temp)
{
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        temp = temp_prefix(name) + random_chars();
        int fd = openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
        if (fd < 0 && errno != EEXIST)
            return -1;
        if (fd < 0)
            continue;
        // Another replacement of the same file may have taken it for a
        // leftover before the lock; where locks are not supported nobody
        // removes it.
        flock(fd, LOCK_EX);
        if (still_named(folder, temp, fd))
            return fd;
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

// `fill` writes the new contents into the temporary file.
template <typename Fill>
bool replace_at(int folder, const std::string &name, unsigned mode, const FileOwner *owner,
                Fill fill)
{
    remove_leftovers(folder, name);
    std::string temp;
    int fd = create_temp(folder, name, temp);
    if (fd < 0)
        return false;
    // Without the sync a crash soon after the rename can leave an empty file
    // where the old one was.  The owner before the mode: a change of owner
    // may clear mode bits.
    bool ok = fill(fd) && (owner == nullptr || fchown(fd, owner->uid, owner->gid) == 0) &&
              fchmod(fd, static_cast<mode_t>(mode)) == 0 && fsync(fd) == 0 &&
              renameat(folder, temp.c_str(), folder, name.c_str()) == 0;
    int err = errno;
    if (!ok)
        unlinkat(folder, temp.c_str(), 0);
    close(fd);  // the lock is held until the temporary is gone
    if (!ok)
        errno = err;  // the cause, not the clean-up's
    return ok;
}

template <typename Fill> bool replace(const std::string &destination, unsigned mode, Fill fill)
{
    size_t slash = destination.rfind('/');
    size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash);
    int dir = open(folder.empty() ? "/" : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    bool ok = replace_at(dir, destination.substr(name_at), mode, nullptr, fill);
    int err = errno;
    close(dir);
    errno = err;
    return ok;
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

bool replace_file_with_text_at(int folder, const std::string &name, std::string_view content,
                               unsigned mode, const FileOwner *owner)
{
    return replace_at(folder, name, mode, owner,
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
