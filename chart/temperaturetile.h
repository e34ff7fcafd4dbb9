#ifndef TEVRANO_TEMPERATURETILE_H
#define TEVRANO_TEMPERATURETILE_H

#include <QColor>
#include <QWidget>

class QCheckBox;
class QLabel;

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

    QLabel *valueLabel() const { return m_label; }
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

    QLabel *m_label;
    QCheckBox *m_checkBox;
    QColor m_textColor = Qt::black;
    QColor m_highlight;
};

#endif // TEVRANO_TEMPERATURETILE_H
