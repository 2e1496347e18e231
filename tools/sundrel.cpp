/*
 * sundrel.cpp - lists the adapter's SD-card files that match a pattern.
 */
#include <cstdio>

#include "j2534.h"

namespace {

// The library's listing never passes this, terminator included.
constexpr size_t kDirListSize = 4096;

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::puts("Usage: sundrel <filespec>");
        return -1;
    }
    static char list[kDirListSize];
    const int32_t status = PassThruReadDir(argv[1], list);
    if (status != STATUS_NOERROR) {
        std::printf("ERROR: Status=%d\n", static_cast<int>(status));
        return -1;
    }
    std::printf("%s, \nDirectory read SUCCESSFULLY\n", list);
    return 0;
}
