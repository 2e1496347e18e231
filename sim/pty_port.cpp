/*
 * pty_port.cpp - pseudo-terminal creation and the COM<n> link.  Touches the
 * file system only at the link it creates (and the folders above it).
 */
#include "sim/pty_port.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace orvane::sim {
namespace {

[[noreturn]] void throw_errno(const std::string &what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::string resolve_root(const std::string &root)
{
    std::string r = root;
    if (r.empty()) {
        const char *env = std::getenv("ORVANE_ROOT");
        if (env)
            r = env;
    }
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    if (r.empty() || r == "/")
        return "";
    return r;
}

std::string read_link(const std::string &path)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

// A link into /dev/pts/ was left by a simulator that did not clean up (or
// belongs to another one); pseudo-terminal numbers are reused at once, so it
// may by now lead to someone's shell and is better replaced than probed.
// Anything else is a port the user mapped and is never touched.
void check_replaceable(const std::string &link)
{
    struct stat st;
    if (::lstat(link.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return;
        throw_errno("lstat " + link);
    }
    if (S_ISLNK(st.st_mode) && read_link(link).rfind("/dev/pts/", 0) == 0)
        return;
    throw std::runtime_error(link + " exists and is not a pseudo-terminal link; not replacing it");
}

}  // namespace

std::string PtyPort::com_path(uint32_t port, const std::string &root)
{
    return resolve_root(root) + "/etc/passthru/ports/COM" + std::to_string(port);
}

PtyPort::PtyPort(uint32_t port, const std::string &root)
{
    try {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0)
            throw_errno("posix_openpt");
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw_errno("grantpt/unlockpt");
        char name[PATH_MAX];
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throw_errno("ptsname_r");
        slave_path_ = name;
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            throw_errno("open " + slave_path_);

        // Raw before anyone opens it: with the default line discipline the
        // terminal would echo the simulator's own output back to it and
        // rewrite carriage returns in the library's frames.
        termios tio;
        if (::tcgetattr(slave_, &tio) != 0)
            throw_errno("tcgetattr");
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
            throw_errno("tcsetattr");

        const int fl = ::fcntl(master_, F_GETFL);
        if (fl < 0 || ::fcntl(master_, F_SETFL, fl | O_NONBLOCK) != 0)
            throw_errno("fcntl O_NONBLOCK");

        const std::string link = com_path(port, root);
        std::filesystem::create_directories(std::filesystem::path(link).parent_path());
        check_replaceable(link);
        // Through a temporary name, so the library never sees a missing port
        // while an old link is replaced.
        const std::string tmp = link + ".sim" + std::to_string(::getpid());
        ::unlink(tmp.c_str());
        if (::symlink(slave_path_.c_str(), tmp.c_str()) != 0)
            throw_errno("symlink " + tmp);
        if (::rename(tmp.c_str(), link.c_str()) != 0) {
            const int e = errno;
            ::unlink(tmp.c_str());
            errno = e;
            throw_errno("rename to " + link);
        }
        link_path_ = link;
    } catch (...) {
        close_all();
        throw;
    }
}

PtyPort::~PtyPort()
{
    // Remove the link only while it is still ours: another simulator may
    // have taken the port over since.
    if (!link_path_.empty() && read_link(link_path_) == slave_path_)
        ::unlink(link_path_.c_str());
    close_all();
}

void PtyPort::close_all()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

}  // namespace orvane::sim
