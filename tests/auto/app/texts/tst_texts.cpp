// What the user reads follows the language chosen at run time, with the program's catalogues
// beside the test as beside the program; and the panel before any instrument has answered.
#include "../support/windowfixture.h"
#include "chartwidget.h"
#include "language.h"
#include "navbutton.h"
#include "temperaturetile.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

namespace {

// What a user reads on `root` and its visible children: captions, list entries, tooltips.
QStringList shownTexts(const QWidget *root)
{
    QStringList texts{root->windowTitle(), root->toolTip()};
    for (const QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(root))
            continue;
        texts << w->toolTip();
        if (auto *label = qobject_cast<const QLabel *>(w))
            texts << label->text();
        else if (auto *button = qobject_cast<const QAbstractButton *>(w))
            texts << button->text();
        else if (auto *group = qobject_cast<const QGroupBox *>(w))
            texts << group->title();
        else if (auto *spin = qobject_cast<const QSpinBox *>(w))
            texts << spin->prefix() << spin->suffix();
        else if (auto *box = qobject_cast<const QComboBox *>(w)) {
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        }
    }
    texts.removeAll(QString());
    return texts;
}

// Names, units and file patterns, the same in every language.
const QStringList kLatinKept = {"Tevrano",
                                "Modbus",
                                "COM",
                                "CSV",
                                "csv",
                                "txt",
                                "png",
                                "pdf",
                                "v",
                                "V",
                                "mA",
                                "TCK",
                                "TCS",
                                "TCJ",
                                "ms",
                                "s",
                                "KB",
                                "MB",
                                "MQTT"};

// Texts of `shown` still in another language than the one chosen: Latin words in Chinese,
// Chinese characters in English.
QStringList otherLanguage(const QStringList &shown, bool english)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]+"));
    QStringList problems;
    for (const QString &text : shown) {
        if (english) {
            if (text.contains(han))
                problems << text;
            continue;
        }
        auto words = latinWord.globalMatch(text);
        while (words.hasNext()) {
            if (!kLatinKept.contains(words.next().captured())) {
                problems << text;
                break;
            }
        }
    }
    return problems;
}

} // namespace

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
    void noTextLeftInAnotherLanguage_data();
    void noTextLeftInAnotherLanguage();

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

    QTRY_COMPARE_WITH_TIMEOUT(window->connection()->portStatus()->text(), status, 5000);
    QCOMPARE(window->noteStatus()->text(), note);
    window->strip()->startStop();
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
    window->showDeviceInfo();
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
    MainMenus::switchLanguage(LanguageNames::TrChinese);
    QTest::qWait(300);
    QCOMPARE(ui.label_rangel->text(), QString());
    QCOMPARE(ui.label_rangeh->text(), QString());
    for (TemperatureTile *area : {window->tiles()->realtime(),
                                  window->tiles()->maximum(),
                                  window->tiles()->minimum(),
                                  window->tiles()->ambient()})
        QCOMPARE(area->valueLabel()->text(), QStringLiteral("---"));
}

void tst_Texts::noTextLeftInAnotherLanguage_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("screen");
    const QStringList screens = {"window", "chart settings", "about", "zoom", "save record"};
    const char *const languages[] = {"简体中文", "繁體中文", "English"};
    for (int entry = 0; entry < 3; ++entry) {
        for (const QString &screen : screens)
            QTest::addRow("%s, %s", languages[entry], qPrintable(screen)) << entry << screen;
    }
}

void tst_Texts::noTextLeftInAnotherLanguage()
{
    QFETCH(int, entry);
    QFETCH(QString, screen);
    MainWindow *window = f.openWindowWithoutPorts();
    QMenu *languages = window->form().pushButton_settings->menu()->actions().last()->menu();
    languages->actions().at(entry)->trigger();

    QStringList shown;
    Messages::setDialogRunner([&](QDialog &dialog) {
        shown << shownTexts(&dialog);
        return int(QDialog::Rejected);
    });
    Messages::setFileChooser(
            [&](Messages::FileAccess, const QString &title, const QString &filter) {
                shown << title << filter;
                return QString();
            });
    const bool english = entry == 2;
    if (screen == "window") {
        // The window follows the switch as its language events arrive.
        (void)QTest::qWaitFor([&] { return otherLanguage(shownTexts(window), english).isEmpty(); },
                              5000);
        shown << shownTexts(window);
    } else if (screen == "chart settings") {
        window->showChartSettings();
    } else if (screen == "about") {
        window->showAbout();
    } else if (screen == "zoom") {
        window->strip()->zoomHorizontally();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("ZoomScale"))
                shown << shownTexts(top);
        }
    } else {
        window->chart()->samples().append(1.0, 20.0, 19.0);
        window->chart()->exportRecord();
    }
    QVERIFY2(!shown.isEmpty(), "nothing shown");
    const QStringList problems = otherLanguage(shown, english);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral(" | "))));
}

QTEST_MAIN(tst_Texts)
#include "tst_texts.moc"
