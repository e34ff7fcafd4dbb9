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
    const QRectF rect = m_plot->axisRect()->rect();
    struct Placing
    {
        const Line *line;
        double y;
        QSizeF size;
        bool under;
        QRectF box() const { return QRectF(QPointF(0.0, under ? y : y - size.height()), size); }
    };
    const auto inside = [&rect](const Placing &p) {
        const QRectF box = p.box();
        return box.top() >= rect.top() && box.bottom() <= rect.bottom();
    };
    // The other side of its line, when the label stays in the plot there.
    const auto tryOtherSide = [&inside](Placing &p) {
        p.under = !p.under;
        if (!inside(p))
            p.under = !p.under;
    };
    QVector<Placing> labels;
    for (const auto &[line, below] : {std::pair(&m_high, true), std::pair(&m_low, false)}) {
        if (!line->label->visible())
            continue;
        const QMargins padding = line->label->padding();
        const QFontMetricsF metrics(line->label->font());
        const QSizeF size(metrics.horizontalAdvance(line->label->text()) + padding.left()
                                  + padding.right(),
                          metrics.height() + padding.top() + padding.bottom());
        Placing p{line,
                  m_plot->yAxis->coordToPixel(line->label->position->coords().y()),
                  size,
                  below};
        // Inside the band the two lines guard, unless the label would leave the plot there.
        if (!inside(p))
            tryOtherSide(p);
        labels << p;
    }
    // Two labels in each other's way go to the far sides of their lines where there is room.
    if (labels.size() == 2 && labels[0].box().intersects(labels[1].box())) {
        for (Placing &p : labels)
            tryOtherSide(p);
    }
    // Then each moves left along its line past the legend and the label placed before it.
    QVector<QRectF> taken;
    if (m_plot->legend->visible())
        taken << QRectF(m_plot->legend->outerRect());
    for (const Placing &p : labels) {
        QRectF box = p.box();
        box.moveRight(rect.right());
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
        p.line->label->setPositionAlignment(Qt::AlignRight
                                            | (p.under ? Qt::AlignTop : Qt::AlignBottom));
        p.line->label->position->setCoords((box.right() - rect.left())
                                                   / std::max(rect.width(), 1.0),
                                           p.line->label->position->coords().y());
    }
}
