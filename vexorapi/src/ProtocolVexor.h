#ifndef VEXORAPI_PROTOCOLVEXOR_H
#define VEXORAPI_PROTOCOLVEXOR_H

#include <VexorAPI/IProtocol.h>

class IHID;

/// The base's commands and its opening sequence, paced by the sleeper.
class ProtocolVexor : public IProtocol
{
public:
    ProtocolVexor();
    ProtocolVexor(ISleeper *sleeper, ISpecificationCollection *specifications);

    bool findBase() override;
    /// Opens the base and runs the opening sequence: 512 input buffers,
    /// frequencies A/A, stop vote, the two welcome lines, command 45.
    bool openBase() override;
    bool closeBase() override;
    bool sendCommand24() override;
    bool baseIsAttached() override;
    bool waitForBase() override;
    bool readReport(unsigned char *buffer, int length, int timeoutMs) override;
    bool setFrequencies(char first, char second, bool pauseAfter) override;
    bool startVote(unsigned char parameter) override;
    bool stopVote() override;
    bool setDisplayLine(const std::string &text, short line) override;

    static constexpr int baseChecks = 500;
    static constexpr int displayWidth = 16;

private:
    IHID *hid() const;
    bool sendCommand(int command, const unsigned char *payload, unsigned char length);
    bool sendEmptyCommand(int command);
    bool initialiseOpenedBase();
};

#endif // VEXORAPI_PROTOCOLVEXOR_H
