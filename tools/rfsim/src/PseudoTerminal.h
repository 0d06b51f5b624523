#ifndef TOOLS_RFSIM_PSEUDOTERMINAL_H
#define TOOLS_RFSIM_PSEUDOTERMINAL_H

#include "ReceiverPort.h"

namespace rfsim {

// The receiver as a pseudo-terminal: the host opens the slave side (or the
// stable link to it), the simulator holds the master. Unplugging closes the
// master, which makes the slave's device node vanish; plugging in again makes
// a new pseudo-terminal, whose number the system chooses, and points the
// link at it so the host finds the receiver under the same path.
class PseudoTerminal : public ReceiverPort
{
public:
    // linkPath may be empty (no link).
    explicit PseudoTerminal(std::string linkPath);
    ~PseudoTerminal() override;

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool plug(std::string &error) override;
    void unplug() override;

    int fd() const override { return master_; }
    std::string path() const override;
    std::string devicePath() const override { return slavePath_; }
    std::size_t unreadByHost() const override;

private:
    bool openPair(std::string &error);
    bool placeLink(std::string &error);
    void removeLink();
    void closeAll();

    std::string linkPath_;
    std::string slavePath_;
    int master_ = -1;
    // Held open so the line keeps its raw settings and the master never sees
    // a hang-up while the host has the port closed.
    int slave_ = -1;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_PSEUDOTERMINAL_H
