#pragma once

#include <QObject>
#include <QPoint>

#include <optional>

class QWidget;

// Lets the user move a frameless window by its title bar and resize it from its edges, as a
// window frame would. Watches the window's own mouse events; its children keep theirs.
class FramelessFrame : public QObject
{
    Q_OBJECT
public:
    // The band along each edge that resizes, in pixels.
    static constexpr int ResizeBand = 5;

    FramelessFrame(QWidget *window, const QWidget *titleBar);

#ifdef Q_OS_WIN
    // The answer to WM_NCHITTEST for a point in window coordinates; nothing when the point is in
    // neither an edge band nor the title bar.
    std::optional<long> hitTest(const QPoint &local) const;
#endif

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    const QWidget *m_titleBar;
    bool m_moving = false;
    QPoint m_windowPosAtPress;
    QPoint m_cursorPosAtPress;
};
