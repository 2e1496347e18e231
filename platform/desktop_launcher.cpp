// desktop_launcher.cpp - .desktop files: the Exec line's quoting and the
// file itself.
#include "platform/desktop_launcher.h"

#include "platform/file_replace.h"

#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

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

}  // namespace

std::string desktop_folder()
{
    const char *xdg = std::getenv("XDG_DESKTOP_DIR");
    if (xdg != nullptr && xdg[0] != '\0')
        return xdg;
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/Desktop";
    return {};
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
    if (slash != std::string::npos && slash > 0 && !make_folders(path.substr(0, slash)))
        return false;
    // Desktops start only launchers that are marked executable.
    return replace_file_with_text(path, text, 0755);
}

}  // namespace platform
