// The trigger dialog shows levels and rates in the instrument's unit and hands them out in Celsius.
#include "triggerdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QtTest>

Q_DECLARE_METATYPE(Trigger)

class tst_TriggerDialog : public QObject
{
    Q_OBJECT
private slots:
    void unitsAndRoundTrip_data();
    void unitsAndRoundTrip();
};

void tst_TriggerDialog::unitsAndRoundTrip_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<double>("shown");
    QTest::addColumn<bool>("levelEnabled");
    const auto make = [](Trigger::Kind kind, double level, double pre, double post, bool once) {
        Trigger t;
        t.kind = kind;
        t.level = level;
        t.preS = pre;
        t.postS = post;
        t.once = once;
        return t;
    };
    QTest::newRow("above, Celsius")
            << 2 << make(Trigger::Kind::Above, 50, 5, 2.5, false) << 50.0 << true;
    QTest::newRow("below, Fahrenheit")
            << 1 << make(Trigger::Kind::Below, 50, 10, 10, true) << 122.0 << true;
    QTest::newRow("falling rate, Fahrenheit: no offset")
            << 1 << make(Trigger::Kind::Rate, -2, 1, 0, false) << -3.6 << true;
    QTest::newRow("alarm: no level")
            << 2 << make(Trigger::Kind::Alarm, 0, 30, 60, true) << 0.0 << false;
}

void tst_TriggerDialog::unitsAndRoundTrip()
{
    QFETCH(int, unit);
    QFETCH(Trigger, trigger);
    QFETCH(double, shown);
    QFETCH(bool, levelEnabled);
    TriggerDialog dialog(unit);
    dialog.setTrigger(trigger);
    QCOMPARE(dialog.levelBox()->value(), shown);
    QCOMPARE(dialog.levelBox()->isEnabled(), levelEnabled);
    const Trigger back = dialog.trigger();
    QCOMPARE(int(back.kind), int(trigger.kind));
    QCOMPARE(back.level, trigger.level);
    QCOMPARE(back.preS, trigger.preS);
    QCOMPARE(back.postS, trigger.postS);
    QCOMPARE(back.once, trigger.once);
}

QTEST_MAIN(tst_TriggerDialog)
#include "tst_triggerdialog.moc"
