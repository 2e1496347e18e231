// console_key_test.cpp - "Press any key": one key, unechoed, on a terminal,
// whose settings come back after the key and on SIGINT and SIGTERM; the end
// of input when there is no terminal.
#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

// Runs console_wait_key() in a child whose standard input is `input`; its
// exit status, or 1000 + the signal that ended it.
pid_t wait_in_child(int input)
{
    pid_t pid = fork();
    if (pid == 0) {
        dup2(input, STDIN_FILENO);
        platform::console_wait_key();
        std::exit(0);  // through the exit handlers, which restore the terminal
    }
    return pid;
}

int exit_status(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

TEST(ConsoleKey, TerminalKeyIsReadWithoutEchoAndTheModeIsRestored)
{
    for (int sig : {0, SIGINT, SIGTERM}) {  // 0: a key is typed
        SCOPED_TRACE(sig);
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
        int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        termios before{}, raw{}, after{};
        ASSERT_EQ(tcgetattr(slave, &before), 0);
        ASSERT_TRUE(before.c_lflag & ECHO);
        pid_t child = wait_in_child(slave);
        ASSERT_GT(child, 0);
        // The key is typed only once the echo is off, so a key echoed by a
        // mode set too late cannot pass unseen.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (tcgetattr(slave, &raw) == 0 && (raw.c_lflag & ECHO) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(raw.c_lflag & (ECHO | ICANON));
        EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "did not wait";
        if (sig)
            kill(child, sig);
        else
            ASSERT_EQ(write(master, "k", 1), 1);  // no Enter: one key is enough
        EXPECT_EQ(exit_status(child), sig ? 1000 + sig : 0);
        pollfd echo{master, POLLIN, 0};
        EXPECT_EQ(poll(&echo, 1, 100), 0) << "the key was echoed";
        ASSERT_EQ(tcgetattr(slave, &after), 0);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        close(slave);
        close(master);
    }
}

TEST(ConsoleKey, WithoutTerminalEndOfInputOrOneByteIsTheKey)
{
    int null_input = open("/dev/null", O_RDONLY);
    EXPECT_EQ(exit_status(wait_in_child(null_input)), 0);
    close(null_input);
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    ASSERT_EQ(write(pipe_fds[1], "ab", 2), 2);
    EXPECT_EQ(exit_status(wait_in_child(pipe_fds[0])), 0);
    char rest = 0;
    EXPECT_EQ(read(pipe_fds[0], &rest, 1), 1);  // only the one key was taken
    EXPECT_EQ(rest, 'b');
    close(pipe_fds[0]);
    close(pipe_fds[1]);
}

}  // namespace
