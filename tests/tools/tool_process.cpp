// tool_process.cpp - child processes for the tools' end-to-end tests.
#include "tests/tools/tool_process.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

namespace tools_test {

namespace {

using Clock = std::chrono::steady_clock;

void check(bool ok, const char *what)
{
    if (!ok)
        throw std::system_error(errno, std::generic_category(), what);
}

int remaining_ms(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ToolProcess::ToolProcess(const std::string &program, const std::vector<std::string> &args,
                         const std::string &cwd, Output output)
{
    std::signal(SIGPIPE, SIG_IGN);  // a tool that outlives its input must see EPIPE
    std::signal(SIGXFSZ, SIG_IGN);  // and one past its file-size limit EFBIG
    int in[2], out[2];
    check(::pipe2(in, O_CLOEXEC) == 0, "pipe2");
    if (output == Output::pipe) {
        check(::pipe2(out, O_CLOEXEC) == 0, "pipe2");
    } else {
        out[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        check(out[0] >= 0 && ::grantpt(out[0]) == 0 && ::unlockpt(out[0]) == 0, "posix_openpt");
        out[1] = ::open(::ptsname(out[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        check(out[1] >= 0 && ::tcgetattr(out[1], &raw) == 0, "open the terminal");
        ::cfmakeraw(&raw);
        check(::tcsetattr(out[1], TCSANOW, &raw) == 0, "tcsetattr");
    }
    std::vector<std::string> text;
    if (*TOOL_EMULATOR)
        text.push_back(TOOL_EMULATOR);
    text.push_back(program);
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
    errno = rc;
    check(rc == 0, "posix_spawnp");
}

ToolProcess::~ToolProcess()
{
    if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0)
        ::waitpid(pid_, nullptr, 0);
    close_input();
    ::close(out_);
}

void ToolProcess::write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(in_, text.data(), text.size());
        check(n >= 0 || errno == EINTR, "write to the tool");
        text.remove_prefix(n > 0 ? static_cast<size_t>(n) : 0);
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
    if (got > 0)
        output_.append(buf, static_cast<size_t>(got));
    return got > 0 || (got < 0 && errno == EINTR);
}

bool ToolProcess::read_until(std::string_view text, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    size_t at;
    while ((at = output_.find(text, matched_)) == std::string::npos)
        if (Clock::now() >= deadline || !read_some(remaining_ms(deadline)))
            return false;
    matched_ = at + text.size();
    return true;
}

int ToolProcess::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline && read_some(remaining_ms(deadline))) {
    }
    for (int status = 0;; ::usleep(10000)) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline)
            return -1;  // the destructor kills it
    }
}

bool ToolProcess::running()
{
    siginfo_t info = {};
    return pid_ > 0 &&
           ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

void ToolProcess::limit_file_size(size_t bytes)
{
    const rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    check(::prlimit(pid_, RLIMIT_FSIZE, &limit, nullptr) == 0, "prlimit");
}

long ToolProcess::cpu_ticks() const
{
    // After the command name, which ends with the last ')', the state is
    // field 3; utime and stime are fields 14 and 15.
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(std::min(text.size(), text.rfind(')') + 2)));
    std::string skip;
    long utime = 0, stime = 0;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    return fields >> utime >> stime ? utime + stime : -1;
}

std::vector<std::string> ToolProcess::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(output_);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

}  // namespace tools_test
