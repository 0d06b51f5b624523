#ifndef VEXORAPI_PROTOCOLVEXOR_H
#define VEXORAPI_PROTOCOLVEXOR_H

#include <VexorAPI/IProtocol.h>

#include <functional>
#include <mutex>

class IHID;
class IOpeningGate;

/// The base's commands and its opening sequence, paced by the sleeper.
class ProtocolVexor : public IProtocol
{
public:
    ProtocolVexor();
    ProtocolVexor(ISleeper *sleeper, ISpecificationCollection *specifications);

    bool findBase() override;
    /// Opens the base and runs the opening sequence: 512 input buffers,
    /// frequencies A/A, stop vote, the two welcome lines, command 45. Through
    /// an opening gate the device may stay open instead (see
    /// IOpeningGate::openDevice); the sequence's reports go out all the same.
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

    /// The opening opens the device and writes its reports through gate
    /// (none: directly).
    void setOpeningGate(IOpeningGate *gate);

    static constexpr int baseChecks = 500;
    static constexpr int displayWidth = 16;

private:
    // Who a report is sent for: the client's commands go out directly, the
    // opening's reports through the opening gate.
    enum class Sender { client, opening };

    IHID *hid() const;
    // Sends the command with payload, or an empty report when payload is null.
    bool send(Sender sender, int command, const unsigned char *payload = nullptr,
              unsigned char length = 0);
    bool frequencies(Sender sender, char first, char second, bool pauseAfter);
    bool voteStop(Sender sender);
    bool displayLine(Sender sender, const std::string &text, short line);
    bool initialiseOpenedBase();

    IOpeningGate *openingGate = nullptr;
    // Held for a whole opening sequence: one opening at a time.
    std::mutex openingMutex;
};

#endif // VEXORAPI_PROTOCOLVEXOR_H
