// tool_process.h - a console tool as a child process with a pipe on its
// standard input and a pipe or a terminal on its output; under the tests'
// emulator when there is one.  Standard error is the test's own, so
// sanitizer reports reach the log.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tools_test {

// A terminal output is a pseudo-terminal in raw mode: the tool sees a
// terminal, the test reads its bytes unchanged.
enum class Output { pipe, terminal };

class ToolProcess {
  public:
    ToolProcess(const std::string &program, const std::vector<std::string> &args,
                const std::string &cwd, Output output = Output::pipe);
    ~ToolProcess();
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;

    void write(std::string_view text);
    void close_input();
    // Reads until `text` appears after the previous match; false when the
    // output ends or the time runs out first.
    bool read_until(std::string_view text, std::chrono::milliseconds timeout);
    // Reads the output to its end and reaps the process: its exit status,
    // 1000 + the signal number, or -1 when it did not end in time.
    int wait(std::chrono::milliseconds timeout);
    bool running();
    // Files the tool writes cannot grow past `bytes`: a write beyond fails
    // with EFBIG.  Call it before the input that makes the tool write.
    void limit_file_size(size_t bytes);
    long cpu_ticks() const;  // processor time used so far, in clock ticks
    const std::string &output() const { return output_; }
    std::vector<std::string> lines() const;  // a last line without break too

  private:
    bool read_some(int timeout_ms);  // false at end of output

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string output_;
    size_t matched_ = 0;
};

}  // namespace tools_test
