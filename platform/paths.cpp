// paths.cpp - the relocation root and the paths derived from it.
#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string root_path(std::string_view relative)
{
    const char *root = std::getenv("ORVANE_ROOT");
    std::string path = (root != nullptr && root[0] != '\0') ? root : "/";
    if (path.back() != '/')
        path += '/';
    while (!relative.empty() && relative.front() == '/')
        relative.remove_prefix(1);
    path.append(relative);
    return path;
}

void make_root_absolute()
{
    const char *root = std::getenv("ORVANE_ROOT");
    if (root == nullptr || root[0] == '\0' || root[0] == '/')
        return;
    std::string folder(4096, '\0');
    if (getcwd(folder.data(), folder.size()) == nullptr)
        return;
    folder.resize(folder.find('\0'));
    if (folder.back() != '/')
        folder += '/';
    setenv("ORVANE_ROOT", (folder + root).c_str(), 1);
}

std::string com_port_path(uint32_t port)
{
    return root_path("etc/passthru/ports/COM" + std::to_string(port));
}

std::string registry_root()
{
    return root_path("etc/passthru/registry");
}

std::string system32_folder()
{
    return root_path("usr/local/lib");
}

std::string system_folder()
{
    return root_path("usr/local/lib/passthru");
}

std::string programs_folder()
{
    return root_path("usr/local/bin");
}

}  // namespace platform
