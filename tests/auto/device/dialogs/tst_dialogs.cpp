#include "deviceinfodialog.h"
#include "relaysettingdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

class tst_Dialogs : public QObject
{
    Q_OBJECT
private slots:
    void deviceInfo_data();
    void deviceInfo();
    void deviceInfoClosesWithItsButton();
    void relayValues_data();
    void relayValues();
    void relayChoiceIsEncoded();
};

void tst_Dialogs::deviceInfo_data()
{
    QTest::addColumn<int>("serial");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<QString>("serialText");
    QTest::addColumn<QString>("lowText");
    QTest::addColumn<QString>("highText");
    QTest::newRow("nothing read yet") << 0 << 0.0f << 0.0f << "0"
                                      << "0℃"
                                      << "0℃";
    QTest::newRow("whole degrees without decimals") << 20261207 << -50.0f << 1000.0f << "20261207"
                                                    << "-50℃"
                                                    << "1000℃";
    QTest::newRow("tenths") << -5 << -12.5f << 1234.5f << "-5"
                            << "-12.5℃"
                            << "1234.5℃";
}

void tst_Dialogs::deviceInfo()
{
    QFETCH(int, serial);
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(QString, serialText);
    QFETCH(QString, lowText);
    QFETCH(QString, highText);
    DeviceInfoDialog dialog;
    QCOMPARE(int(DeviceDialogFlags), 0x0A041003);
    // Qt adds the system menu hint that a close button needs.
    QCOMPARE(dialog.windowFlags() & DeviceDialogFlags, DeviceDialogFlags);
    dialog.deviceSerial = serial;
    dialog.dialogRangeLow = low;
    dialog.dialogRangeHigh = high;
    dialog.refreshLabels();
    QCOMPARE(dialog.label_serial->text(), serialText);
    QCOMPARE(dialog.label_rangel->text(), lowText);
    QCOMPARE(dialog.label_rangeh->text(), highText);
}

void tst_Dialogs::deviceInfoClosesWithItsButton()
{
    DeviceInfoDialog dialog;
    auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Close);
    QPushButton *close = box->button(QDialogButtonBox::Close);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The fixed size leaves the button whole inside the dialog.
    QVERIFY(dialog.rect().contains(QRect(close->mapTo(&dialog, QPoint()), close->size())));
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
}

void tst_Dialogs::relayValues_data()
{
    QTest::addColumn<int>("relay1");
    QTest::addColumn<int>("relay2");
    QTest::addColumn<bool>("editable");
    QTest::newRow("high closed, low open") << 2 << 1 << true;
    QTest::newRow("all four combinations") << 3 << 0 << true;
    QTest::newRow("first not read") << 0xFFFF << 0 << false;
    QTest::newRow("second out of range") << 0 << 4 << false;
}

void tst_Dialogs::relayValues()
{
    QFETCH(int, relay1);
    QFETCH(int, relay2);
    QFETCH(bool, editable);
    RelaySettingDialog dialog;
    dialog.relay1 = quint16(relay1);
    dialog.relay2 = quint16(relay2);
    dialog.loadRelaySettings();
    QCOMPARE(dialog.widget_enable->isEnabled(), editable);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // Accepting unchanged gives back what was shown; rows that could not be used change nothing.
    QCOMPARE(int(dialog.relay1), relay1);
    QCOMPARE(int(dialog.relay2), relay2);
    if (editable) {
        QCOMPARE(dialog.radioButton_highalarm_relay1->isChecked(), bool(relay1 & 2));
        QCOMPARE(dialog.radioButton_open_relay1->isChecked(), bool(relay1 & 1));
        QCOMPARE(dialog.radioButton_highalarm_relay2->isChecked(), bool(relay2 & 2));
        QCOMPARE(dialog.radioButton_open_relay2->isChecked(), bool(relay2 & 1));
    }
}

void tst_Dialogs::relayChoiceIsEncoded()
{
    RelaySettingDialog dialog;
    dialog.relay1 = 0;
    dialog.relay2 = 0;
    dialog.loadRelaySettings();
    dialog.radioButton_highalarm_relay1->setChecked(true);
    dialog.radioButton_open_relay2->setChecked(true);
    dialog.accept();
    QCOMPARE(int(dialog.relay1), 2);
    QCOMPARE(int(dialog.relay2), 1);
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
