// The port list is taken again only after a watched directory changes, and on
// every call when nothing can be watched. A listing function that counts its
// calls stands in for the system's port listing; temporary directories stand in
// for the device directories.
#include "SerialPortScanner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class SerialPortScannerTest : public QObject
{
    Q_OBJECT

private slots:
    void listsAgainOnlyAfterAChange();
    void changeDuringListingIsSeen();
    void listsEveryTimeWhenNothingIsWatched();
};

namespace {

// Creates an empty file; true on success.
bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Looks up the ports and returns how many listings have been taken so far.
int listingsAfterLookup(SerialPortScanner &scanner, const int &listings)
{
    scanner.ports();
    return listings;
}

} // namespace

void SerialPortScannerTest::listsAgainOnlyAfterAChange()
{
    QTemporaryDir devices;
    QTemporaryDir database;
    QVERIFY(devices.isValid() && database.isValid());
    int listings = 0;
    SerialPortScanner scanner({devices.path(), database.path()}, [&listings] {
        ++listings;
        return QList<QSerialPortInfo>() << QSerialPortInfo(QStringLiteral("ttyS0"));
    });

    QCOMPARE(scanner.ports().size(), 1);
    QCoreApplication::processEvents();
    // Nothing changed: the same list, without listing again.
    QCOMPARE(scanner.ports().size(), 1);
    QCOMPARE(listings, 1);

    // A device node comes: listed again.
    QVERIFY(touch(QDir(devices.path()).filePath(QStringLiteral("ttyUSB0"))));
    QTRY_COMPARE(listingsAfterLookup(scanner, listings), 2);
    // The device manager records its details later: listed again.
    QVERIFY(touch(QDir(database.path()).filePath(QStringLiteral("c188:0"))));
    QTRY_COMPARE(listingsAfterLookup(scanner, listings), 3);
    // The node goes: listed again.
    QVERIFY(QFile::remove(QDir(devices.path()).filePath(QStringLiteral("ttyUSB0"))));
    QTRY_COMPARE(listingsAfterLookup(scanner, listings), 4);

    QCoreApplication::processEvents();
    QCOMPARE(listingsAfterLookup(scanner, listings), 4);
}

void SerialPortScannerTest::changeDuringListingIsSeen()
{
    QTemporaryDir devices;
    QVERIFY(devices.isValid());
    const QString node = QDir(devices.path()).filePath(QStringLiteral("ttyUSB0"));
    int listings = 0;
    // The device appears while the first listing runs, too late to be in it.
    SerialPortScanner scanner({devices.path()}, [&listings, &node] {
        if (++listings == 1)
            touch(node);
        return QList<QSerialPortInfo>();
    });

    scanner.ports();
    QVERIFY(QFile::exists(node));
    QTRY_COMPARE(listingsAfterLookup(scanner, listings), 2);
}

void SerialPortScannerTest::listsEveryTimeWhenNothingIsWatched()
{
    QTemporaryDir parent;
    QVERIFY(parent.isValid());
    int listings = 0;
    SerialPortScanner scanner({QDir(parent.path()).filePath(QStringLiteral("absent"))},
                              [&listings] {
                                  ++listings;
                                  return QList<QSerialPortInfo>();
                              });

    scanner.ports();
    scanner.ports();
    scanner.ports();
    QCOMPARE(listings, 3);
}

QTEST_GUILESS_MAIN(SerialPortScannerTest)
#include "SerialPortScannerTest.moc"
