#include "markerlayer.h"

#include "qtcompat.h"

#include <QHeaderView>
#include <QToolTip>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

MarkerLayer::MarkerLayer(QCustomPlot *plot)
    : QObject(plot)
    , m_plot(plot)
{
    connect(plot, &QCustomPlot::mouseMove, this, &MarkerLayer::mouseMoved);
}

void MarkerLayer::setMarkers(const QVector<Marker> &markers)
{
    // Every recording starts by clearing: most have no markers to clear.
    if (markers.isEmpty() && m_markers.isEmpty())
        return;
    m_markers = markers;
    std::stable_sort(m_markers.begin(), m_markers.end(), [](const Marker &a, const Marker &b) {
        return a.seconds < b.seconds;
    });
    for (Marker &marker : m_markers)
        marker.text = shortenedMarkerText(marker.text);
    rebuild();
}

void MarkerLayer::add(const Marker &marker)
{
    QVector<Marker> markers = m_markers;
    markers.append(marker);
    setMarkers(markers);
}

void MarkerLayer::setText(int index, const QString &text)
{
    if (index < 0 || index >= m_markers.size())
        return;
    m_markers[index].text = shortenedMarkerText(text);
    emit changed();
}

void MarkerLayer::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    for (QCPItemStraightLine *line : qAsConst(m_lines))
        line->setVisible(visible);
    if (m_plot)
        m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString MarkerLayer::textNear(double x) const
{
    if (!m_plot || !m_visible)
        return QString();
    QStringList texts;
    for (const Marker &marker : m_markers) {
        if (std::abs(m_plot->xAxis->coordToPixel(marker.seconds) - x) <= HoverPixels)
            texts.append(marker.text);
    }
    return texts.join(QLatin1Char('\n'));
}

void MarkerLayer::centerOn(double seconds)
{
    if (!m_plot)
        return;
    const double half = m_plot->xAxis->range().size() / 2;
    m_plot->xAxis->setRange(seconds - half, seconds + half);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void MarkerLayer::mouseMoved(QMouseEvent *event)
{
    const QPoint at = localPos(event).toPoint();
    const QString text = textNear(at.x());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(m_plot->mapToGlobal(at), text, m_plot);
}

void MarkerLayer::rebuild()
{
    if (m_plot) {
        for (QCPItemStraightLine *line : qAsConst(m_lines))
            m_plot->removeItem(line);
        m_lines.clear();
        QPen pen(QColor(90, 90, 90), 1, Qt::DashLine);
        for (const Marker &marker : qAsConst(m_markers)) {
            auto *line = new QCPItemStraightLine(m_plot);
            line->setPen(pen);
            line->setSelectable(false);
            line->setVisible(m_visible);
            // Vertical whatever the value axis shows.
            line->point1->setCoords(marker.seconds, 0);
            line->point2->setCoords(marker.seconds, 1);
            m_lines.append(line);
        }
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
    emit changed();
}

MarkerList::MarkerList(MarkerLayer *layer, QWidget *parent)
    : QTreeWidget(parent)
    , m_layer(layer)
{
    setObjectName(QStringLiteral("markerList"));
    setColumnCount(2);
    nameColumns();
    setRootIsDecorated(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true);
    // The list is as narrow as the tile column: the time takes no more than it needs, and a text
    // cut short is whole in its tooltip.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(layer, &MarkerLayer::changed, this, &MarkerList::refill);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        const int index = indexOfTopLevelItem(item);
        const QVector<Marker> &markers = m_layer->markers();
        m_layer->centerOn(markers[index].seconds);
        emit spanChosen(markers[index].seconds,
                        index + 1 < markers.size() ? markers[index + 1].seconds : std::nan(""));
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        editItem(item, 1);
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        if (!m_filling && column == 1)
            m_layer->setText(indexOfTopLevelItem(item), item->text(1));
    });
    refill();
}

void MarkerList::nameColumns()
{
    setHeaderLabels({tr("时间(秒)"), tr("标记")});
}

void MarkerList::changeEvent(QEvent *event)
{
    // Made before the window loads its language, and again when the user switches it.
    if (event->type() == QEvent::LanguageChange)
        nameColumns();
    QTreeWidget::changeEvent(event);
}

void MarkerList::refill()
{
    if (m_filling)
        return;
    m_filling = true;
    clear();
    for (const Marker &marker : m_layer->markers()) {
        auto *item
                = new QTreeWidgetItem(this, {QString::number(marker.seconds, 'f', 1), marker.text});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setToolTip(1, marker.text);
    }
    m_filling = false;
}
