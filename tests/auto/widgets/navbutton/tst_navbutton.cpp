#include "navbutton.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

const QColor kNormalText(10, 20, 30);
const QColor kHoverText(40, 50, 60);
const QColor kCheckText(250, 240, 5);
const QColor kNormalBg(200, 210, 220);
const QColor kHoverBg(120, 130, 140);
const QColor kCheckBg(5, 60, 160);

enum Hover { NoHover, Entered, EnteredAndLeft };

void configureColours(NavButton &button)
{
    button.setNormalTextColor(kNormalText);
    button.setHoverTextColor(kHoverText);
    button.setCheckTextColor(kCheckText);
    button.setNormalBgColor(kNormalBg);
    button.setHoverBgColor(kHoverBg);
    button.setCheckBgColor(kCheckBg);
}

void sendHover(QWidget &widget, Hover hover)
{
    if (hover == NoHover)
        return;
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(&widget, &enter);
    if (hover == EnteredAndLeft) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&widget, &leave);
    }
}

QImage render(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

int countPixels(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += QColor(image.pixel(x, y)) == color ? 1 : 0;
    return count;
}

// Bounding box of every pixel that differs from the background.
QRect inkBounds(const QImage &image, const QColor &background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

QPixmap solid(const QColor &color)
{
    QPixmap pixmap(8, 8);
    pixmap.fill(color);
    return pixmap;
}

} // namespace

class TestNavButton : public QObject
{
    Q_OBJECT

private slots:
    void stateColours_data();
    void stateColours();
    void textPlacement_data();
    void textPlacement();
    void icon_data();
    void icon();
    void edgeLine_data();
    void edgeLine();
    void menuOpensOnPress_data();
    void menuOpensOnPress();
    void click_data();
    void click();
};

void TestNavButton::stateColours_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("hover");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("bg");
    QTest::addColumn<QColor>("text");

    QTest::newRow("normal") << false << int(NoHover) << true << kNormalBg << kNormalText;
    QTest::newRow("hovered") << false << int(Entered) << true << kHoverBg << kHoverText;
    QTest::newRow("hover left again")
            << false << int(EnteredAndLeft) << true << kNormalBg << kNormalText;
    QTest::newRow("checked") << true << int(NoHover) << true << kCheckBg << kCheckText;
    QTest::newRow("checked wins over hover")
            << true << int(Entered) << true << kCheckBg << kCheckText;
    QTest::newRow("disabled") << false << int(NoHover) << false << kNormalBg << kNormalText;
    QTest::newRow("disabled ignores hover and check")
            << true << int(Entered) << false << kNormalBg << kNormalText;
}

void TestNavButton::stateColours()
{
    QFETCH(bool, checked);
    QFETCH(int, hover);
    QFETCH(bool, enabled);
    QFETCH(QColor, bg);
    QFETCH(QColor, text);

    NavButton button;
    button.resize(160, 40);
    configureColours(button);
    QFont font = button.font();
    font.setPixelSize(24);
    font.setBold(true);
    button.setFont(font);
    button.setText("MMMM");
    button.setCheckable(true);
    button.setChecked(checked);
    button.setEnabled(enabled);
    sendHover(button, Hover(hover));

    const QImage image = render(button);
    QCOMPARE(pixel(image, 2, 2), bg);
    QCOMPARE(pixel(image, image.width() - 3, image.height() - 3), bg);
    // Solid glyph stems are painted in exactly the text colour.
    QVERIFY2(countPixels(image, text) > 20, "text not painted in the state's colour");
}

void TestNavButton::textPlacement_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("padLeft");
    QTest::addColumn<int>("padRight");
    QTest::addColumn<QString>("where");

    QTest::newRow("left") << int(NavButton::TextAlignLeft) << 0 << 0 << "left";
    QTest::newRow("left padded") << int(NavButton::TextAlignLeft) << 30 << 0 << "left";
    QTest::newRow("right") << int(NavButton::TextAlignRight) << 0 << 0 << "right";
    QTest::newRow("right padded") << int(NavButton::TextAlignRight) << 0 << 25 << "right";
    QTest::newRow("code 4 centred") << 4 << 0 << 0 << "centre";
    QTest::newRow("centred within padding") << 4 << 60 << 0 << "centre";
    QTest::newRow("unknown code centred") << 99 << 0 << 0 << "centre";
    QTest::newRow("top") << int(NavButton::TextAlignTop) << 0 << 0 << "top";
    QTest::newRow("bottom") << int(NavButton::TextAlignBottom) << 0 << 0 << "bottom";
}

