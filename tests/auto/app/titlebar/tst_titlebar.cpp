#include "framelessframe.h"
#include "navbutton.h"
#include "titlebar.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTime>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

// Marks every text of the title bar's context, so a test can see which
// texts went through the translator after a language change.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context,
                      const char *sourceText,
                      const char * /*disambiguation*/,
                      int /*n*/) const override
    {
        if (qstrcmp(context, "TitleBar") != 0)
            return QString();
        return QLatin1Char('[') + QString::fromUtf8(sourceText) + QLatin1Char(']');
    }
    bool isEmpty() const override { return false; }
};

// Stands in for the main window: a frameless top-level window that toggles
// between normal and maximized the way its toggleMaximized slot does.
struct TitledWindow
{
    TitledWindow()
    {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(bar);
        layout->addStretch();
        window.resize(640, 400);
        new FramelessFrame(&window, bar);
        QObject::connect(bar, &TitleBar::maximizeClicked, &window, [this] {
            if (window.isMaximized()) {
                window.showNormal();
                bar->changeImage(true);
            } else {
                window.showMaximized();
                bar->changeImage(false);
            }
        });
    }

    QWidget window;
    TitleBar *bar = new TitleBar(&window);
};

QString middleButtonStyle(TitleBar &bar)
{
    return bar.findChild<QToolButton *>("ChangeButton")->styleSheet();
}

// Seconds between a shown "hh:mm:ss" and now, across midnight.
int secondsFromNow(const QString &shown)
{
    const QTime time = QTime::fromString(shown, "hh:mm:ss");
    if (!time.isValid())
        return 86400;
    const int difference = qAbs(time.secsTo(QTime::currentTime()));
    return qMin(difference, 86400 - difference);
}

const QStringList TitleBarSignals = {"minimizeClicked",
                                     "closeClicked",
                                     "maximizeClicked",
                                     "fileClicked",
                                     "actionAbout",
                                     "actionImportData",
                                     "actionExportData",
                                     "actionExit",
                                     "actionDeviceInfo",
                                     "actionChartSettings",
                                     "actionChinese",
                                     "actionEnglish"};

} // namespace

class TestTitleBar : public QObject
{
    Q_OBJECT

private slots:
    void heightRule_data();
    void heightRule();
    void barTakesHeightFromDesktop();
    void showsLogoNameAndHidesMenuRow();
    void windowButtonImagesExist();
    void doubleClickTogglesWindow_data();
    void doubleClickTogglesWindow();
    void clockFollowsLocalTime();
    void signalsInOrder();
    void sourcesEmitTheirSignal_data();
    void sourcesEmitTheirSignal();
    void languageChangeRetranslates();
    void dragMovesByTitleBarOnly_data();
    void dragMovesByTitleBarOnly();
};

void TestTitleBar::heightRule_data()
{
    QTest::addColumn<int>("desktopHeight");
    QTest::addColumn<int>("barHeight");
    QTest::newRow("1000") << 1000 << 65;
    QTest::newRow("1080, fraction dropped") << 1080 << 70;
    QTest::newRow("768, fraction .92 dropped") << 768 << 49;
    QTest::newRow("2160") << 2160 << 140;
    QTest::newRow("15, below one") << 15 << 0;
}

void TestTitleBar::heightRule()
{
    QFETCH(int, desktopHeight);
    QFETCH(int, barHeight);
    QCOMPARE(titleBarHeight(desktopHeight), barHeight);
}

void TestTitleBar::barTakesHeightFromDesktop()
{
    TitledWindow titled;
    titled.window.show();
    const int desktopHeight = QGuiApplication::primaryScreen()->virtualGeometry().height();
    QCOMPARE(titled.bar->height(), titleBarHeight(desktopHeight));
    QCOMPARE(titled.bar->minimumHeight(), titled.bar->maximumHeight());
}

void TestTitleBar::showsLogoNameAndHidesMenuRow()
{
    TitledWindow titled;
    titled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&titled.window));

    auto *logo = titled.bar->findChild<QLabel *>("label_logo");
    QVERIFY(!logo->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(titled.bar->findChild<QLabel *>("label_appname")->text(), QString("Tevrano"));
    QVERIFY(!titled.bar->findChild<QWidget *>("widget_menu")->isVisible());
    QVERIFY(titled.bar->findChild<QToolButton *>("CloseButton")->isVisible());
    QVERIFY(titled.bar->windowFlags().testFlag(Qt::FramelessWindowHint));
}

