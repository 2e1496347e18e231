/*
 * pty_port.h - the pseudo-terminal that stands for the adapter's serial
 * line, and its COM<n> link under the relocation root.
 *
 * The simulator owns the master side.  It keeps a slave descriptor of its
 * own open for its whole life: without it the terminal hangs up whenever the
 * library closes the port, and the library closes and reopens the port
 * during the device search and after a failed write.
 */
#pragma once

#include <cstdint>
#include <string>

namespace orvane::sim {

class PtyPort {
  public:
    // Opens a pseudo-terminal (raw, non-blocking master) and links its slave
    // as <root>/etc/passthru/ports/COM<port>, creating the folders.  An empty
    // `root` means $ORVANE_ROOT, and that unset or empty means "/".
    // Throws std::system_error or std::runtime_error.
    PtyPort(uint32_t port, const std::string &root);
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    int master_fd() const { return master_; }
    const std::string &slave_path() const { return slave_path_; }
    const std::string &link_path() const { return link_path_; }

    // The path COM<port> has under `root` (resolved as the constructor does).
    static std::string com_path(uint32_t port, const std::string &root);

  private:
    void close_all();

    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
    std::string link_path_;
};

}  // namespace orvane::sim
