#include "switchbutton.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QColor pixelAt(QWidget &widget, const QPoint &point)
{
    return QColor(widget.grab().toImage().pixel(point));
}

} // namespace

class TestSwitchButton : public QObject
{
    Q_OBJECT

private slots:
    void userToggle_data();
    void userToggle();
    void setCheckedIsSilent_data();
    void setCheckedIsSilent();
    void textFollowsState();
    void knobFollowsState();
};

void TestSwitchButton::userToggle_data()
{
    QTest::addColumn<bool>("initial");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("toggles");

    QTest::newRow("click turns on") << false << true << "click" << true;
    QTest::newRow("click turns off") << true << true << "click" << true;
    QTest::newRow("space turns on") << false << true << "space" << true;
    QTest::newRow("space turns off") << true << true << "space" << true;
    QTest::newRow("right button ignored") << false << true << "right" << false;
    QTest::newRow("released outside") << false << true << "drag-off" << false;
    QTest::newRow("other key ignored") << false << true << "enter" << false;
    QTest::newRow("disabled click") << false << false << "click" << false;
    QTest::newRow("disabled space") << true << false << "space" << false;
}

void TestSwitchButton::userToggle()
{
    QFETCH(bool, initial);
    QFETCH(bool, enabled);
    QFETCH(QString, input);
    QFETCH(bool, toggles);

    SwitchButton button;
    button.resize(button.sizeHint());
    button.setChecked(initial);
    button.setEnabled(enabled);
    QSignalSpy spy(&button, &SwitchButton::checkedChanged);

    if (input == "click") {
        QTest::mouseClick(&button, Qt::LeftButton);
    } else if (input == "right") {
        QTest::mouseClick(&button, Qt::RightButton);
    } else if (input == "drag-off") {
        QTest::mousePress(&button, Qt::LeftButton);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() + 10, 5));
    } else if (input == "space") {
        QTest::keyClick(&button, Qt::Key_Space);
    } else {
        QTest::keyClick(&button, Qt::Key_Return);
    }

    const bool expected = toggles ? !initial : initial;
    QCOMPARE(button.isChecked(), expected);
    QCOMPARE(spy.count(), toggles ? 1 : 0);
    if (toggles)
        QCOMPARE(spy.first().first().toBool(), expected);
}

void TestSwitchButton::setCheckedIsSilent_data()
{
    QTest::addColumn<bool>("initial");
    QTest::addColumn<bool>("value");

    QTest::newRow("off to on") << false << true;
    QTest::newRow("on to off") << true << false;
    QTest::newRow("on again") << true << true;
}

void TestSwitchButton::setCheckedIsSilent()
{
    QFETCH(bool, initial);
    QFETCH(bool, value);

    SwitchButton button;
    button.setChecked(initial);
    QSignalSpy spy(&button, &SwitchButton::checkedChanged);

    button.setChecked(value);
    QCOMPARE(button.isChecked(), value);
    QCOMPARE(spy.count(), 0);

    // The state set from code is the one a later click starts from.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toBool(), !value);
}

void TestSwitchButton::textFollowsState()
{
    SwitchButton button;
    button.setTextOn("on");
    button.setTextOff("off");
    QCOMPARE(button.currentText(), QString("off"));

    button.setChecked(true);
    QCOMPARE(button.currentText(), QString("on"));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(button.currentText(), QString("off"));

    // A language change sets both texts again while the state stays.
    button.setChecked(true);
    button.setTextOn("an");
    button.setTextOff("aus");
    QCOMPARE(button.currentText(), QString("an"));
}

void TestSwitchButton::knobFollowsState()
{
    SwitchButton button;
    button.resize(60, 24);
    // Centres of the knob's two resting places.
    const QPoint left(12, 12);
    const QPoint right(48, 12);

    const QColor offLeft = pixelAt(button, left);
    const QColor offRight = pixelAt(button, right);
    QVERIFY(offLeft != offRight);

    button.setChecked(true);
    const QColor onLeft = pixelAt(button, left);
    const QColor onRight = pixelAt(button, right);
    // The knob moved to the other end and the track changed colour.
    QCOMPARE(onRight, offLeft);
    QVERIFY(onLeft != offLeft);
    QVERIFY(onLeft != offRight);
}

QTEST_MAIN(TestSwitchButton)
#include "tst_switchbutton.moc"