void TestTitleBar::windowButtonImagesExist()
{
    TitleBar bar;
    QCOMPARE(bar.findChild<QToolButton *>("CloseButton")->styleSheet(),
             QString("QToolButton{border-image:url(:/imager/light/window_close_normal.png);"
                     "background-color:transparent;}QToolButton:hover{border-image:url(:/imager/"
                     "light/window_close_hover.png)}QToolButton:pressed{border-image:url(:/imager/"
                     "light/window_close_press.png)}"));

    bar.changeImage(false);
    QStringList sheets;
    for (const char *name : {"MinimizeButton", "ChangeButton", "CloseButton"})
        sheets << bar.findChild<QToolButton *>(name)->styleSheet();
    sheets << windowButtonStyleSheet("expand");

    const QRegularExpression url("url\\((:/[^)]+)\\)");
    int images = 0;
    for (const QString &sheet : qAsConst(sheets)) {
        for (auto it = url.globalMatch(sheet); it.hasNext(); ++images) {
            const QString path = it.next().captured(1);
            QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
        }
    }
    QCOMPARE(images, 12);
}

void TestTitleBar::doubleClickTogglesWindow_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("bar itself") << "TitleBar" << true;
    QTest::newRow("clock label") << "label_clock" << true;
    QTest::newRow("application name") << "label_appname" << true;
    QTest::newRow("close button") << "CloseButton" << false;
}

void TestTitleBar::doubleClickTogglesWindow()
{
    QFETCH(QString, target);
    QFETCH(bool, toggles);

    TitledWindow titled;
    titled.bar->setObjectName("TitleBar");
    titled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&titled.window));
    auto *widget = target == titled.bar->objectName() ? titled.bar
                                                      : titled.bar->findChild<QWidget *>(target);
    QVERIFY(widget);
    const QString expand = windowButtonStyleSheet("expand");
    const QString reduce = windowButtonStyleSheet("reduce");
    QCOMPARE(middleButtonStyle(*titled.bar), expand);

    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    if (!toggles) {
        QVERIFY(!titled.window.isMaximized());
        QCOMPARE(middleButtonStyle(*titled.bar), expand);
        return;
    }
    QTRY_VERIFY(titled.window.isMaximized());
    QCOMPARE(middleButtonStyle(*titled.bar), reduce);

    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTRY_VERIFY(!titled.window.isMaximized());
    QCOMPARE(middleButtonStyle(*titled.bar), expand);
}

void TestTitleBar::clockFollowsLocalTime()
{
    TitleBar bar;
    auto *clock = bar.findChild<QLabel *>("label_clock");
    QCOMPARE(clock->text(), QString("00:00:00"));

    // Generous bounds: a loaded machine may delay ticks by seconds.
    QTRY_VERIFY_WITH_TIMEOUT(secondsFromNow(clock->text()) <= 5, 10000);
    const QString firstShown = clock->text();
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != firstShown, 10000);
    QVERIFY2(secondsFromNow(clock->text()) <= 5, qPrintable(clock->text()));
}

void TestTitleBar::signalsInOrder()
{
    const QMetaObject &meta = TitleBar::staticMetaObject;
    QStringList declared;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            declared << QString::fromLatin1(meta.method(i).name());
    }
    QCOMPARE(declared, TitleBarSignals);
}

void TestTitleBar::sourcesEmitTheirSignal_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expectedSignal");
    QTest::newRow("minimize button") << "MinimizeButton"
                                     << "minimizeClicked";
    QTest::newRow("close button") << "CloseButton"
                                  << "closeClicked";
    QTest::newRow("middle button") << "ChangeButton"
                                   << "maximizeClicked";
    QTest::newRow("file button") << "pushButton_file"
                                 << "fileClicked";
    QTest::newRow("import entry") << "actionImportData"
                                  << "actionImportData";
    QTest::newRow("save curve entry") << "actionExportData"
                                      << "actionExportData";
    QTest::newRow("exit entry") << "actionExit"
                                << "actionExit";
    QTest::newRow("device entry") << "actionDeviceInfo"
                                  << "actionDeviceInfo";
    QTest::newRow("chart settings entry") << "actionChartSettings"
                                          << "actionChartSettings";
    QTest::newRow("Chinese entry") << "actionChinese"
                                   << "actionChinese";
    QTest::newRow("English entry") << "actionEnglish"
                                   << "actionEnglish";
    QTest::newRow("about entry") << "actionAbout"
                                 << "actionAbout";
}

