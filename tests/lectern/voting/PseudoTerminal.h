#ifndef TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H
#define TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a receiver's serial line: the code
// under test opens slavePath() like a serial device, the test plays the
// receiver on the master side.
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
    // Everything that arrives on the master side until nothing more has come for
    // quietMs milliseconds.
    QByteArray readAvailable(int quietMs = 200);

private:
    int master = -1;
    QString path;
};

#endif // TESTS_LECTERN_VOTING_PSEUDOTERMINAL_H
