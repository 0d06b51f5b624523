#include "ScriptWatchdog.h"

#include <QtTest>

class ScriptWatchdogTest : public QObject
{
    Q_OBJECT

private slots:
    void thresholdFromSetting_data();
    void thresholdFromSetting();
};

void ScriptWatchdogTest::thresholdFromSetting_data()
{
    QTest::addColumn<QVariant>("setting");
    QTest::addColumn<int>("thresholdMs");
    // Settings come from the INI file as text.
    const auto row = [](const char *name, const QVariant &setting, int thresholdMs) {
        QTest::newRow(name) << setting << thresholdMs;
    };
    row("missing: the production value", QVariant(), 10000);
    row("short", QStringLiteral("1500"), 1500);
    row("below the minimum", QStringLiteral("999"), 1000);
    row("negative", QStringLiteral("-5000"), 1000);
    row("no number", QStringLiteral("ten"), 10000);
    row("beyond int", QStringLiteral("99999999999"), 10000);
}

void ScriptWatchdogTest::thresholdFromSetting()
{
    QFETCH(QVariant, setting);
    QFETCH(int, thresholdMs);
    QCOMPARE(ScriptWatchdog::thresholdFromSetting(setting), thresholdMs);
}

QTEST_GUILESS_MAIN(ScriptWatchdogTest)
#include "ScriptWatchdogTest.moc"
