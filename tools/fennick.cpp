/*
 * fennick.cpp - a load test of the file transfer: writes a PC file to the
 * adapter's SD card again and again until a write fails or a key is pressed.
 */
#include <cstdio>

#include "j2534.h"
#include "platform/console.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("Usage: fennick <filename>", stdout);
        return -1;
    }
    int LoopCount = 1;
    int32_t Status = STATUS_NOERROR;
    // The key test comes before each write, so a key pressed during a write
    // stops the loop after that write.
    while (Status == STATUS_NOERROR && !platform::console_key_waiting()) {
        std::printf("LoopCount = %d\n", LoopCount);
        ++LoopCount;
        Status = PassThruWriteFile(argv[1], argv[1], 0);
    }
    if (Status != STATUS_NOERROR)
        std::printf("\nERROR: Status=%d, press any key...\n", static_cast<int>(Status));
    // After a key press this takes that key at once.
    platform::console_wait_key();
    return Status == STATUS_NOERROR ? 0 : -1;
}
