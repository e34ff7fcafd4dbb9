#include "thresholdlines.h"

#include "temperatureunit.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {
// Pixels between a label and what it moved aside for.
constexpr double kLabelGap = 4.0;
} // namespace

const QColor ThresholdLines::HighColor = Qt::red;
const QColor ThresholdLines::LowColor = Qt::blue;

ThresholdLines::ThresholdLines(QCustomPlot *plot)
    : m_plot(plot)
    , m_high(addLine(HighColor, Qt::AlignTop))
    , m_low(addLine(LowColor, Qt::AlignBottom))
{
    m_beforeReplot
            = QObject::connect(plot, &QCustomPlot::beforeReplot, [this] { keepLabelsInView(); });
}

ThresholdLines::~ThresholdLines()
{
    QObject::disconnect(m_beforeReplot);
}

ThresholdLines::Line ThresholdLines::addLine(const QColor &color, Qt::Alignment labelSide)
{
    Line line;
    line.line = new QCPItemStraightLine(m_plot);
    line.line->setPen(QPen(color, 1, Qt::DashLine));
    line.line->setSelectable(false);
    line.label = new QCPItemText(m_plot);
    line.label->setColor(color);
    line.label->setSelectable(false);
    // Right-aligned just inside the plot, below the high line and above the low one, so a line
    // at the top or bottom edge keeps its label in view; see keepLabelsInView.
    line.label->setPositionAlignment(Qt::AlignRight | labelSide);
    line.label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    line.label->position->setTypeY(QCPItemPosition::ptPlotCoords);
    line.label->setClipToAxisRect(true);
    line.label->setPadding(QMargins(2, 1, 4, 1));
    for (QCPItemPosition *point : {line.line->point1, line.line->point2})
        point->setType(QCPItemPosition::ptPlotCoords);
    line.line->setVisible(false);
    line.label->setVisible(false);
    return line;
}

void ThresholdLines::setThresholds(std::optional<double> high, std::optional<double> low, int unit)
{
    place(m_high, high, unit);
    place(m_low, low, unit);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ThresholdLines::place(const Line &line, std::optional<double> value, int unit)
{
    line.line->setVisible(value.has_value());
    line.label->setVisible(value.has_value());
    if (!value)
        return;
    line.line->point1->setCoords(0, *value);
    line.line->point2->setCoords(1, *value);
    line.label->position->setCoords(1, *value);
    line.label->setText(QString::number(*value, 'f', 1) + TemperatureUnit::symbol(unit));
}

void ThresholdLines::keepLabelsInView()
{
    const QRect rect = m_plot->axisRect()->rect();
    // What a label must not cover: the legend, and the label placed before it.
    QVector<QRectF> taken;
    if (m_plot->legend->visible())
        taken << QRectF(m_plot->legend->outerRect());
    for (const auto &[line, below] : {std::pair(m_high, true), std::pair(m_low, false)}) {
        if (!line.label->visible())
            continue;
        const QMargins padding = line.label->padding();
        const QFontMetricsF metrics(line.label->font());
        const double height = metrics.height() + padding.top() + padding.bottom();
        const double width
                = metrics.horizontalAdvance(line.label->text()) + padding.left() + padding.right();
        const double y = m_plot->yAxis->coordToPixel(line.label->position->coords().y());
        // The usual side unless the label would leave the plot there.
        const bool under = below ? y + height <= rect.bottom() : y - height < rect.top();
        line.label->setPositionAlignment(Qt::AlignRight | (under ? Qt::AlignTop : Qt::AlignBottom));
        // Then along its line to the left, past whatever is already there.
        QRectF box(rect.right() - width, under ? y : y - height, width, height);
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRectF &other : taken) {
                if (box.intersects(other)) {
                    box.moveRight(other.left() - kLabelGap);
                    moved = true;
                }
            }
        }
        taken << box;
        line.label->position->setCoords((box.right() - rect.left()) / std::max(rect.width(), 1),
                                        line.label->position->coords().y());
    }
}
