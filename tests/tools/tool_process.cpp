// tool_process.cpp - child processes for the tools' end-to-end tests.
#include "tests/tools/tool_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tools_test {

namespace {

using Clock = std::chrono::steady_clock;

// Set in the 32-bit tree, where the tests themselves run under an emulator.
constexpr const char *kEmulator = TOOL_EMULATOR;

void check(int rc, const char *what)
{
    if (rc != 0)
        throw std::system_error(rc, std::generic_category(), what);
}

int remaining_ms(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ToolProcess::ToolProcess(const std::string &program, const std::vector<std::string> &args,
                         const std::string &cwd, bool on_terminal)
{
    // A tool that outlives its input pipe must see EPIPE, not die of it.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (on_terminal) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            throw std::system_error(errno, std::generic_category(), "posix_openpt");
        const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0)
            throw std::system_error(errno, std::generic_category(), "open the terminal");
        in[0] = slave;
        in[1] = master;
        out[0] = ::fcntl(master, F_DUPFD_CLOEXEC, 0);
        out[1] = ::fcntl(slave, F_DUPFD_CLOEXEC, 0);
    } else if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    std::vector<std::string> argv_text;
    if (*kEmulator)
        argv_text.push_back(kEmulator);
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    check(posix_spawn_file_actions_init(&actions), "posix_spawn_file_actions_init");
    check(posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO), "adddup2");
    check(posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO), "adddup2");
    check(posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str()), "addchdir");
    const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
    check(rc, "posix_spawnp");
}

ToolProcess::~ToolProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    close_input();
    if (out_ >= 0)
        ::close(out_);
}

void ToolProcess::write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(in_, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "write to the tool");
        text.remove_prefix(static_cast<size_t>(n));
    }
}

void ToolProcess::close_input()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
}

bool ToolProcess::read_some(int timeout_ms)
{
    struct pollfd p = {out_, POLLIN, 0};
    const int n = ::poll(&p, 1, timeout_ms);
    if (n <= 0)
        return n == 0 || errno == EINTR;
    char buf[4096];
    const ssize_t got = ::read(out_, buf, sizeof buf);
    if (got <= 0)
        return got < 0 && errno == EINTR;
    output_.append(buf, static_cast<size_t>(got));
    return true;
}

bool ToolProcess::read_until(std::string_view text, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const size_t at = output_.find(text, matched_);
        if (at != std::string::npos) {
            matched_ = at + text.size();
            return true;
        }
        if (Clock::now() >= deadline || !read_some(remaining_ms(deadline)))
            return false;
    }
}

int ToolProcess::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline && read_some(remaining_ms(deadline))) {
    }
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            return status_;
        }
        if (Clock::now() >= deadline)
            return -1;  // the destructor kills it
        ::usleep(10000);
    }
}

bool ToolProcess::running()
{
    if (pid_ <= 0)
        return false;
    siginfo_t info = {};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

void ToolProcess::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

long ToolProcess::cpu_ticks() const
{
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which ends with the last ')': state is
    // field 3, utime and stime fields 14 and 15.
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

std::vector<std::string> ToolProcess::lines() const
{
    std::vector<std::string> result;
    size_t start = 0;
    while (start < output_.size()) {
        const size_t end = output_.find('\n', start);
        if (end == std::string::npos) {
            result.push_back(output_.substr(start));
            break;
        }
        result.push_back(output_.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace tools_test
