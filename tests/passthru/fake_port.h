// fake_port.h - a serial port behind the link's seam, for unit tests of the
// link and the connection logic: scripted reads, recorded writes, and
// injectable failures of open and write (down to a write that throws).
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "passthru/link/link.h"

namespace tenq_test {

struct WriteResult {
    int32_t rc;
    int32_t written;  // -1: all bytes
};

class FakePort {
  public:
    FakePort()
    {
        instance() = this;
        tenq::SetPortOps(&kOps);
    }
    ~FakePort()
    {
        tenq::SetPortOps(nullptr);
        instance() = nullptr;
    }

    std::deque<std::vector<uint8_t>> reads;  // one entry per com_read call
    std::deque<WriteResult> write_results;   // default: everything written
    std::deque<int32_t> open_results;        // default: 0
    bool open_leaves_handle = false;         // a failed open leaves the port open
    std::vector<std::vector<uint8_t>> writes;
    int opens = 0;
    int closes = 0;
    int purges = 0;
    int32_t read_rc = 0;
    bool write_throws = false;  // as if memory ran out in the middle of a call

    std::vector<uint8_t> all_written() const
    {
        std::vector<uint8_t> out;
        for (const auto &w : writes)
            out.insert(out.end(), w.begin(), w.end());
        return out;
    }

  private:
    static FakePort *&instance()
    {
        static FakePort *p = nullptr;
        return p;
    }

    static int32_t open(int32_t *h, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
    {
        FakePort &f = *instance();
        ++f.opens;
        int32_t rc = 0;
        if (!f.open_results.empty()) {
            rc = f.open_results.front();
            f.open_results.pop_front();
        }
        *h = (rc == 0 || f.open_leaves_handle) ? 42 : -1;
        return rc;
    }
    static int32_t close(int32_t *h)
    {
        if (*h < 0)
            return -32749;
        ++instance()->closes;
        return 0;
    }
    static int32_t read(int32_t *h, void *buffer, uint32_t count, uint32_t *got)
    {
        FakePort &f = *instance();
        *got = 0;
        if (*h < 0)
            return -32749;
        if (f.read_rc != 0)
            return f.read_rc;
        if (f.reads.empty())
            return 0;
        std::vector<uint8_t> &next = f.reads.front();
        uint32_t n = next.size() < count ? static_cast<uint32_t>(next.size()) : count;
        if (n != 0)
            std::memcpy(buffer, next.data(), n);
        next.erase(next.begin(), next.begin() + n);
        if (next.empty())
            f.reads.pop_front();
        *got = n;
        return 0;
    }
    static int32_t write(int32_t *h, const void *buffer, uint32_t count, uint32_t *written)
    {
        FakePort &f = *instance();
        *written = 0;
        if (*h < 0)
            return -32749;
        if (f.write_throws)
            throw std::bad_alloc();
        WriteResult r{0, -1};
        if (!f.write_results.empty()) {
            r = f.write_results.front();
            f.write_results.pop_front();
        }
        uint32_t n = r.written < 0 ? count : static_cast<uint32_t>(r.written);
        const auto *bytes = static_cast<const uint8_t *>(buffer);
        f.writes.emplace_back(bytes, bytes + n);
        *written = n;
        return r.rc;
    }
    static int32_t ioctl(int32_t *h, uint32_t func, void *, void *)
    {
        if (*h < 0)
            return -32749;
        if (func == 6)
            ++instance()->purges;
        return 0;
    }

    static constexpr tenq::PortOps kOps{open, close, read, write, ioctl};
};

// Wire bytes of a frame.
inline std::vector<uint8_t> frame(uint8_t dev, uint8_t op, uint8_t type, uint8_t flags,
                                  std::vector<uint8_t> data = {}, uint8_t id = 0,
                                  uint32_t timestamp = 0)
{
    std::vector<uint8_t> out{id,
                             static_cast<uint8_t>(data.size()),
                             dev,
                             op,
                             flags,
                             type,
                             static_cast<uint8_t>(timestamp >> 24),
                             static_cast<uint8_t>(timestamp >> 16),
                             static_cast<uint8_t>(timestamp >> 8),
                             static_cast<uint8_t>(timestamp)};
    for (uint8_t byte : data)
        out.push_back(byte);
    return out;
}

// A debug listener on an ephemeral port, connected as the library's debug
// channel; collects the lines the library sends.
class DebugListener {
  public:
    explicit DebugListener(uint16_t port = 0);  // 0: any free port
    ~DebugListener();
    // Every complete line received so far (without "\r\n"); waits briefly for more.
    std::vector<std::string> lines();
    uint16_t port() const { return port_; }

  private:
    int listen_fd_ = -1;
    int conn_fd_ = -1;
    uint16_t port_ = 0;
    std::string pending_;
};

}  // namespace tenq_test
