// What the user reads follows the language chosen at run time, with the program's catalogues
// beside the test as beside the program; and the panel before any instrument has answered.
#include "../support/windowfixture.h"
#include "navbutton.h"
#include "tempareaitem.h"

#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

class tst_Texts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(f.setUp()); }
    void init() { f.reset(); }
    void cleanup() { f.reset(); }

    void switchAtRunTime_data();
    void switchAtRunTime();
    void panelEmptyUntilTheInstrumentAnswers();

private:
    WindowFixture f;
};

void tst_Texts::switchAtRunTime_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("closeButton");
    // Each row switches away from the language the previous one left stored.
    QTest::newRow("简体中文") << 0 << "找不到合适COM"
                              << "模拟仪器"
                              << "提示"
                              << "设备未连接"
                              << "关闭";
    QTest::newRow("繁體中文") << 1 << "找不到合適的COM埠"
                              << "模擬儀器"
                              << "提示"
                              << "裝置未連線"
                              << "關閉";
    QTest::newRow("English") << 2 << "No suitable COM port"
                             << "Simulated device"
                             << "Notice"
                             << "Device not connected"
                             << "Close";
}

void tst_Texts::switchAtRunTime()
{
    QFETCH(int, entry);
    QFETCH(QString, status);
    QFETCH(QString, note);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, closeButton);

    MainWindow *window = f.openWindowWithoutPorts();
    window->setInstrumentNote(QT_TRANSLATE_NOOP("MainWindow", "模拟仪器"));
    QMenu *languages = window->form().pushButton_settings->menu()->actions().last()->menu();
    languages->actions().at(entry)->trigger();
    for (int i = 0; i < languages->actions().size(); ++i)
        QCOMPARE(languages->actions().at(i)->isChecked(), i == entry);

    QTRY_COMPARE_WITH_TIMEOUT(window->portStatus()->text(), status, 5000);
    QCOMPARE(window->noteStatus()->text(), note);
    window->on_navButton_startstop_clicked();
    QCOMPARE(f.shown.size(), 1);
    QCOMPARE(f.shown.first().title, title);
    QCOMPARE(f.shown.first().text, text);

    // Qt's own buttons come from Qt's catalogue of the same language.
    QString shownClose;
    Messages::setDialogRunner([&](QDialog &dialog) {
        if (auto *box = dialog.findChild<QDialogButtonBox *>())
            shownClose = box->button(QDialogButtonBox::Close)->text();
        return int(QDialog::Rejected);
    });
    window->ClickDeviceInfo();
    QCOMPARE(shownClose, closeButton);

    // The next window starts in the stored language and marks it.
    f.reset();
    window = f.openWindowWithoutPorts();
    languages = window->form().pushButton_settings->menu()->actions().last()->menu();
    QVERIFY(languages->actions().at(entry)->isChecked());
}

void tst_Texts::panelEmptyUntilTheInstrumentAnswers()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    // After the language events of the start and of a switch.
    QTest::qWait(300);
    window->ClickTrChinese();
    QTest::qWait(300);
    QCOMPARE(ui.label_rangel->text(), QString());
    QCOMPARE(ui.label_rangeh->text(), QString());
    for (TempAreaItem *area : {window->areaRealtime(),
                               window->areaMaximum(),
                               window->areaMinimum(),
                               window->areaAmbient()})
        QCOMPARE(area->valueLabel()->text(), QStringLiteral("---"));
}

QTEST_MAIN(tst_Texts)
#include "tst_texts.moc"
