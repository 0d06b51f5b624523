#ifndef VEXORAPI_IPROTOCOL_H
#define VEXORAPI_IPROTOCOL_H

#include <VexorAPI/VexorExport.h>

#include <string>

class ISleeper;
class ISpecificationCollection;

/// The commands of the base station. A client reaches the library's protocol
/// object through the facade's protocol member and sends its commands from its
/// own threads and from callbacks, also several at once: each report goes out
/// whole, but the reports of two commands sent at once (startVote writes two)
/// may interleave, so a client orders its commands itself where that
/// matters. Every operation answers true on success.
class VEXOR_API IProtocol
{
public:
    // Internal, the constructors and the members sleeper and specifications:
    // a client uses the protocol the facade built.
    IProtocol();
    IProtocol(ISleeper *sleeper, ISpecificationCollection *specifications);
    virtual ~IProtocol();

    /// True when the base is attached (enumerated).
    virtual bool findBase() = 0;
    /// Opens the base and runs its opening sequence (550 ms of pauses), as
    /// the library does when a base is plugged in: the client hears
    /// onOpeningBase() and, on success, onBaseReady(), and votes are read
    /// again. The opening sets the base back to its start: a running vote is
    /// stopped (voteStateChanged(3) follows), both frequencies are 'A' and
    /// the display shows its welcome lines, so a client re-applies its own
    /// settings in onBaseReady().
    ///
    /// Through the facade's protocol member the connection thread carries
    /// the opening out, after the one it may be running (one opening at a
    /// time), and its callbacks come from there; openBase() waits and answers
    /// whether the base is open and ready. While no base is listed it answers
    /// false at the connection loop's next search; before run() and after
    /// stop() at once. From inside a callback it does not wait: it answers
    /// false, and the opening follows once the callback has returned. While
    /// the base is open and ready the device stays open and votes are read
    /// throughout the opening, so that none is lost or read twice (the
    /// answer to the stop may then come before onBaseReady()). Otherwise
    /// (after closeBase(), a loss or a failed opening) the device is opened
    /// afresh, once the reader has taken the reports waiting in the old
    /// opening (up to one read time-out, 1 s).
    virtual bool openBase() = 0;
    /// Closes the base. A close that the client asks for is no loss: there is
    /// no onBaseLost(), and the library leaves the base closed until the
    /// client calls openBase() or the base is unplugged and plugged in again
    /// (then onBaseLost(), onNoBase()..., onBaseFound(), onOpeningBase(),
    /// onBaseReady() follow, with the opening's effects described at
    /// openBase()). An opening in progress stops: nothing more reaches the
    /// base once closeBase() has returned. Also from inside a callback.
    virtual bool closeBase() = 0;
    virtual bool sendCommand24() = 0;
    /// True when the base is attached (enumerated).
    virtual bool baseIsAttached() = 0;
    /// Polls for the base up to 500 times, 40 ms apart (not from a callback:
    /// the library's thread would wait up to 20 s).
    virtual bool waitForBase() = 0;
    /// Reads one 64-byte input report into buffer (which must hold 64 bytes);
    /// a time-out with no report also answers true and leaves buffer as it was.
    /// For a client that does not run the library: beside the library's
    /// reader, a report it takes never reaches addVote().
    virtual bool readReport(unsigned char *buffer, int length, int timeoutMs) = 0;
    /// Sets the two radio frequencies of the remote units (letters 'A'...).
    virtual bool setFrequencies(char first, char second, bool pauseAfter) = 0;
    virtual bool startVote(unsigned char parameter) = 0;
    virtual bool stopVote() = 0;
    /// Writes a 16-character line of the base's display: line 1 is the first
    /// line, any other number the second. Longer texts are cut, shorter ones
    /// padded with spaces.
    virtual bool setDisplayLine(const std::string &text, short line) = 0;

    ISleeper *sleeper = nullptr;
    ISpecificationCollection *specifications = nullptr;
};

#endif // VEXORAPI_IPROTOCOL_H
