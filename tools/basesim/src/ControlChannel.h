#ifndef TOOLS_BASESIM_CONTROLCHANNEL_H
#define TOOLS_BASESIM_CONTROLCHANNEL_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace basesim {

/// The text control channel: a Unix stream socket that takes one command per
/// line and answers each with one line. Serves one connection at a time.
class ControlChannel
{
public:
    static ControlChannel &instance();
    /// Starts the channel on $BASESIM_CONTROL once per process, if set.
    static void startFromEnvironment();

    bool start(const std::string &path);
    void stop();

    /// Executes one command line and answers the reply (without line break).
    static std::string execute(const std::string &line);

private:
    ControlChannel() = default;
    ~ControlChannel();
    void serve(int listener);
    void converse(int connection);

    std::mutex lifecycleMutex; // protects server, listenerPath
    std::thread server;
    std::string listenerPath;
    std::atomic<bool> stopping{false};
};

} // namespace basesim

#endif // TOOLS_BASESIM_CONTROLCHANNEL_H
