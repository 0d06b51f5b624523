#ifndef TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H
#define TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a receiver's serial line: the code
// under test opens slavePath() like a serial device, the test plays the
// receiver on the master side. The pair keeps a slave descriptor of its own,
// in raw mode from the start, through which it sees what the host has not read.
class PseudoTerminal
{
public:
    // A locked pair's slave side exists but refuses to open (with an I/O error).
    explicit PseudoTerminal(bool lockedSlave = false);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return master >= 0; }
    QString slavePath() const { return path; }

    // Writes all of bytes to the master side; true when every byte went out.
    bool write(const QByteArray &bytes);
    // The bytes written to the master side that the host has not read yet
    // (exact: bytes still on their way through the kernel are counted).
    int unreadByHost() const;
    // Everything the host has written so far and the test has not read yet;
    // a write the host has finished is complete in it.
    QByteArray readWritten();
    // A receiver that takes no bytes for a while: while held, the host's
    // writes wait (as on a line stopped by flow control).
    void holdHostWrites(bool hold);

private:
    int master = -1;
    int slave = -1;
    QString path;
};

#endif // TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H