void TestTitleBar::sourcesEmitTheirSignal()
{
    QFETCH(QString, source);
    QFETCH(QString, expectedSignal);

    TitledWindow titled;
    titled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&titled.window));
    TitleBar *bar = titled.bar;

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const QString &name : TitleBarSignals) {
        const QByteArray signal = QByteArray::number(QSIGNAL_CODE) + name.toLatin1() + "()";
        spies.push_back(std::make_unique<QSignalSpy>(bar, signal.constData()));
        QVERIFY(spies.back()->isValid());
    }
    // The file button opens its menu modally when pressed; close it from
    // inside that loop so the click can finish.
    QTimer popupCloser;
    connect(&popupCloser, &QTimer::timeout, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    popupCloser.start(20);

    if (auto *action = bar->findChild<QAction *>(source))
        action->trigger();
    else if (auto *button = bar->findChild<QAbstractButton *>(source))
        button->click();
    else
        QFAIL("no such source");

    for (int i = 0; i < TitleBarSignals.size(); ++i) {
        const int expected = TitleBarSignals.at(i) == expectedSignal ? 1 : 0;
        QVERIFY2(spies.at(i)->count() == expected, qPrintable(TitleBarSignals.at(i)));
    }
}

void TestTitleBar::dragMovesByTitleBarOnly_data()
{
    QTest::addColumn<bool>("onTitleBar");
    QTest::newRow("title bar") << true;
    QTest::newRow("below it") << false;
}

void TestTitleBar::dragMovesByTitleBarOnly()
{
    QFETCH(bool, onTitleBar);
    TitledWindow titled;
    titled.window.move(50, 50);
    titled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&titled.window));
    const QPoint start = titled.window.pos();
    // Away from the resizing edges, within or just below the bar.
    const QPoint local(100, onTitleBar ? titled.bar->height() / 2 : titled.bar->height() + 20);
    const QPoint global = titled.window.mapToGlobal(local);
    const QPoint step(30, 40);
    const auto send = [&](QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons) {
        QMouseEvent event(
                type, titled.window.mapFromGlobal(at), at, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&titled.window, &event);
    };
    send(QEvent::MouseButtonPress, global, Qt::LeftButton);
    send(QEvent::MouseMove, global + step, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, global + step, Qt::NoButton);
    QCOMPARE(titled.window.pos(), onTitleBar ? start + step : start);
}

void TestTitleBar::languageChangeRetranslates()
{
    TitleBar bar;
    auto *clock = bar.findChild<QLabel *>("label_clock");
    QTRY_VERIFY_WITH_TIMEOUT(secondsFromNow(clock->text()) <= 5, 10000);

    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto removeTranslator
            = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });

    // The application posts the change to each window; the bar follows when
    // its window handles it.
    QTRY_COMPARE(bar.windowTitle(), QString("[Form]"));
    QCOMPARE(bar.findChild<NavButton *>("pushButton_file")->text(), QString("[文件]"));
    QCOMPARE(bar.findChild<NavButton *>("pushButton_help")->text(), QString("[帮助]"));
    QCOMPARE(bar.findChild<QAction *>("actionExportData")->text(), QString("[保存曲线]"));
    QCOMPARE(bar.findChild<QAction *>("actionAbout")->text(), QString("[关于]"));
    QCOMPARE(bar.findChild<QMenu *>("menu_language")->title(), QString("[语言]"));
    QCOMPARE(bar.findChild<QAction *>("actionChinese")->text(), QString("简体中文"));
    QCOMPARE(bar.findChild<QAction *>("actionEnglish")->text(), QString("English"));
    QCOMPARE(bar.findChild<QAction *>("actionImportData")->text(), QString());
    QCOMPARE(bar.findChild<QLabel *>("label_appname")->text(), QString("Tevrano"));
    QVERIFY2(secondsFromNow(clock->text()) <= 5, qPrintable(clock->text()));

    QCoreApplication::removeTranslator(&translator);
    QTRY_COMPARE(bar.findChild<NavButton *>("pushButton_file")->text(), QString("文件"));
    QCOMPARE(bar.findChild<QAction *>("actionExportData")->text(), QString("保存曲线"));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tevrano");
    TestTitleBar test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_titlebar.moc"
