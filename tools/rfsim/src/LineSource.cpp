#include "LineSource.h"

#include <cerrno>
#include <unistd.h>

namespace rfsim {

LineSource::LineSource(std::string name, int fd) : name_(std::move(name)), fd_(fd) {}

LineSource::~LineSource()
{
    if (fd_ > STDIN_FILENO)
        ::close(fd_);
}

bool LineSource::fill()
{
    if (!open_)
        return false;
    char buffer[4096];
    const ssize_t count = ::read(fd_, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (count <= 0) {
        open_ = false;
        if (!partial_.empty())
            pushLine(std::move(partial_));
        partial_.clear();
        return false;
    }
    partial_.append(buffer, std::size_t(count));
    takeLines();
    return true;
}

bool LineSource::nextLine(std::string &line)
{
    if (lines_.empty())
        return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    ++lineNumber_;
    return true;
}

void LineSource::takeLines()
{
    std::size_t start = 0;
    for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        pushLine(partial_.substr(start, end - start));
    }
    partial_.erase(0, start);
}

void LineSource::pushLine(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    lines_.push_back(std::move(line));
}

} // namespace rfsim
