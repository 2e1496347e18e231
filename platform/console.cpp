/*
 * console.cpp - key waits and screen clearing on a Linux terminal.
 *
 * Owns the terminal settings saved when key mode was entered; they are put
 * back by an exit handler and by the SIGINT/SIGTERM handlers.
 */
#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

struct termios saved_settings;
// Set before the terminal is switched, so a signal arriving in between
// restores settings that are still the saved ones: harmless.
volatile sig_atomic_t key_mode_active = 0;
bool key_mode_tried = false;

// Async-signal-safe: tcsetattr is, and nothing else is called.
void restore_terminal()
{
    if (key_mode_active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
        key_mode_active = 0;
    }
}

void restore_and_reraise(int sig)
{
    restore_terminal();
    // The handler was installed with SA_RESETHAND, so this ends the process
    // the way the signal would have.
    raise(sig);
}

void install_signal_restore(int sig)
{
    struct sigaction old = {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return;  // a shell's background job keeps ignoring Ctrl-C
    struct sigaction act = {};
    act.sa_handler = restore_and_reraise;
    act.sa_flags = SA_RESETHAND;
    sigemptyset(&act.sa_mask);
    sigaction(sig, &act, nullptr);
}

// Single keys without echo: no line editing, a read returns each byte as it
// is typed.  Ctrl-C still raises SIGINT.
void enter_key_mode()
{
    if (key_mode_tried)
        return;
    key_mode_tried = true;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_settings) != 0)
        return;
    std::atexit(restore_terminal);
    install_signal_restore(SIGINT);
    install_signal_restore(SIGTERM);
    struct termios keys = saved_settings;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    key_mode_active = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0)
        key_mode_active = 0;
}

// True when a byte or the end of input is waiting on standard input within
// `timeout_ms` (-1: no limit).  A closed or broken input can never deliver a
// key, so it counts as ended.
bool input_ready(int timeout_ms)
{
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int n = poll(&in, 1, timeout_ms);
        if (n < 0 && errno == EINTR)
            continue;
        return n != 0;
    }
}

}  // namespace

bool console_key_waiting()
{
    enter_key_mode();
    std::fflush(stdout);
    return input_ready(0);
}

int console_wait_key()
{
    // Keys typed as soon as the prompt shows must already find the terminal
    // without echo.
    enter_key_mode();
    std::fflush(stdout);
    input_ready(-1);
    unsigned char key = 0;
    ssize_t n;
    do {
        n = read(STDIN_FILENO, &key, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? key : -1;
}

bool console_output_is_terminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

void console_clear()
{
    std::fflush(stdout);
    if (!console_output_is_terminal())
        return;
    // Cursor home, then erase the whole screen.
    std::fputs("\x1b[H\x1b[2J", stdout);
    std::fflush(stdout);
}

}  // namespace platform
