#ifndef TOOLS_RFSIM_LINESOURCE_H
#define TOOLS_RFSIM_LINESOURCE_H

#include <deque>
#include <string>

namespace rfsim {

// Lines of commands read from a file descriptor (a script file, a pipe or a
// terminal), numbered for error messages. Reading never blocks the caller
// once poll() reported the descriptor readable.
class LineSource
{
public:
    // Takes ownership of fd unless it is standard input.
    LineSource(std::string name, int fd);
    ~LineSource();

    LineSource(const LineSource &) = delete;
    LineSource &operator=(const LineSource &) = delete;

    const std::string &name() const { return name_; }
    int fd() const { return open_ ? fd_ : -1; }

    // Reads what the descriptor has; false once it reached its end or failed.
    bool fill();
    // Takes the next complete line (without "\n" or "\r\n"); false when none
    // is ready. At the end of input an unterminated last line counts.
    bool nextLine(std::string &line);
    bool exhausted() const { return !open_ && lines_.empty(); }
    std::size_t lineNumber() const { return lineNumber_; }

private:
    void takeLines();
    void pushLine(std::string line);

    std::string name_;
    int fd_;
    bool open_ = true;
    std::string partial_;
    std::deque<std::string> lines_;
    std::size_t lineNumber_ = 0;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_LINESOURCE_H
