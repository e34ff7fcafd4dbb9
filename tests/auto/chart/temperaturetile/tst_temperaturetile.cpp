#include "temperaturetile.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QtTest>

class tst_TemperatureTile : public QObject
{
    Q_OBJECT

private slots:
    void addObjectReading_data();
    void addObjectReading();
    void switchingOffShowsDashes();
    void valueDrawnInShownColour();
    void everyNewReadingIsPainted();
    void fitFont_data();
    void fitFont();
    void noValueSizedLikeAReading();
    void resizeRefitsFont();
    void widerValueRefitsFont();
};

void tst_TemperatureTile::addObjectReading_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("unit");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Celsius rounds to one decimal") << 25.04f << 2 << true << "25.0℃";
    QTest::newRow("negative zero keeps its sign") << -0.04f << 2 << true << "-0.0℃";
    QTest::newRow("Fahrenheit") << 98.66f << 1 << true << "98.7℉";
    QTest::newRow("unknown unit shows Celsius") << 12.0f << 0 << true << "12.0℃";
    QTest::newRow("invalid whatever the value") << 25.0f << 2 << false << "---";
    QTest::newRow("invalid Fahrenheit") << 98.0f << 1 << false << "---";
}

void tst_TemperatureTile::addObjectReading()
{
    QFETCH(float, value);
    QFETCH(int, unit);
    QFETCH(bool, valid);
    QFETCH(QString, expected);
    TemperatureTile item;
    item.addObjectReading(value, unit, Qt::red, valid);
    QCOMPARE(item.valueLabel()->text(), expected);
}

void tst_TemperatureTile::switchingOffShowsDashes()
{
    TemperatureTile item;
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    QVERIFY(item.displayEnabled);
    item.checkBox()->click();
    QVERIFY(!item.displayEnabled);
    item.addObjectReading(30.0f, 2, Qt::black, item.displayEnabled);
    QCOMPARE(item.valueLabel()->text(), QStringLiteral("---"));
    item.checkBox()->click();
    QVERIFY(item.displayEnabled);
    item.addObjectReading(30.0f, 2, Qt::black, item.displayEnabled);
    QCOMPARE(item.valueLabel()->text(), QStringLiteral("30.0℃"));
}

// The value is painted, not styled: the colour must reach the pixels, an alarm's over the tile's.
void tst_TemperatureTile::valueDrawnInShownColour()
{
    TemperatureTile item;
    item.resize(244, 120);
    item.setTextColor(QColor(255, 128, 0));
    item.addObjectReading(888.8f, 2, Qt::black, true);
    const auto painted = [&item](const QColor &colour) {
        const QImage image = item.valueLabel()->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    };
    QVERIFY(painted(QColor(255, 128, 0)));
    item.setHighlight(QColor(0, 0, 255));
    QVERIFY(painted(QColor(0, 0, 255)));
    QVERIFY(!painted(QColor(255, 128, 0)));
    QVERIFY(painted(Qt::white));
}

// Repaints are paced, not dropped: each new reading reaches the screen, also one after another.
void tst_TemperatureTile::everyNewReadingIsPainted()
{
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    TemperatureTile item;
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    item.valueLabel()->installEventFilter(&counter);
    for (float value : {20.0f, 21.0f, 22.0f}) {
        counter.paints = 0;
        item.addObjectReading(value, 2, Qt::black, true);
        QTRY_VERIFY(counter.paints > 0);
    }
}

void tst_TemperatureTile::fitFont_data()
{
    QTest::addColumn<int>("itemWidth");
    QTest::addColumn<int>("itemHeight");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("boundSize"); // 0 when any fitting size will do
    QTest::newRow("too narrow even for 10 px")
            << 120 << 120 << QString(40, QLatin1Char('8')) + "℃" << 10;
    QTest::newRow("narrow") << 120 << 120 << "-123.4℃" << 0;
    QTest::newRow("medium") << 244 << 120 << "25.0℃" << 0;
    // Eight instruments' rows are low and wide: the height bounds the font.
    QTest::newRow("low") << 600 << 60 << "25.0℃" << 0;
    QTest::newRow("room for every size") << 2000 << 240 << "25.0℃" << 78;
}

void tst_TemperatureTile::fitFont()
{
    QFETCH(int, itemWidth);
    QFETCH(int, itemHeight);
    QFETCH(QString, text);
    QFETCH(int, boundSize);
    TemperatureTile item;
    item.resize(itemWidth, itemHeight);
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    TileValue *label = item.valueLabel();
    label->setText(text);
    item.fitFont();

    QFont font = label->font();
    const int size = font.pixelSize();
    const auto fits = [label, &text](const QFont &font) {
        const QFontMetrics metrics(font);
        return metrics.horizontalAdvance(text) <= label->contentsRect().width() - 10
               && metrics.height() <= label->contentsRect().height();
    };
    if (boundSize != 0)
        QCOMPARE(size, boundSize);
    QVERIFY(size >= TemperatureTile::kSmallestPixelSize
            && size <= TemperatureTile::kLargestPixelSize);
    QVERIFY(size % 2 == 0);
    if (size > TemperatureTile::kSmallestPixelSize)
        QVERIFY2(fits(font), "the chosen size overflows the label");
    if (size < TemperatureTile::kLargestPixelSize) {
        font.setPixelSize(size + 2);
        QVERIFY2(!fits(font), "a larger size would have fitted");
    }
    // The room sets the font, never the font the room: a tile that asked for more as its font
    // grew made the window outgrow the screen.
    QCOMPARE(item.minimumSizeHint(), TemperatureTile().minimumSizeHint());
}

// No value, shown or not yet, takes the size of a wide reading, not the larger one of its dashes.
void tst_TemperatureTile::noValueSizedLikeAReading()
{
    TemperatureTile item;
    item.resize(150, 120);
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    item.valueLabel()->setText(QStringLiteral("0000.0℃"));
    item.fitFont();
    const int reading = item.valueLabel()->font().pixelSize();
    QVERIFY(reading < TemperatureTile::kLargestPixelSize);
    for (const QString &text : {QStringLiteral("---"), QString()}) {
        item.valueLabel()->setText(text);
        item.resize(140, 120);
        item.resize(150, 120);
        QTRY_COMPARE(item.valueLabel()->font().pixelSize(), reading);
    }
}

void tst_TemperatureTile::resizeRefitsFont()
{
    TemperatureTile item;
    item.addObjectReading(25.0f, 2, Qt::black, true);
    item.resize(400, 120);
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    const int wide = item.valueLabel()->font().pixelSize();
    item.resize(60, 120);
    QTRY_VERIFY(item.valueLabel()->font().pixelSize() < wide);
}

// A running maximum outgrowing the value the font was fitted to shrinks to fit; a narrower one
// keeps the font.
void tst_TemperatureTile::widerValueRefitsFont()
{
    TemperatureTile item;
    item.resize(244, 120);
    item.addObjectReading(1.0f, 2, Qt::black, true);
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    TileValue *label = item.valueLabel();
    item.fitFont();
    const int fitted = label->font().pixelSize();
    item.addObjectReading(1118.5f, 2, Qt::black, true);
    QVERIFY(label->font().pixelSize() < fitted);
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text())
            <= label->contentsRect().width() - 10);
    const int shrunk = label->font().pixelSize();
    item.addObjectReading(2.0f, 2, Qt::black, true);
    QCOMPARE(label->font().pixelSize(), shrunk);
}

QTEST_MAIN(tst_TemperatureTile)
#include "tst_temperaturetile.moc"
