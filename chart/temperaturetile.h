#ifndef TEVRANO_TEMPERATURETILE_H
#define TEVRANO_TEMPERATURETILE_H

#include <QColor>
#include <QWidget>

class QCheckBox;

// A tile's value in large type, centred on white. It paints its text itself: a QLabel asks every
// layout up to the window's to run again on each new text, which with a reading per tile many
// times a second was most of the window's time.
class TileValue : public QWidget
{
    Q_OBJECT

public:
    explicit TileValue(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    void setTextColor(const QColor &color);
    QColor textColor() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color = Qt::black;
    bool m_repaintDue = false; // with the pacer, until painted
};

// One temperature tile: the value in large type and a check box below it
// that switches the display on and off.
class TemperatureTile : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSmallestPixelSize = 10;
    static constexpr int kLargestPixelSize = 78;

    explicit TemperatureTile(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    void setTextColor(const QColor &color);
    // Shows the value in `color` instead of the tile's own until an invalid colour is set.
    void setHighlight(const QColor &color);
    QColor shownColor() const;
    void setCheckEnabled(bool enabled);
    // Picks the largest value font that fits the label's width and height.
    void fitFont();

    TileValue *valueLabel() const { return m_label; }
    QCheckBox *checkBox() const { return m_checkBox; }

    // Mirrors the check box after each click; callers pass it as `valid`.
    bool displayEnabled = true;

public slots:
    // `color` is accepted for the callers' convenience; the colour comes from setTextColor.
    void addObjectReading(float t, int unit, QColor color, bool valid);
    void on_checkBox_clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyColor();
    // What the value's text may use of the label's width.
    int availableWidth() const;

    TileValue *m_label;
    QCheckBox *m_checkBox;
    QColor m_textColor = Qt::black;
    QColor m_highlight;
};

#endif // TEVRANO_TEMPERATURETILE_H
