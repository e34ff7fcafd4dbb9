#include "zoomscale.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class tst_ZoomScale : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void buttonsEmitTheirSignals_data();
    void buttonsEmitTheirSignals();
    void clicksKeepItOpenAndSilenceEndsIt();
};

void tst_ZoomScale::form()
{
    ZoomScale popup;
    // At least its old size, wider when the captions need it.
    QVERIFY(popup.width() >= 199);
    QCOMPARE(popup.height(), 95);
    QVERIFY(popup.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(popup.testAttribute(Qt::WA_TranslucentBackground));
    for (const auto &[name, caption] :
         {std::pair("pushButton_zoomin", "放大"), std::pair("pushButton_zoomout", "缩小")}) {
        auto *button = popup.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY(button);
        QVERIFY2(!button->icon().pixmap(48, 48).isNull(), "zoom icon missing from the resources");
        QCOMPARE(button->iconSize(), QSize(48, 48));
        // Labelled: the icon alone does not say which way it zooms.
        QCOMPARE(button->text(), QString::fromUtf8(caption));
        QCOMPARE(button->toolTip(), button->text());
    }
}

void tst_ZoomScale::buttonsEmitTheirSignals_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("zoomIn");
    QTest::newRow("zoom in") << "pushButton_zoomin" << true;
    QTest::newRow("zoom out") << "pushButton_zoomout" << false;
}

void tst_ZoomScale::buttonsEmitTheirSignals()
{
    QFETCH(QString, button);
    QFETCH(bool, zoomIn);
    ZoomScale popup;
    QSignalSpy in(&popup, &ZoomScale::zoomInClicked);
    QSignalSpy out(&popup, &ZoomScale::zoomOutClicked);
    popup.findChild<QPushButton *>(button)->click();
    QCOMPARE(in.size(), zoomIn ? 1 : 0);
    QCOMPARE(out.size(), zoomIn ? 0 : 1);
}

void tst_ZoomScale::clicksKeepItOpenAndSilenceEndsIt()
{
    ZoomScale popup;
    popup.show();
    QSignalSpy gone(&popup, &ZoomScale::dismissed);
    auto *zoomIn = popup.findChild<QPushButton *>(QStringLiteral("pushButton_zoomin"));
    // A click every second for longer than the lifetime: far inside the 5 s
    // on any machine, so the popup must stay.
    QElapsedTimer sinceClick;
    for (int i = 0; i < 7; ++i) {
        QTest::qWait(1000);
        zoomIn->click();
        sinceClick.start();
        QCOMPARE(gone.size(), 0);
    }
    QVERIFY(gone.wait(60000));
    // Coarse timers may fire up to 5 % early.
    QVERIFY2(sinceClick.elapsed() >= ZoomScale::kLifetimeMs * 9 / 10,
             qPrintable(QString::number(sinceClick.elapsed())));
    QCOMPARE(gone.size(), 1);
    // Announced once: the timer is gone.
    QTest::qWait(200);
    QCOMPARE(gone.size(), 1);
}

QTEST_MAIN(tst_ZoomScale)
#include "tst_zoomscale.moc"
