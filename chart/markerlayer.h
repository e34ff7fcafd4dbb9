#ifndef TEVRANO_MARKERLAYER_H
#define TEVRANO_MARKERLAYER_H

#include "marker.h"

#include <QObject>
#include <QPointer>
#include <QTreeWidget>

class QCPItemStraightLine;
class QCustomPlot;
class QMouseEvent;

// The markers of what a plot shows: a thin vertical line at each, its text as
// a tool tip when the mouse comes near the line. The layer owns the markers;
// its lines are the plot's items.
class MarkerLayer : public QObject
{
    Q_OBJECT

public:
    // How near the mouse must come to a line, in pixels, for its text.
    static constexpr int HoverPixels = 4;

    explicit MarkerLayer(QCustomPlot *plot);

    const QVector<Marker> &markers() const { return m_markers; }
    void setMarkers(const QVector<Marker> &markers);
    void add(const Marker &marker);
    void setText(int index, const QString &text);
    void clear() { setMarkers({}); }
    // Hidden while the plot shows something on another time axis.
    void setVisible(bool visible);

    // The text of the markers whose lines lie within HoverPixels of `x` (a pixel of the plot),
    // one a line; empty when none.
    QString textNear(double x) const;
    // Moves the plot's time axis so `seconds` lies in the middle, keeping the span.
    void centerOn(double seconds);

signals:
    void changed();

private:
    void mouseMoved(QMouseEvent *event);
    void rebuild();

    QPointer<QCustomPlot> m_plot;
    QVector<Marker> m_markers;
    QVector<QCPItemStraightLine *> m_lines;
    bool m_visible = true;
};

// The markers as a list of time and text: a click moves the plot to one and
// offers the span to the next for statistics; a double click on a text edits it.
class MarkerList : public QTreeWidget
{
    Q_OBJECT

public:
    MarkerList(MarkerLayer *layer, QWidget *parent = nullptr);

signals:
    // From the chosen marker to the next; `to` is NaN for the last one (to the end).
    void spanChosen(double from, double to);

protected:
    void changeEvent(QEvent *event) override;

private:
    void nameColumns();
    void refill();

    MarkerLayer *m_layer;
    bool m_filling = false;
};

#endif // TEVRANO_MARKERLAYER_H
