#include "alarm.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(AlarmState)

class tst_Alarm : public QObject
{
    Q_OBJECT
private slots:
    void sequence_data();
    void sequence();
};

// Each row feeds the readings in turn and checks the state after each one; high 35, low 30.
void tst_Alarm::sequence_data()
{
    QTest::addColumn<bool>("highEnabled");
    QTest::addColumn<bool>("lowEnabled");
    QTest::addColumn<QVector<double>>("readings");
    QTest::addColumn<QVector<AlarmState>>("states");
    using S = AlarmState;
    const double gap = std::nan("");
    QTest::newRow("above, below, inside") << true << true << QVector<double>{42.8, 28.8, 32.0}
                                          << QVector<S>{S::High, S::Low, S::None};
    QTest::newRow("at the thresholds")
            << true << true << QVector<double>{35.0, 30.0} << QVector<S>{S::None, S::None};
    QTest::newRow("high hysteresis") << true << true << QVector<double>{35.1, 34.6, 34.5, 34.9}
                                     << QVector<S>{S::High, S::High, S::None, S::None};
    QTest::newRow("low hysteresis") << true << true << QVector<double>{29.9, 30.4, 30.5}
                                    << QVector<S>{S::Low, S::Low, S::None};
    QTest::newRow("disabled") << false << false << QVector<double>{42.8, 28.8}
                              << QVector<S>{S::None, S::None};
    QTest::newRow("gaps keep the state") << true << true << QVector<double>{40.0, gap, 32.0, gap}
                                         << QVector<S>{S::High, S::High, S::None, S::None};
    QTest::newRow("gap never starts one")
            << true << true << QVector<double>{gap} << QVector<S>{S::None};
    QTest::newRow("high straight to low")
            << true << true << QVector<double>{40.0, 20.0} << QVector<S>{S::High, S::Low};
}

void tst_Alarm::sequence()
{
    QFETCH(bool, highEnabled);
    QFETCH(bool, lowEnabled);
    QFETCH(QVector<double>, readings);
    QFETCH(QVector<AlarmState>, states);
    AlarmMonitor monitor;
    monitor.setThresholds({highEnabled, 35.0, lowEnabled, 30.0});
    for (int i = 0; i < readings.size(); ++i)
        QCOMPARE(monitor.update(readings[i]), states[i]);
}

QTEST_APPLESS_MAIN(tst_Alarm)
#include "tst_alarm.moc"
