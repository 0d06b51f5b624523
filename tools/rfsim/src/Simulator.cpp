#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace rfsim {

namespace {

// The packet counts as both "idle" and "stats" report them.
std::string countsText(const TransmitterStats &s)
{
    return "sent=" + std::to_string(s.sent) + " lost=" + std::to_string(s.lost) +
           " skipped=" + std::to_string(s.skipped) + " damaged=" + std::to_string(s.damaged);
}

} // namespace

Simulator::Simulator(ReceiverPort &port, PacketLog &log, std::ostream &events, std::ostream &errors)
    : port_(port), log_(log), events_(events), errors_(errors), transmitter_(log)
{
}

void Simulator::addSource(std::unique_ptr<LineSource> source)
{
    sources_.push_back(Source{std::move(source)});
}

void Simulator::run()
{
    while (!stopRequested_) {
        const Clock::time_point now = Clock::now();
        runSources(now);
        if (quit_)
            return;
        feedClass(now);
        transmitter_.service(now, port_.fd());
        if (exitWhenDone_ && allWorkDone()) {
            // The kernel hands written bytes to the host's side a moment
            // later, so "nothing unread" counts only after a short grace.
            doneSince_ = doneSince_.value_or(now);
            const auto waited = now - *doneSince_;
            if ((waited > drainGrace && port_.unreadByHost() == 0) || waited > maxDrainWait)
                return;
        }
        waitForEvents(Clock::now());
    }
}

void Simulator::runSources(Clock::time_point now)
{
    for (Source &source : sources_)
        runSource(source, now);
}

// Runs the source's ready lines until one of them makes it wait.
void Simulator::runSource(Source &source, Clock::time_point now)
{
    if (source.awaitingIdle) {
        if (!everythingIdle())
            return;
        source.awaitingIdle = false;
        reportIdle();
    }
    std::string line;
    while (!quit_ && now >= source.resumeAt && !source.awaitingIdle &&
           source.lines->nextLine(line)) {
        const ParsedLine parsed = parseCommandLine(line);
        if (parsed.status == ParsedLine::Status::Error) {
            errors_ << source.lines->name() << ":" << source.lines->lineNumber() << ": "
                    << parsed.error << std::endl;
            continue;
        }
        if (parsed.status == ParsedLine::Status::Empty)
            continue;
        const Command &command = parsed.command;
        if (command.kind == Command::Kind::Sleep) {
            source.resumeAt = now + std::chrono::milliseconds(command.milliseconds);
        } else if (command.kind == Command::Kind::Sync) {
            source.awaitingIdle = !everythingIdle();
            if (!source.awaitingIdle)
                reportIdle();
        } else {
            execute(command);
        }
    }
}

void Simulator::execute(const Command &command)
{
    switch (command.kind) {
    case Command::Kind::Vote:
        transmitter_.enqueue({Outgoing::Kind::Vote, command.remote, command.answer, {}, {}});
        break;
    case Command::Kind::Text:
        transmitter_.enqueue({Outgoing::Kind::Text, command.remote, 0, command.text, {}});
        break;
    case Command::Kind::Bytes:
        transmitter_.enqueue({Outgoing::Kind::Bytes, 0, 0, {}, command.bytes});
        break;
    case Command::Kind::Class:
        class_.emplace(command.classSettings, Clock::now());
        break;
    case Command::Kind::Stop:
        class_.reset();
        transmitter_.dropQueued();
        break;
    case Command::Kind::Plug:
        plug();
        break;
    case Command::Kind::Unplug:
        unplug();
        break;
    case Command::Kind::Noise:
        transmitter_.setNoise(command.noise);
        break;
    case Command::Kind::Pace:
        transmitter_.setBaud(command.baud);
        break;
    case Command::Kind::QueryMode:
        emit("mode " + std::to_string(transmitter_.mode()));
        break;
    case Command::Kind::Stats:
        emit("stats " + countsText(transmitter_.stats()) +
             " queued=" + std::to_string(transmitter_.queued()) +
             " mode=" + std::to_string(transmitter_.mode()) +
             " host-bytes=" + std::to_string(modeDetector_.otherBytes()) +
             " unread=" + std::to_string(port_.unreadByHost()));
        break;
    case Command::Kind::Quit:
        quit_ = true;
        break;
    case Command::Kind::Sleep:
    case Command::Kind::Sync:
        break; // only meaningful within a source; handled by runSource
    }
}

