// The window's menus, languages, title bar and chart buttons, without an instrument.
#include "../support/windowfixture.h"
#include "chartwidget.h"
#include "language.h"
#include "navbutton.h"
#include "recordfile.h"
#include "titlebar.h"

#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>

class tst_Menus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(f.setUp()); }
    void init() { f.reset(); }
    void cleanup() { f.reset(); }

    void menuEntries();
    void absentCatalogueKeepsSourceTexts();
    void languageEntriesStoreTheirNames_data();
    void languageEntriesStoreTheirNames();
    void titleBarDoubleClick();
    void chartButtonsNeedAnInstrument();
    void chartButtonsActOncePerClick();
    void importAndChartSettingsRefusedWhileRecording_data();
    void importAndChartSettingsRefusedWhileRecording();
    void importLoadsTheChosenFile();
    void chartSettingsApplyWhenAccepted();
    void panelVisibilityIsStored();
    void recordingLocksThePanel();
    void failedOpeningIsReported();

private:
    static QStringList entries(QMenu *menu);
    WindowFixture f;
};

QStringList tst_Menus::entries(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->menu() ? action->menu()->title() + QLatin1String(">")
                                    : action->text());
    return texts;
}

void tst_Menus::menuEntries()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    QCOMPARE(entries(ui.pushButton_file->menu()),
             QStringList({"打开记录", "保存记录", "导出图片…", "导出CSV…", "退出"}));
    QCOMPARE(entries(ui.pushButton_device->menu()), QStringList({"仪器信息"}));
    QCOMPARE(
            entries(ui.pushButton_settings->menu()),
            QStringList({"参数设置>", "表格设置", "继电器设置", "MQTT 设置", "报警声音", "语言>"}));
    QCOMPARE(entries(ui.pushButton_help->menu()), QStringList({"关于"}));
    QVERIFY(ui.pushButton_file->menu()->styleSheet().startsWith(
            QLatin1String("QMenu {background-color:rgba(205,205,205,255)")));
}

void tst_Menus::absentCatalogueKeepsSourceTexts()
{
    MainWindow *window = f.openWindowWithoutPorts();
    MainMenus::switchLanguage(LanguageNames::English); // no English.qm beside the test program
    const MainWindowUi &ui = window->form();
    QCOMPARE(ui.pushButton_file->text(), QStringLiteral("文件"));
    QCOMPARE(ui.navButton_export->text(), QStringLiteral("保存记录"));
    QCOMPARE(entries(ui.pushButton_file->menu()).first(), QStringLiteral("打开记录"));
    QCOMPARE(ui.pushButton_com->text(), QStringLiteral("打开设备"));
    QTRY_COMPARE_WITH_TIMEOUT(
            window->connection()->portStatus()->text(), QStringLiteral("找不到合适COM"), 5000);
}

void tst_Menus::languageEntriesStoreTheirNames_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("stored");
    QTest::newRow("简体中文") << 0 << "Simplified Chinese";
    QTest::newRow("繁體中文") << 1 << "Tr Chinese";
    QTest::newRow("English") << 2 << "English";
}

void tst_Menus::languageEntriesStoreTheirNames()
{
    QFETCH(int, entry);
    QFETCH(QString, stored);
    MainWindow *window = f.openWindowWithoutPorts();
    QMenu *settings = window->form().pushButton_settings->menu();
    QMenu *languages = settings->actions().last()->menu();
    languages->actions().at(entry)->trigger();
    QCOMPARE(appSettings().value(QStringLiteral("Language")), stored);
    // The entries keep the names they were made with, whatever language is active.
    QCOMPARE(entries(languages), QStringList({"简体中文", "繁體中文", "English"}));
    QVERIFY(currentTranslator());
}

void tst_Menus::titleBarDoubleClick()
{
    MainWindow *window = f.openWindowWithoutPorts();
    auto *change = window->titleBar()->findChild<QToolButton *>(QStringLiteral("ChangeButton"));
    QVERIFY(change);
    QCOMPARE(change->styleSheet(), windowButtonStyleSheet(QStringLiteral("expand")));
    QTest::mouseDClick(
            window->titleBar(), Qt::LeftButton, {}, QPoint(window->titleBar()->width() / 2, 5));
    QTRY_VERIFY_WITH_TIMEOUT(window->isMaximized(), 5000);
    QCOMPARE(change->styleSheet(), windowButtonStyleSheet(QStringLiteral("reduce")));
    QTest::mouseDClick(
            window->titleBar(), Qt::LeftButton, {}, QPoint(window->titleBar()->width() / 2, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isMaximized(), 5000);
    QCOMPARE(change->styleSheet(), windowButtonStyleSheet(QStringLiteral("expand")));
}

void tst_Menus::chartButtonsNeedAnInstrument()
{
    MainWindow *window = f.openWindowWithoutPorts();
    window->strip()->startStop();
    QCOMPARE(f.shown.size(), 1);
    QCOMPARE(f.shown.first().title, QStringLiteral("提示"));
    QCOMPARE(f.shown.first().text, QStringLiteral("设备未连接"));
    QVERIFY(!window->chart()->isRecording());
    // A zoom pauses the view first.
    window->strip()->zoomHorizontally();
    QVERIFY(window->chart()->isPaused());
    QCOMPARE(window->form().navButton_hc->text(), QStringLiteral("继续"));
    window->strip()->toggleAmbient();
    QVERIFY(window->chart()->ambientVisible());
    // The chart follows the readings from the start; the button turns that off.
    QVERIFY(window->chart()->autoFit());
    window->strip()->toggleAutoFit();
    QVERIFY(!window->chart()->autoFit());
}

void tst_Menus::chartButtonsActOncePerClick()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    ChartWidget *chart = window->chart();
    // A button wired twice acts twice: a toggle comes back, a refusal is told twice.
    ui.navButton_startstop->click();
    QCOMPARE(f.shown.size(), 1);
    ui.navButton_trigger->click();
    QCOMPARE(f.shown.size(), 2);
    ui.navButton_hc->click();
    QVERIFY(chart->isPaused());
    ui.navButton_amb->click();
    QVERIFY(chart->ambientVisible());
    ui.navButton_mode->click();
    QCOMPARE(chart->viewMode(), 1);
    ui.navButton_autofit->click();
    QVERIFY(!chart->autoFit());
    // The form's texts come back on a language change; the pause stays told.
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(window, &change);
    QCOMPARE(ui.navButton_hc->text(), QStringLiteral("继续"));
}