void TestNavButton::textPlacement()
{
    QFETCH(int, code);
    QFETCH(int, padLeft);
    QFETCH(int, padRight);
    QFETCH(QString, where);

    NavButton button;
    button.resize(200, 60);
    button.setNormalBgColor(Qt::white);
    button.setNormalTextColor(Qt::black);
    QFont font = button.font();
    font.setPixelSize(16);
    button.setFont(font);
    button.setText("HH");
    button.setTextAlign(code);
    button.setPadding(padLeft, 0, padRight, 0);

    const QImage image = render(button);
    const QRect ink = inkBounds(image, Qt::white);
    QVERIFY(!ink.isEmpty());
    const int w = image.width();
    const int h = image.height();

    if (where == "left") {
        QVERIFY2(ink.left() >= padLeft && ink.left() < padLeft + 6,
                 qPrintable(QString::number(ink.left())));
    } else if (where == "right") {
        const int edge = w - padRight;
        QVERIFY2(ink.right() < edge && ink.right() >= edge - 6,
                 qPrintable(QString::number(ink.right())));
    } else if (where == "centre") {
        const int expected = padLeft + (w - padLeft - padRight) / 2;
        QVERIFY2(qAbs(ink.center().x() - expected) <= 3,
                 qPrintable(QString::number(ink.center().x())));
        QVERIFY(qAbs(ink.center().y() - h / 2) <= 3);
    } else if (where == "top") {
        QVERIFY2(ink.bottom() < h / 2, qPrintable(QString::number(ink.bottom())));
    } else {
        QVERIFY2(ink.top() > h / 2, qPrintable(QString::number(ink.top())));
    }
}

void TestNavButton::icon_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<int>("space");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("statePixmaps");
    QTest::addColumn<QColor>("expected");

    const QColor bg = kNormalBg;
    QTest::newRow("normal") << true << 10 << QSize(18, 18) << false << false << true
                            << QColor(Qt::red);
    QTest::newRow("hover pixmap") << true << 10 << QSize(18, 18) << false << true << true
                                  << QColor(Qt::green);
    QTest::newRow("check pixmap") << true << 10 << QSize(18, 18) << true << false << true
                                  << QColor(Qt::blue);
    QTest::newRow("check falls back to normal")
            << true << 10 << QSize(18, 18) << true << false << false << QColor(Qt::red);
    QTest::newRow("width minus 20")
            << true << 140 << QSize(18, 18) << false << false << true << QColor(Qt::red);
    QTest::newRow("larger, at the edge")
            << true << 0 << QSize(30, 24) << false << false << true << QColor(Qt::red);
    QTest::newRow("hidden") << false << 10 << QSize(18, 18) << false << false << true << bg;
}

void TestNavButton::icon()
{
    QFETCH(bool, show);
    QFETCH(int, space);
    QFETCH(QSize, size);
    QFETCH(bool, checked);
    QFETCH(bool, hovered);
    QFETCH(bool, statePixmaps);
    QFETCH(QColor, expected);

    NavButton button;
    button.resize(160, 40);
    configureColours(button);
    button.setCheckable(true);
    button.setChecked(checked);
    sendHover(button, hovered ? Entered : NoHover);
    button.setShowIcon(show);
    button.setIconSize(size);
    button.setIconSpace(space);
    button.setIconNormal(solid(Qt::red));
    if (statePixmaps) {
        button.setIconHover(solid(Qt::green));
        button.setIconCheck(solid(Qt::blue));
    }

    const QImage image = render(button);
    const QColor bg = checked ? kCheckBg : hovered ? kHoverBg : kNormalBg;
    const QRect icon(QPoint(space, (image.height() - size.height()) / 2), size);

    // All four corners of the icon rectangle are covered ...
    QCOMPARE(pixel(image, icon.left(), icon.top()), expected);
    QCOMPARE(pixel(image, icon.right(), icon.top()), expected);
    QCOMPARE(pixel(image, icon.left(), icon.bottom()), expected);
    QCOMPARE(pixel(image, icon.right(), icon.bottom()), expected);
    // ... and nothing beyond it.
    const QPoint c = icon.center();
    if (icon.left() > 0)
        QCOMPARE(pixel(image, icon.left() - 1, c.y()), bg);
    QCOMPARE(pixel(image, icon.right() + 1, c.y()), bg);
    QCOMPARE(pixel(image, c.x(), icon.top() - 1), bg);
    QCOMPARE(pixel(image, c.x(), icon.bottom() + 1), bg);
}

