/*
 * trabe.cpp - writes one PC file to the adapter's SD card under the same name.
 */
#include <cstdio>

#include "j2534.h"

namespace {

constexpr size_t kVersionText = 80;

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::puts("Usage: trabe <filename>");
        return -1;
    }
    // Only the check that an adapter answers; the texts are not shown.
    char firmware[kVersionText], library[kVersionText], api[kVersionText];
    int32_t status = PassThruReadVersion(firmware, library, api);
    if (status != STATUS_NOERROR) {
        std::printf("ERROR: PassThruReadVersion Status=%d\n", static_cast<int>(status));
        return -1;
    }
    status = PassThruWriteFile(argv[1], argv[1], 0);
    if (status != STATUS_NOERROR) {
        std::printf("ERROR: PassThruWriteFile Status=%d\n", static_cast<int>(status));
        return -1;
    }
    std::puts("File written SUCCESSFULLY");
    return 0;
}
