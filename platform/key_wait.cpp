// key_wait.cpp - one key press, read raw from a terminal.
#include "platform/key_wait.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

void read_one_byte()
{
    char key;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

void wait_for_key()
{
    termios saved;
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) {
        read_one_byte();
        return;
    }
    termios raw = saved;
    // ISIG off as well: Ctrl-C is a key like any other here, and cannot end
    // the program with the terminal left without echo.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        read_one_byte();
        return;
    }
    read_one_byte();
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace platform
