/*
 * main.cpp - orvane-sim: the simulated adapter as a program, for trying the
 * library by hand.  It links a pseudo-terminal as COM<n> under the
 * relocation root and answers like the adapter until interrupted.
 */
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace {

constexpr const char *kUsage =
    "Usage: orvane-sim [options]\n"
    "\n"
    "Plays the Orvane adapter on a pseudo-terminal linked as\n"
    "$ORVANE_ROOT/etc/passthru/ports/COM<n>, so that the pass-thru library,\n"
    "run with the same ORVANE_ROOT, finds it when it searches the COM ports.\n"
    "It answers the stop command, the version query and the serial-number\n"
    "query, keeps an SD card, a memory area, a clock and a seed/key service,\n"
    "and prints each frame it receives, until Ctrl-C.\n"
    "\n"
    "Options:\n"
    "  --port N            COM port number to appear as (default 7)\n"
    "  --root DIR          relocation root (default: $ORVANE_ROOT, else /)\n"
    "  --version-bytes L   firmware version bytes, 2 or 4 numbers separated\n"
    "                      by commas, e.g. 1,7 (default) or 2,0,4,1\n"
    "  --serial N          serial number (default 12345678)\n"
    "  --sd-folder DIR     keep the SD card's files in DIR: loaded at start,\n"
    "                      every change saved (default: in memory only)\n"
    "  --pace              send at the real link's rate (115200 baud)\n"
    "  --quiet             print nothing but the port it is linked as\n"
    "  --verbose           also print every frame it sends\n"
    "  --help              show this text\n"
    "\n"
    "Example:\n"
    "  ORVANE_ROOT=/tmp/orvane orvane-sim --port 3\n"
    "  (then, in another shell with ORVANE_ROOT=/tmp/orvane, run a program\n"
    "  that calls PassThruOpen and watch the search reach COM3)\n";

// Integer text with base detection (decimal, 0x hexadecimal, 0 octal).
bool parse_number(const char *text, unsigned long max, unsigned long &out)
{
    if (!text || !*text || *text == '-')
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    out = v;
    return true;
}

bool parse_version(const char *text, std::vector<uint8_t> &out)
{
    out.clear();
    std::string s = text ? text : "";
    size_t pos = 0;
    for (;;) {
        const size_t comma = s.find(',', pos);
        const std::string part =
            s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        unsigned long v;
        if (!parse_number(part.c_str(), 255, v))
            return false;
        out.push_back(static_cast<uint8_t>(v));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return out.size() == 2 || out.size() == 4;
}

void print_frame(const char *direction, uint32_t ticks, const orvane::sim::Frame &frame)
{
    std::printf("%10.3f ms %s %s\n", ticks / 256.0, direction, orvane::sim::to_hex(frame).c_str());
}

int usage_error(const char *msg, const char *arg)
{
    std::fprintf(stderr, "orvane-sim: %s%s%s\nTry 'orvane-sim --help'.\n", msg, arg ? " " : "",
                 arg ? arg : "");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    orvane::sim::Options options;
    bool quiet = false;
    bool verbose = false;

    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long n;
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!std::strcmp(a, "--port")) {
            if (!parse_number(value, 1000, n) || n == 0)
                return usage_error("--port wants a number from 1 to 1000, not",
                                   value ? value : "nothing");
            options.com_port = static_cast<uint32_t>(n);
            ++i;
        } else if (!std::strcmp(a, "--root")) {
            if (!value)
                return usage_error("--root wants a folder", nullptr);
            options.root = value;
            ++i;
        } else if (!std::strcmp(a, "--version-bytes")) {
            if (!parse_version(value, options.version))
                return usage_error("--version-bytes wants 2 or 4 numbers of 0-255, not",
                                   value ? value : "nothing");
            ++i;
        } else if (!std::strcmp(a, "--serial")) {
            if (!parse_number(value, 0xFFFFFFFFul, n))
                return usage_error("--serial wants a 32-bit number, not",
                                   value ? value : "nothing");
            options.serial_number = static_cast<uint32_t>(n);
            ++i;
        } else if (!std::strcmp(a, "--sd-folder")) {
            if (!value || !std::filesystem::is_directory(value))
                return usage_error("--sd-folder wants an existing folder, not",
                                   value ? value : "nothing");
            options.sd_folder = value;
            ++i;
        } else if (!std::strcmp(a, "--pace")) {
            options.pace = true;
        } else if (!std::strcmp(a, "--quiet")) {
            quiet = true;
        } else if (!std::strcmp(a, "--verbose")) {
            verbose = true;
        } else {
            return usage_error("unknown option", a);
        }
    }

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!quiet)
        options.on_received = [](const orvane::sim::LoggedFrame &e) {
            print_frame("<-", e.ticks, e.frame);
        };
    if (verbose && !quiet)
        options.on_reply = [](const orvane::sim::Frame &f) {
            print_frame("->", f.timestamp_be(), f);
        };

    // Blocked before the simulator's thread starts, so only sigwait sees
    // them.  A shell starts background jobs with SIGINT ignored, and an
    // ignored signal is discarded before sigwait could take it.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(sig, SIG_DFL);
        sigaddset(&stop_signals, sig);
    }
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    // The constructor loads the SD-card folder, so it can fail too.
    std::unique_ptr<orvane::sim::Simulator> owned;
    try {
        owned = std::make_unique<orvane::sim::Simulator>(options);
        owned->start();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvane-sim: cannot set up COM%u: %s\n",
                     static_cast<unsigned>(options.com_port), e.what());
        return 1;
    }
    orvane::sim::Simulator &sim = *owned;

    std::printf("orvane-sim: adapter on COM%u: %s -> %s\n", static_cast<unsigned>(options.com_port),
                sim.port_path().c_str(), sim.slave_path().c_str());
    std::string version;
    for (size_t i = 0; i < options.version.size(); ++i)
        version += (i ? "," : "") + std::to_string(options.version[i]);
    std::printf("orvane-sim: firmware version bytes %s, serial number %u%s; Ctrl-C to stop\n",
                version.c_str(), static_cast<unsigned>(options.serial_number),
                options.pace ? ", paced at 115200 baud" : "");

    int sig = 0;
    sigwait(&stop_signals, &sig);
    sim.stop();
    if (!quiet)
        std::printf("orvane-sim: stopped, %zu frames received\n", sim.log().size());
    return 0;
}
