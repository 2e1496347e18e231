/*
 * sundrel.cpp - lists the adapter's SD-card files that match a pattern.
 */
#include <cstdio>

#include "j2534.h"
#include "platform/console.h"
#include "tools/dir_list.h"

namespace {

// A card written on another computer may name its files with any bytes.
// On a terminal, C0 and C1 control characters and DEL would act instead of
// showing (retitle the window, clear the screen), so they show as '?'.
void mask_control_characters(char *text)
{
    for (; *text != '\0'; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            *text = '?';
    }
}

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
    if (platform::console_output_is_terminal())
        mask_control_characters(list);  // a file or pipe gets the names byte for byte
    std::printf("%s, \nDirectory read SUCCESSFULLY\n", list);
    return 0;
}
