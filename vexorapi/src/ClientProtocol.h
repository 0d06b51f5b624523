#ifndef VEXORAPI_CLIENTPROTOCOL_H
#define VEXORAPI_CLIENTPROTOCOL_H

#include <VexorAPI/IProtocol.h>

class IBaseManagement;
class StopRequest;

/// The protocol as the client holds it (the facade's protocol member): every
/// command is the library's protocol's, and the client's own openings and
/// closings go through the base management. A close the client asks for is
/// then no loss (the connection loop leaves the base closed), and an opening
/// it asks for is carried out by the connection loop, like its own, on the
/// connection thread.
class ClientProtocol : public IProtocol
{
public:
    /// workerThreads is the stop request that the facade's threads are bound
    /// to (null: no facade), by which a call from a callback is recognised.
    ClientProtocol(IProtocol *protocol, IBaseManagement *management,
                   const StopRequest *workerThreads = nullptr);

    bool findBase() override;
    /// Asks the connection loop for an opening and waits for its outcome;
    /// ends a close on request. From a callback (a thread of the facade) it
    /// only asks and answers false: the opening follows once the callback
    /// has returned.
    bool openBase() override;
    /// Closes the base without a loss: no event, and no reopening by the
    /// connection loop.
    bool closeBase() override;
    bool sendCommand24() override;
    bool baseIsAttached() override;
    bool waitForBase() override;
    bool readReport(unsigned char *buffer, int length, int timeoutMs) override;
    bool setFrequencies(char first, char second, bool pauseAfter) override;
    bool startVote(unsigned char parameter) override;
    bool stopVote() override;
    bool setDisplayLine(const std::string &text, short line) override;

private:
    IProtocol *protocol = nullptr;
    IBaseManagement *management = nullptr;
    const StopRequest *workerThreads = nullptr;
};

#endif // VEXORAPI_CLIENTPROTOCOL_H
