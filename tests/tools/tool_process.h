/*
 * tool_process.h - runs a console tool as a child process with pipes on its
 * standard input and output, for end-to-end tests.  Where the tests run
 * under an emulator, the tool runs under it too.  Standard error is the
 * test's own, so the tool's sanitizer reports reach the test log.
 */
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tools_test {

class ToolProcess {
  public:
    // Starts `program` with `args` in the folder `cwd`, with the test's
    // environment ($ORVANE_ROOT included).  With `on_terminal` its input and
    // output are a pseudo-terminal instead of pipes: what is written is
    // typed, and terminal() is the side the test holds.
    ToolProcess(const std::string &program, const std::vector<std::string> &args,
                const std::string &cwd, bool on_terminal = false);
    ~ToolProcess();
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;

    void write(std::string_view text);
    void close_input();

    // Reads output until `text` appears after the previous match; false
    // when the output ends or the time runs out first.
    bool read_until(std::string_view text, std::chrono::milliseconds timeout);

    // Reads the output to its end and reaps the process: its exit status
    // (0-255), 1000 + the signal number for a signal, or -1 when it did not
    // end in time (it is then killed).
    int wait(std::chrono::milliseconds timeout);

    bool running();
    int terminal() const { return in_; }
    void signal(int sig);
    // Processor time the process has used so far, in clock ticks.
    long cpu_ticks() const;

    const std::string &output() const { return output_; }
    // The output cut at its line breaks; a last line without one included.
    std::vector<std::string> lines() const;

  private:
    // Appends what arrives within `timeout_ms`; false at end of output.
    bool read_some(int timeout_ms);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string output_;
    size_t matched_ = 0;
};

}  // namespace tools_test
