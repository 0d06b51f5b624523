#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rfsim {

namespace {
std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}
} // namespace

PseudoTerminal::PseudoTerminal(std::string linkPath) : linkPath_(std::move(linkPath)) {}

PseudoTerminal::~PseudoTerminal()
{
    unplug();
}

std::string PseudoTerminal::path() const
{
    return linkPath_.empty() ? slavePath_ : linkPath_;
}

std::size_t PseudoTerminal::unreadByHost() const
{
    if (slave_ < 0)
        return 0;
    // A poll of a terminal whose input queue is empty first moves the bytes
    // that the kernel still holds for it into the queue: the count is then
    // zero only once every byte written has been read.
    pollfd entry{slave_, POLLIN, 0};
    ::poll(&entry, 1, 0);
    int count = 0;
    if (::ioctl(slave_, FIONREAD, &count) != 0)
        return 0;
    return std::size_t(count);
}

bool PseudoTerminal::plug(std::string &error)
{
    if (plugged())
        return true;
    if (!openPair(error) || !configureLine(slave_, error) || !placeLink(error)) {
        closeAll();
        return false;
    }
    return true;
}

void PseudoTerminal::unplug()
{
    if (!plugged())
        return;
    removeLink();
    closeAll();
}

bool PseudoTerminal::openPair(std::string &error)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    char name[PATH_MAX] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        error = systemError("cannot unlock the pseudo-terminal");
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error = systemError("cannot open " + slavePath_);
        return false;
    }
    return true;
}

// The link is replaced atomically (a new link renamed over the old one), so
// the host never finds the path missing while the receiver is plugged in.
bool PseudoTerminal::placeLink(std::string &error)
{
    if (linkPath_.empty())
        return true;
    struct stat existing
    {
    };
    if (lstat(linkPath_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath_ + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    const std::string temporary = linkPath_ + ".new" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        error = systemError("cannot create the link " + linkPath_);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Removes the link only while it still points at this receiver's device.
void PseudoTerminal::removeLink()
{
    if (linkPath_.empty())
        return;
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (length > 0 && slavePath_ == std::string(target, std::size_t(length)))
        ::unlink(linkPath_.c_str());
}

void PseudoTerminal::closeAll()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

} // namespace rfsim
