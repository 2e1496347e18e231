// desktop_launcher.cpp - .desktop files: where the desktop is, the Exec
// line's quoting and the file itself.
#include "platform/desktop_launcher.h"

#include "platform/file_replace.h"
#include "platform/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Desktops start only launchers that are marked executable.
constexpr unsigned kLauncherMode = 0755;

// An argument of an Exec line: quoted when it holds a character the
// launcher's command-line syntax reserves, with '"', '`', '$' and '\' escaped
// inside the quotes; '%' starts a field code and is doubled everywhere.
std::string exec_argument(std::string_view arg)
{
    bool quote = arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != arg.npos;
    std::string out = quote ? "\"" : "";
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    return quote ? out + '"' : out;
}

// The escapes of a string value, applied over the Exec quoting.
std::string string_value(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The desktop that the user's desktop named in user-dirs.dirs: the last
// XDG_DESKTOP_DIR line, whose value is "$HOME/..." or an absolute path in
// double quotes with backslash escapes.  Empty when there is none.
std::string desktop_from_user_dirs(const std::string &home)
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() && home.empty())
        return {};
    // A settings file holds far less; a FIFO or a device in its place reads
    // as no file.
    constexpr size_t kMaxSettings = 65536;
    std::string text;
    if (read_plain_file((config.empty() ? home + "/.config" : config) + "/user-dirs.dirs",
                        kMaxSettings, text) != 0)
        text.clear();
    constexpr std::string_view kKey = "XDG_DESKTOP_DIR=\"", kHome = "$HOME";
    std::string desktop;
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.starts_with(kKey) || line.size() < kKey.size() + 1 || line.back() != '"')
            continue;
        std::string_view value = line.substr(kKey.size(), line.size() - kKey.size() - 1);
        std::string path;
        if (value.starts_with(kHome) &&
            (value.size() == kHome.size() || value[kHome.size()] == '/')) {
            if (home.empty())
                continue;
            path = home;
            value.remove_prefix(kHome.size());
        } else if (!value.starts_with('/')) {
            continue;
        }
        for (size_t i = 0; i < value.size(); ++i)
            path += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
        desktop = path;
    }
    return desktop;
}

// The names of a path's folders, without empty and "." ones.
std::vector<std::string> path_names(std::string_view path)
{
    std::vector<std::string> names;
    for (size_t at = 0; at <= path.size();) {
        size_t end = std::min(path.find('/', at), path.size());
        std::string_view name = path.substr(at, end - at);
        if (!name.empty() && name != ".")
            names.emplace_back(name);
        at = end + 1;
    }
    return names;
}

// Run as root for a user (sudo): the launcher and the folders made for it
// belong to the owner of the home folder, and nothing is written outside
// that folder, nor through a link below it that its owner could point
// anywhere.  The home folder itself is taken as the environment names it.
bool write_as_home_owner(const std::string &folder, const std::string &file,
                         const std::string &text)
{
    const std::string home = environment("HOME");
    const std::vector<std::string> home_names = path_names(home), names = path_names(folder);
    if (!home.starts_with('/') || !folder.starts_with('/') || names.size() < home_names.size() ||
        !std::equal(home_names.begin(), home_names.end(), names.begin()) ||
        std::find(names.begin() + static_cast<std::ptrdiff_t>(home_names.size()), names.end(),
                  "..") != names.end() ||
        !make_folders(home))
        return false;
    int dir = open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (dir < 0 || fstat(dir, &info) != 0) {
        if (dir >= 0)
            close(dir);
        return false;
    }
    const FileOwner owner{info.st_uid, info.st_gid};
    for (size_t i = home_names.size(); i < names.size() && dir >= 0; ++i) {
        const char *name = names[i].c_str();
        constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = openat(dir, name, kFlags);
        if (next < 0 && errno == ENOENT && mkdirat(dir, name, 0755) == 0) {
            next = openat(dir, name, kFlags);
            if (next >= 0 && fchown(next, owner.uid, owner.gid) != 0) {
                close(next);
                next = -1;
            }
        }
        close(dir);
        dir = next;
    }
    bool ok = dir >= 0 && replace_file_with_text_at(dir, file, text, kLauncherMode, &owner);
    if (dir >= 0)
        close(dir);
    return ok;
}

}  // namespace

std::string desktop_folder()
{
    std::string desktop = environment("XDG_DESKTOP_DIR");
    const std::string home = environment("HOME");
    if (desktop.empty())
        desktop = desktop_from_user_dirs(home);
    if (desktop.empty() && !home.empty())
        desktop = home + "/Desktop";
    return desktop;
}

bool write_desktop_launcher(const std::string &path, const std::string &program,
                            const std::string &name, const std::string &comment)
{
    std::string exec;
    const char *root = std::getenv("ORVANE_ROOT");
    if (root != nullptr && root[0] != '\0')
        exec = "env " + exec_argument(std::string("ORVANE_ROOT=") + root) + ' ';
    exec += exec_argument(program);
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=" +
                       string_value(name) +
                       "\n"
                       "Comment=" +
                       string_value(comment) +
                       "\n"
                       "Exec=" +
                       string_value(exec) +
                       "\n"
                       "Terminal=false\n";
    size_t slash = path.rfind('/');
    if (geteuid() == 0)
        return slash != std::string::npos &&
               write_as_home_owner(path.substr(0, slash), path.substr(slash + 1), text);
    if (slash != std::string::npos && slash > 0 && !make_folders(path.substr(0, slash)))
        return false;
    return replace_file_with_text(path, text, kLauncherMode);
}

}  // namespace platform
