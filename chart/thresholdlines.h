#ifndef TEVRANO_THRESHOLDLINES_H
#define TEVRANO_THRESHOLDLINES_H

#include <QColor>
#include <QMetaObject>

#include <optional>

class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;

// The alarm thresholds on a chart: each a dashed horizontal line in the alarm's colour, labelled
// with its value at the right edge, on the side of the line with room for the label; a label
// that would cover the legend or the other label moves left along its line. The items belong
// to the plot.
class ThresholdLines
{
public:
    static const QColor HighColor;
    static const QColor LowColor;

    explicit ThresholdLines(QCustomPlot *plot);
    ~ThresholdLines();
    ThresholdLines(const ThresholdLines &) = delete;
    ThresholdLines &operator=(const ThresholdLines &) = delete;

    // Unset hides the line; values in the unit of the value axis (1 Fahrenheit, 2 Celsius).
    void setThresholds(std::optional<double> high, std::optional<double> low, int unit);

    QCPItemStraightLine *highLine() const { return m_high.line; }
    QCPItemStraightLine *lowLine() const { return m_low.line; }
    QCPItemText *highLabel() const { return m_high.label; }
    QCPItemText *lowLabel() const { return m_low.label; }

private:
    struct Line
    {
        QCPItemStraightLine *line = nullptr;
        QCPItemText *label = nullptr;
    };
    Line addLine(const QColor &color, Qt::Alignment labelSide);
    void place(const Line &line, std::optional<double> value, int unit);
    void keepLabelsInView();

    QCustomPlot *m_plot;
    Line m_high;
    Line m_low;
    QMetaObject::Connection m_beforeReplot;
};

#endif // TEVRANO_THRESHOLDLINES_H
