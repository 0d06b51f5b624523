#ifndef TESTS_LECTERN_VOTING_VOTINGTESTSUPPORT_H
#define TESTS_LECTERN_VOTING_VOTINGTESTSUPPORT_H

#include <QSignalSpy>
#include <QStringList>

// The connection-status scripts as the page receives them.
inline const QString showScript = QStringLiteral("Clicker.showConnectionStatus();");
inline const QString hideScript = QStringLiteral("Clicker.hideConnectionStatus();");

// The script texts a spy on ClickerManager::sendJavaScript has caught, in order.
inline QStringList scripts(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts << arguments.at(0).toString();
    return texts;
}

#endif // TESTS_LECTERN_VOTING_VOTINGTESTSUPPORT_H
