#include "framelessframe.h"

#include "qtcompat.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

FramelessFrame::FramelessFrame(QWidget *window, const QWidget *titleBar)
    : QObject(window)
    , m_window(window)
    , m_titleBar(titleBar)
{
    window->installEventFilter(this);
}

bool FramelessFrame::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched != m_window
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
            && type != QEvent::MouseButtonRelease))
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    switch (type) {
    case QEvent::MouseButtonPress: {
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_windowPosAtPress = m_window->pos();
        m_cursorPosAtPress = globalPos(mouse);
#ifndef Q_OS_WIN
        // Edges resize through the window system, from the same band the Windows hit test uses.
        const QPoint local = mouse->pos();
        const int width = m_window->width(), height = m_window->height();
        Qt::Edges edges;
        if (local.x() > 0 && local.x() < ResizeBand)
            edges |= Qt::LeftEdge;
        if (local.x() > width - ResizeBand && local.x() < width)
            edges |= Qt::RightEdge;
        if (local.y() > 0 && local.y() < ResizeBand)
            edges |= Qt::TopEdge;
        if (local.y() > height - ResizeBand && local.y() < height)
            edges |= Qt::BottomEdge;
        QWindow *handle = m_window->windowHandle();
        if (edges && !m_window->isMaximized() && handle && handle->startSystemResize(edges))
            return true;
#endif
        m_moving = globalPos(mouse).y() < m_window->y() + m_titleBar->height();
        return true;
    }
    case QEvent::MouseMove:
        if (m_moving && !m_window->isMaximized())
            m_window->move(m_windowPosAtPress + globalPos(mouse) - m_cursorPosAtPress);
        return false;
    case QEvent::MouseButtonRelease:
        if (mouse->button() == Qt::LeftButton)
            m_moving = false;
        return false;
    default:
        return false;
    }
}

#ifdef Q_OS_WIN
std::optional<long> FramelessFrame::hitTest(const QPoint &local) const
{
    const int x = local.x(), y = local.y();
    const int w = m_window->width(), h = m_window->height();
    const bool left = 0 < x && x < ResizeBand, right = w - ResizeBand < x && x < w;
    const bool top = 0 < y && y < ResizeBand, bottom = h - ResizeBand < y && y < h;
    std::optional<long> hit;
    const auto take = [&](bool test, long value) {
        if (test)
            hit = value;
    };
    take(left, HTLEFT);
    take(right, HTRIGHT);
    take(top, HTTOP);
    take(bottom, HTBOTTOM);
    take(left && top, HTTOPLEFT);
    take(right && top, HTTOPRIGHT);
    take(left && bottom, HTBOTTOMLEFT);
    take(right && bottom, HTBOTTOMRIGHT);
    return hit;
}
#endif
