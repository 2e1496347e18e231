// registry_fixture.h - writes the library's registry entry under the test's
// relocation root, in the file format an administrator would edit.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace tenq_test {

inline void write_device_entry(const std::string &root, const std::string &lines,
                               const std::string &key = "Vexlar-Orvane-FD")
{
    std::filesystem::path dir = std::filesystem::path(root) / "etc/passthru/registry/Software" /
                                "PassThruSupport.04.04" / key;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "values.conf") << lines;
}

}  // namespace tenq_test