bool Simulator::everythingIdle() const
{
    return transmitter_.idle() && (!class_ || class_->finished());
}

bool Simulator::allWorkDone() const
{
    for (const Source &source : sources_) {
        if (!source.lines->exhausted() || source.awaitingIdle)
            return false;
    }
    return everythingIdle();
}

void Simulator::feedClass(Clock::time_point now)
{
    if (!class_)
        return;
    while (!class_->finished() && class_->nextDue() <= now &&
           transmitter_.queued() < classBacklog) {
        const Vote vote = class_->next();
        transmitter_.enqueue({Outgoing::Kind::Vote, vote.remote, vote.answer, {}, {}});
    }
    if (class_->finished()) {
        emit("class done votes=" + std::to_string(class_->produced()));
        class_.reset();
    }
}

std::optional<Simulator::Clock::time_point> Simulator::nextDeadline(Clock::time_point now) const
{
    std::optional<Clock::time_point> deadline = transmitter_.nextWakeUp(now);
    const auto consider = [&deadline](Clock::time_point t) {
        if (!deadline || t < *deadline)
            deadline = t;
    };
    if (class_ && transmitter_.queued() < classBacklog)
        consider(class_->nextDue());
    for (const Source &source : sources_) {
        if (source.resumeAt > now)
            consider(source.resumeAt);
        else if (source.awaitingIdle && everythingIdle())
            consider(now);
    }
    if (doneSince_)
        consider(now + std::chrono::milliseconds(20)); // watch the host drain the line
    return deadline;
}

void Simulator::waitForEvents(Clock::time_point now)
{
    std::vector<pollfd> fds;
    if (port_.plugged()) {
        const short events = transmitter_.blockedOnPort() ? short(POLLIN | POLLOUT) : POLLIN;
        fds.push_back({port_.fd(), events, 0});
    }
    const std::size_t firstSource = fds.size();
    for (const Source &source : sources_) {
        if (source.lines->fd() >= 0 && source.resumeAt <= now && !source.awaitingIdle)
            fds.push_back({source.lines->fd(), POLLIN, 0});
        else
            fds.push_back({-1, 0, 0});
    }

    timespec timeout{};
    const std::optional<Clock::time_point> deadline = nextDeadline(now);
    if (deadline) {
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(*deadline - now, Clock::duration::zero()));
        timeout.tv_sec = time_t(wait.count() / 1000000000);
        timeout.tv_nsec = long(wait.count() % 1000000000);
    }
    const int ready = ::ppoll(fds.data(), fds.size(), deadline ? &timeout : nullptr, nullptr);
    if (ready <= 0)
        return;
    if (firstSource == 1 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
        readHost();
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (fds[firstSource + i].revents & (POLLIN | POLLHUP | POLLERR))
            sources_[i].lines->fill();
    }
}

void Simulator::readHost()
{
    std::uint8_t buffer[256];
    const ssize_t count = ::read(port_.fd(), buffer, sizeof buffer);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
        // The line itself failed (a serial device went away): stop using it
        // rather than being woken for the failure again and again.
        errors_ << "the line failed; the receiver is unplugged" << std::endl;
        unplug();
        return;
    }
    for (ssize_t i = 0; i < count; ++i) {
        if (const std::optional<int> mode = modeDetector_.feed(buffer[i])) {
            transmitter_.setMode(*mode);
            log_.mode(*mode);
            emit("mode " + std::to_string(*mode));
        }
    }
}

void Simulator::plug()
{
    std::string error;
    if (port_.plugged())
        return;
    if (!port_.plug(error)) {
        errors_ << "plug: " << error << std::endl;
        return;
    }
    // A receiver that gets power again starts in vote-packet mode.
    transmitter_.setMode(0);
    log_.plugged(port_.devicePath());
    emit("plugged pty=" + port_.devicePath() + " mode=0");
}

void Simulator::unplug()
{
    if (!port_.plugged())
        return;
    port_.unplug();
    log_.unplugged();
    emit("unplugged");
}

void Simulator::reportIdle()
{
    emit("idle " + countsText(transmitter_.stats()));
}

void Simulator::emit(const std::string &line)
{
    events_ << line << std::endl;
}

} // namespace rfsim