void TestNavButton::edgeLine_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("line");

    // Button 100 x 40, line 4 wide.
    QTest::newRow("left") << true << int(NavButton::LinePositionLeft) << QRect(0, 0, 4, 40);
    QTest::newRow("right") << true << int(NavButton::LinePositionRight) << QRect(96, 0, 4, 40);
    QTest::newRow("top") << true << int(NavButton::LinePositionTop) << QRect(0, 0, 100, 4);
    QTest::newRow("code 3 bottom") << true << 3 << QRect(0, 36, 100, 4);
    QTest::newRow("hidden") << false << 3 << QRect();
}

void TestNavButton::edgeLine()
{
    QFETCH(bool, show);
    QFETCH(int, position);
    QFETCH(QRect, line);

    const QColor lineColor(255, 0, 255);
    NavButton button;
    button.resize(100, 40);
    configureColours(button);
    button.setShowLine(show);
    button.setLinePosition(position);
    button.setLineWidth(4);
    button.setLineColor(lineColor);

    const QImage image = render(button);
    const QRect all = image.rect();
    QCOMPARE(countPixels(image, lineColor), line.width() * line.height());
    if (show) {
        QCOMPARE(pixel(image, line.left(), line.top()), lineColor);
        QCOMPARE(pixel(image, line.right(), line.bottom()), lineColor);
    }
    // The opposite edge keeps the background.
    const QPoint opposite = all.center() * 2 - line.center();
    QCOMPARE(pixel(image,
                   qBound(0, opposite.x(), all.right()),
                   qBound(0, opposite.y(), all.bottom())),
             kNormalBg);
}

void TestNavButton::menuOpensOnPress_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("opens");

    QTest::newRow("enabled") << true << true;
    QTest::newRow("disabled") << false << false;
}

void TestNavButton::menuOpensOnPress()
{
    QFETCH(bool, enabled);
    QFETCH(bool, opens);

    NavButton button;
    button.resize(100, 30);
    QMenu menu;
    menu.addAction("one");
    button.setMenu(&menu);
    button.setEnabled(enabled);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));

    // The menu runs its own event loop while open; poll for it and close it
    // so the press returns. The single shot is only a safety net.
    bool sawMenu = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &menu, [&] {
        if (menu.isVisible()) {
            sawMenu = true;
            menu.close();
        }
    });
    poll.start();
    QTimer::singleShot(5000, &menu, &QMenu::close);

    QTest::mousePress(&button, Qt::LeftButton);
    if (!opens)
        QTest::qWait(50);
    poll.stop();
    QCOMPARE(sawMenu, opens);
    QVERIFY(!menu.isVisible());
}

void TestNavButton::click_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QColor>("bgAfter");

    QTest::newRow("enabled") << true << false << 1 << kNormalBg;
    QTest::newRow("enabled checkable") << true << true << 1 << kCheckBg;
    QTest::newRow("disabled") << false << false << 0 << kNormalBg;
    QTest::newRow("disabled checkable") << false << true << 0 << kNormalBg;
}

void TestNavButton::click()
{
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(int, clicks);
    QFETCH(QColor, bgAfter);

    NavButton button;
    button.resize(100, 30);
    configureColours(button);
    button.setCheckable(checkable);
    button.setEnabled(enabled);
    QSignalSpy spy(&button, &QPushButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(spy.count(), clicks);
    QCOMPARE(button.isChecked(), checkable && clicks > 0);
    // A user click on a checkable button switches it to the checked look.
    QCOMPARE(pixel(render(button), 2, 2), bgAfter);
}

QTEST_MAIN(TestNavButton)
#include "tst_navbutton.moc"
