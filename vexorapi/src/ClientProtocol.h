#ifndef VEXORAPI_CLIENTPROTOCOL_H
#define VEXORAPI_CLIENTPROTOCOL_H

#include <VexorAPI/IProtocol.h>

class IBaseManagement;

/// The protocol as the client holds it (the facade's protocol member): every
/// operation is the library's protocol's, and the client's own openings and
/// closings also reach the base management. A close the client asks for is
/// then no loss (the connection loop leaves the base closed), and an opening
/// it asks for is announced and wakes the reader like the loop's own.
class ClientProtocol : public IProtocol
{
public:
    ClientProtocol(IProtocol *protocol, IBaseManagement *management);

    bool findBase() override;
    /// Reports onOpeningBase(), runs the opening sequence and, on success,
    /// reports onBaseReady(); ends a close on request.
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
};

#endif // VEXORAPI_CLIENTPROTOCOL_H
