/*
 * registry.cpp - HKEY_LOCAL_MACHINE as folders with one values.conf each.
 *
 * Owns the handles it hands out; a value write or delete holds an flock on
 * its key's folder, so that writers in any process take turns.  Paths are built
 * from platform::registry_root() at every call, so a change of ORVANE_ROOT
 * takes effect at once, even for handles that are already open.
 *
 * A values.conf is kept as its lines: writing a value replaces only that
 * value's line, so an administrator's comments and layout survive.  The
 * text of the file is parsed and formatted in registry_values.cpp.
 */
#include "platform/registry.h"

#include "platform/file_replace.h"
#include "platform/paths.h"
#include "platform/plain_file.h"
#include "platform/registry_values.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RegKey {
    std::vector<std::string> path;  // folder names as on disk, below the root
    uint32_t access;
};

namespace {

RegKey root_key{{}, KEY_ALL_ACCESS};

constexpr const char *kValuesFile = "values.conf";
constexpr uint32_t kSetValueRight = 0x0002;  // KEY_SET_VALUE, part of KEY_WRITE
constexpr size_t kMaxKeyName = 255;          // Windows' limit, and NAME_MAX
// Far above what any key holds.  Every program that looks for its device
// reads the values of the keys beside it; a stray huge file there must not
// cost each of them seconds and hundreds of megabytes.
constexpr size_t kMaxValuesFile = 1 << 20;

// Closes the descriptor (and so drops an flock on it) on every way out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

int32_t from_errno(int err)
{
    if (err == ENOENT || err == ENOTDIR)
        return ERROR_FILE_NOT_FOUND;
    return (err == ENAMETOOLONG || err == EINVAL) ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED;
}

// Case-insensitive, with the exact bytes breaking ties so that names that
// differ only in case still come out in the same order every time.
bool name_less(const std::string &a, const std::string &b)
{
    std::string fa = a, fb = b;
    std::transform(fa.begin(), fa.end(), fa.begin(), reg_fold);
    std::transform(fb.begin(), fb.end(), fb.begin(), reg_fold);
    return fa != fb ? fa < fb : a < b;
}

std::string key_dir(const std::vector<std::string> &path)
{
    std::string dir = registry_root();
    for (const std::string &name : path)
        dir += '/' + name;
    return dir;
}

// Only the backslash separates keys; a component that could step outside
// the tree or alias another key is refused.
bool split_key(const char *sub_key, std::vector<std::string> &names)
{
    if (sub_key == nullptr)
        return true;
    std::string_view rest(sub_key);
    while (!rest.empty()) {
        size_t end = rest.find('\\');
        std::string_view name = rest.substr(0, end);
        if (name.empty() || name == "." || name == ".." || name.size() > kMaxKeyName ||
            name.find('/') != std::string_view::npos)
            return false;
        names.emplace_back(name);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
        if (rest.empty())
            return false;  // trailing separator: an empty last component
    }
    return true;
}

int32_t list_sub_keys(const std::string &dir, std::vector<std::string> &names)
{
    DIR *stream = opendir(dir.c_str());
    if (stream == nullptr)
        return from_errno(errno);
    while (const dirent *entry = readdir(stream)) {
        std::string_view name(entry->d_name);
        struct stat info {};
        // A Windows key name cannot hold a backslash: such a folder could not
        // be opened by its name, and a walk over the keys would stop there.
        if (name != "." && name != ".." && name.find('\\') == std::string_view::npos &&
            fstatat(dirfd(stream), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode))
            names.emplace_back(name);
    }
    closedir(stream);
    std::sort(names.begin(), names.end(), name_less);
    return ERROR_SUCCESS;
}

// The folder of sub-key `name` of `dir`, whatever its case on disk.
int32_t find_sub_key(const std::string &dir, std::string_view name, std::string &found)
{
    std::vector<std::string> names;
    if (int32_t status = list_sub_keys(dir, names))
        return status;
    auto exact = std::find(names.begin(), names.end(), name);
    if (exact == names.end())
        exact = std::find_if(names.begin(), names.end(),
                             [&](const std::string &n) { return reg_same_name(n, name); });
    if (exact == names.end())
        return ERROR_FILE_NOT_FOUND;
    found = *exact;
    return ERROR_SUCCESS;
}

// HKEY_LOCAL_MACHINE always exists, even in a fresh ORVANE_ROOT.
int32_t make_root()
{
    std::string root = registry_root();
    for (size_t slash = root.find('/', 1);; slash = root.find('/', slash + 1)) {
        std::string prefix = root.substr(0, slash);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            return from_errno(errno);
        if (slash == std::string::npos)
            return ERROR_SUCCESS;
    }
}

// The folders of `sub_key` below `parent`, made where missing when `create`.
int32_t resolve(HKEY parent, const char *sub_key, bool create, std::vector<std::string> &path,
                bool &created)
{
    std::vector<std::string> names;
    if (!split_key(sub_key, names))
        return ERROR_INVALID_PARAMETER;
    path = parent->path;
    if (int32_t status = create ? make_root() : ERROR_SUCCESS)
        return status;
    for (const std::string &name : names) {
        std::string dir = key_dir(path), found;
        int32_t status = find_sub_key(dir, name, found);
        created = false;
        if (status == ERROR_FILE_NOT_FOUND && create) {
            if (mkdir((dir + '/' + name).c_str(), 0755) == 0)
                found = name, created = true, status = ERROR_SUCCESS;
            else if (errno == EEXIST)  // made meanwhile, or a file of that name
                status = find_sub_key(dir, name, found) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
            else
                status = from_errno(errno);
        }
        if (status != ERROR_SUCCESS)
            return status;
        path.push_back(found);
    }
    return ERROR_SUCCESS;
}

int32_t open_key(HKEY parent, const char *sub_key, bool create, uint32_t access, HKEY *result,
                 uint32_t *disposition)
{
    if (parent == nullptr)
        return ERROR_INVALID_HANDLE;
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string> path;
    bool created = false;
    if (int32_t status = resolve(parent, sub_key, create, path, created))
        return status;
    *result = new RegKey{std::move(path), access};
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

int32_t read_values(const std::vector<std::string> &path, std::vector<RegLine> &lines)
{
    // Only a plain file of at most kMaxValuesFile bytes holds values: a FIFO,
    // a device or a file that never ends reads as a key that cannot be read.
    std::string content;
    int err = read_plain_file(key_dir(path) + '/' + kValuesFile, kMaxValuesFile, content);
    if (err == ENOENT)
        return ERROR_SUCCESS;  // a key without values
    if (err == EINVAL || err == EFBIG)
        return ERROR_ACCESS_DENIED;
    if (err != 0)
        return from_errno(err);
    lines = parse_values_file(content);
    return ERROR_SUCCESS;
}

// Written beside the old file and renamed over it, so that a reader sees
// either the old or the new values, never half a file.
int32_t write_values(const std::vector<std::string> &path, const std::vector<RegLine> &lines)
{
    std::string content = format_values_file(lines);
    if (content.size() > kMaxValuesFile)  // it could not be read back
        return ERROR_INVALID_PARAMETER;
    // Mode 0644: every user's programs read the values.
    if (replace_file_with_text(key_dir(path) + '/' + kValuesFile, content, 0644))
        return ERROR_SUCCESS;
    return from_errno(errno);
}

// Read, change and write back the key's values under an exclusive flock on
// the key's folder, so that two writers (two installers at once, or two
// threads) never both change the same old file and drop each other's values.
// The folder, because the rename replaces the file: a lock on the old file
// would not stop the next writer from reading it.  Readers need no lock,
// since the rename is atomic.  The file is rewritten only when `change`
// returns ERROR_SUCCESS.
template <class Change> int32_t change_values(const std::vector<std::string> &path, Change change)
{
    FileDescriptor folder{open(key_dir(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0)
        return from_errno(errno);
    while (flock(folder.fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return from_errno(errno);
    }
    std::vector<RegLine> lines;
    if (int32_t status = read_values(path, lines))
        return status;
    if (int32_t status = change(lines))
        return status;
    return write_values(path, lines);
}

auto named(std::string_view name)
{
    return [name](const RegLine &l) { return l.value && reg_same_name(l.value->name, name); };
}

}  // namespace

HKEY const HKEY_LOCAL_MACHINE = &root_key;

int32_t reg_open_key(HKEY parent, const char *sub_key, uint32_t access, HKEY *result)
{
    return open_key(parent, sub_key, false, access, result, nullptr);
}

int32_t reg_create_key(HKEY parent, const char *sub_key, HKEY *result, uint32_t *disposition)
{
    return open_key(parent, sub_key, true, KEY_ALL_ACCESS, result, disposition);
}

int32_t reg_enum_key(HKEY key, uint32_t index, char *name, uint32_t *name_len)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (name == nullptr || name_len == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::string> names;
    if (int32_t status = list_sub_keys(key_dir(key->path), names))
        return status;
    if (index >= names.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string &found = names[index];
    bool fits = found.size() < *name_len;
    *name_len = static_cast<uint32_t>(found.size());
    if (!fits)
        return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    return ERROR_SUCCESS;
}

int32_t reg_query_value(HKEY key, const char *value_name, uint32_t *type, uint8_t *data,
                        uint32_t *data_len)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (data != nullptr && data_len == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::vector<RegLine> lines;
    if (int32_t status = read_values(key->path, lines))
        return status;
    auto line = std::find_if(lines.begin(), lines.end(), named(value_name ? value_name : ""));
    if (line == lines.end())
        return ERROR_FILE_NOT_FOUND;
    const RegValue &v = *line->value;
    if (type != nullptr)
        *type = v.type;
    uint32_t size = static_cast<uint32_t>(v.data.size());
    bool fits = data == nullptr || size <= *data_len;
    if (data_len != nullptr)
        *data_len = size;
    if (!fits)
        return ERROR_MORE_DATA;
    if (data != nullptr)
        std::memcpy(data, v.data.data(), size);
    return ERROR_SUCCESS;
}

int32_t reg_set_value(HKEY key, const char *value_name, uint32_t type, const uint8_t *data,
                      uint32_t data_len)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if ((key->access & kSetValueRight) == 0)
        return ERROR_ACCESS_DENIED;
    std::string_view name = value_name ? value_name : "";
    if ((data == nullptr && data_len != 0) || name.find_first_of("\r\n") != std::string_view::npos)
        return ERROR_INVALID_PARAMETER;
    if (key->path.empty()) {
        if (int32_t status = make_root())
            return status;
    }
    return change_values(key->path, [&](std::vector<RegLine> &lines) {
        RegValue v{std::string(name), type, {}};
        if (data_len != 0)
            v.data.assign(reinterpret_cast<const char *>(data), data_len);
        auto line = std::find_if(lines.begin(), lines.end(), named(name));
        if (line == lines.end()) {
            lines.push_back({format_reg_line(v), v});
        } else {
            v.name = line->value->name;  // the first spelling stays, as on Windows
            *line = {format_reg_line(v), v};
            lines.erase(std::remove_if(line + 1, lines.end(), named(name)), lines.end());
        }
        return ERROR_SUCCESS;
    });
}

int32_t reg_delete_value(HKEY key, const char *value_name)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if ((key->access & kSetValueRight) == 0)
        return ERROR_ACCESS_DENIED;
    std::string_view name = value_name ? value_name : "";
    return change_values(key->path, [&](std::vector<RegLine> &lines) {
        auto kept = std::remove_if(lines.begin(), lines.end(), named(name));
        if (kept == lines.end())
            return ERROR_FILE_NOT_FOUND;
        lines.erase(kept, lines.end());
        return ERROR_SUCCESS;
    });
}

int32_t reg_close_key(HKEY key)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key != HKEY_LOCAL_MACHINE)
        delete key;
    return ERROR_SUCCESS;
}

}  // namespace platform