void tst_Menus::importAndChartSettingsRefusedWhileRecording_data()
{
    QTest::addColumn<bool>("import");
    QTest::newRow("import") << true;
    QTest::newRow("chart settings") << false;
}

void tst_Menus::importAndChartSettingsRefusedWhileRecording()
{
    QFETCH(bool, import);
    MainWindow *window = f.openWindowWithoutPorts();
    bool asked = false;
    Messages::setFileChooser([&](Messages::FileAccess, const QString &, const QString &) {
        asked = true;
        return QString();
    });
    Messages::setDialogRunner([&](QDialog &) {
        asked = true;
        return int(QDialog::Rejected);
    });
    window->chart()->session().start();
    if (import)
        window->importRecords();
    else
        window->showChartSettings();
    window->chart()->session().stop();
    QVERIFY(!asked);
    QCOMPARE(f.shown.size(), 1);
    QCOMPARE(f.shown.first().icon, QMessageBox::Warning);
    QCOMPARE(f.shown.first().text, QStringLiteral("正在记录数据，请先停止！"));
}

void tst_Menus::importLoadsTheChosenFile()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const QString path = f.dir.filePath(QStringLiteral("record.txt"));
    RecordSeries series;
    for (int i = 0; i < 50; ++i) {
        series.durations.append(i * 0.1);
        series.temperatures.append(20.0 + i);
        series.ambients.append(23.5);
    }
    RecordHeader header;
    header.recordInterval = 100;
    QVERIFY(saveRecordFile(path, header, series));
    QString filter;
    Messages::setFileChooser(
            [&](Messages::FileAccess access, const QString &title, const QString &offered) {
                filter = offered;
                return access == Messages::FileAccess::Open && title == QStringLiteral("选择文件")
                               ? path
                               : QString();
            });
    window->importRecords();
    // Files saved under other suffixes stay reachable.
    QCOMPARE(filter, QStringLiteral("文件(*.txt*);;所有文件(*)"));
    QTRY_COMPARE_WITH_TIMEOUT(window->chart()->samples().size(), 50, 10000);
}

void tst_Menus::chartSettingsApplyWhenAccepted()
{
    MainWindow *window = f.openWindowWithoutPorts();
    appSettings().setValue(QStringLiteral("ChartLineCache"), QStringLiteral("5"));
    appSettings().setValue(QStringLiteral("ChartLineFPS"), QStringLiteral("500"));
    Messages::setDialogRunner([](QDialog &) { return int(QDialog::Rejected); });
    window->showChartSettings();
    QVERIFY(window->chart()->cacheSize() != 5000);
    Messages::setDialogRunner([](QDialog &) { return int(QDialog::Accepted); });
    window->showChartSettings();
    QCOMPARE(window->chart()->cacheSize(), 5000);
    QCOMPARE(window->chart()->recordInterval(), 500);
}

void tst_Menus::panelVisibilityIsStored()
{
    MainWindow *window = f.openWindowWithoutPorts();
    window->hideParameterPanel();
    QVERIFY(!window->form().scrollArea->isVisible());
    QCOMPARE(appSettings().value(QStringLiteral("ShowSettingPanel")), QStringLiteral("0"));
    f.reset();
    window = f.openWindowWithoutPorts();
    QVERIFY(!window->form().scrollArea->isVisible());
    window->showParameterPanel();
    QCOMPARE(appSettings().value(QStringLiteral("ShowSettingPanel")), QStringLiteral("1"));
}

void tst_Menus::recordingLocksThePanel()
{
    MainWindow *window = f.openWindowWithoutPorts();
    const MainWindowUi &ui = window->form();
    emit window->chart()->recordingChanged(true);
    QVERIFY(!ui.widget_params->isEnabled());
    QVERIFY(!ui.pushButton_com->isEnabled());
    QVERIFY(!ui.navButton_restore->isEnabled());
    emit window->chart()->recordingChanged(false);
    QVERIFY(ui.widget_params->isEnabled());
    QVERIFY(ui.pushButton_com->isEnabled());
    QVERIFY(ui.navButton_restore->isEnabled());
}

void tst_Menus::failedOpeningIsReported()
{
    MainWindow *window = f.openWindowWithoutPorts();
    window->instrument()->open({f.dir.filePath(QStringLiteral("missing")), 9600, 0});
    QTRY_COMPARE_WITH_TIMEOUT(f.shown.size(), 1, 5000);
    QCOMPARE(f.shown.first().icon, QMessageBox::Critical);
    QCOMPARE(f.shown.first().title, QStringLiteral("错误"));
    QCOMPARE(f.shown.first().text, QStringLiteral("无法打开端口"));
    QCOMPARE(window->form().pushButton_com->text(), QStringLiteral("打开设备"));
}

QTEST_MAIN(tst_Menus)
#include "tst_menus.moc"
