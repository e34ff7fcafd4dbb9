#include "navbutton.h"

#include <QPainter>
#include <QPainterPath>

namespace {

Qt::Alignment alignmentForCode(int code)
{
    switch (code) {
    case NavButton::TextAlignLeft:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case NavButton::TextAlignRight:
        return Qt::AlignRight | Qt::AlignVCenter;
    case NavButton::TextAlignTop:
        return Qt::AlignTop | Qt::AlignHCenter;
    case NavButton::TextAlignBottom:
        return Qt::AlignBottom | Qt::AlignHCenter;
    default:
        return Qt::AlignCenter;
    }
}

} // namespace

NavButton::NavButton(QWidget *parent)
    : QPushButton(parent)
{}

void NavButton::setPadding(int left, int top, int right, int bottom)
{
    m_paddingLeft = left;
    m_paddingTop = top;
    m_paddingRight = right;
    m_paddingBottom = bottom;
    update();
}

void NavButton::setTextAlign(int code)
{
    setAndRepaint(m_textAlign, code);
}
void NavButton::setShowLine(bool show)
{
    setAndRepaint(m_showLine, show);
}
void NavButton::setLinePosition(int code)
{
    setAndRepaint(m_linePosition, code);
}
void NavButton::setLineWidth(int width)
{
    setAndRepaint(m_lineWidth, width);
}
void NavButton::setLineColor(const QColor &color)
{
    setAndRepaint(m_lineColor, color);
}
void NavButton::setShowTriangle(bool show)
{
    setAndRepaint(m_showTriangle, show);
}

void NavButton::setNormalTextColor(const QColor &color)
{
    setAndRepaint(m_normalTextColor, color);
}
void NavButton::setHoverTextColor(const QColor &color)
{
    setAndRepaint(m_hoverTextColor, color);
}
void NavButton::setCheckTextColor(const QColor &color)
{
    setAndRepaint(m_checkTextColor, color);
}
void NavButton::setNormalBgColor(const QColor &color)
{
    setAndRepaint(m_normalBgColor, color);
}
void NavButton::setHoverBgColor(const QColor &color)
{
    setAndRepaint(m_hoverBgColor, color);
}
void NavButton::setCheckBgColor(const QColor &color)
{
    setAndRepaint(m_checkBgColor, color);
}

void NavButton::setShowIcon(bool show)
{
    setAndRepaint(m_showIcon, show);
}
void NavButton::setIconSize(const QSize &size)
{
    setAndRepaint(m_iconSize, size);
}
void NavButton::setIconSpace(int space)
{
    setAndRepaint(m_iconSpace, space);
}
void NavButton::setIconNormal(const QPixmap &pixmap)
{
    setAndRepaint(m_iconNormal, pixmap);
}
void NavButton::setIconHover(const QPixmap &pixmap)
{
    setAndRepaint(m_iconHover, pixmap);
}
void NavButton::setIconCheck(const QPixmap &pixmap)
{
    setAndRepaint(m_iconCheck, pixmap);
}

NavButton::State NavButton::paintState() const
{
    // A disabled button keeps the normal colours; callers give it a grey look
    // of its own instead of relying on a built-in disabled palette.
    if (!isEnabled())
        return State::Normal;
    if (isChecked())
        return State::Checked;
    // A button held down while its menu is open counts as hovered too.
    if (m_hovered || isDown())
        return State::Hover;
    return State::Normal;
}

QRect NavButton::lineRect() const
{
    const int w = width();
    const int h = height();
    switch (m_linePosition) {
    case LinePositionLeft:
        return QRect(0, 0, m_lineWidth, h);
    case LinePositionRight:
        return QRect(w - m_lineWidth, 0, m_lineWidth, h);
    case LinePositionTop:
        return QRect(0, 0, w, m_lineWidth);
    default:
        return QRect(0, h - m_lineWidth, w, m_lineWidth);
    }
}

void NavButton::drawTriangle(QPainter &painter, const QColor &color) const
{
    const int side = qMax(4, height() / 4);
    const qreal right = width();
    const qreal midY = height() / 2.0;

    QPainterPath path;
    path.moveTo(right, midY - side);
    path.lineTo(right - side, midY);
    path.lineTo(right, midY + side);
    path.closeSubpath();
    painter.fillPath(path, color);
}

void NavButton::paintEvent(QPaintEvent *)
{
    QColor textColor = m_normalTextColor;
    QColor bgColor = m_normalBgColor;
    const QPixmap *icon = &m_iconNormal;

    switch (paintState()) {
    case State::Checked:
        textColor = m_checkTextColor;
        bgColor = m_checkBgColor;
        icon = &m_iconCheck;
        break;
    case State::Hover:
        textColor = m_hoverTextColor;
        bgColor = m_hoverBgColor;
        icon = &m_iconHover;
        break;
    case State::Normal:
        break;
    }
    // Callers often set only the normal pixmap; use it for every state then.
    if (icon->isNull())
        icon = &m_iconNormal;

    QPainter painter(this);
    painter.fillRect(rect(), bgColor);

    if (m_showLine && m_lineWidth > 0)
        painter.fillRect(lineRect(), m_lineColor);

    if (m_showIcon && !icon->isNull() && !m_iconSize.isEmpty()) {
        const int top = (height() - m_iconSize.height()) / 2;
        const QRect target(QPoint(m_iconSpace, top), m_iconSize);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, *icon);
    }

    const QRect textRect
            = rect().adjusted(m_paddingLeft, m_paddingTop, -m_paddingRight, -m_paddingBottom);
    painter.setPen(textColor);
    painter.drawText(textRect, static_cast<int>(alignmentForCode(m_textAlign)), text());

    if (m_showTriangle) {
        painter.setRenderHint(QPainter::Antialiasing);
        drawTriangle(painter, textColor);
    }
}

void NavButton::enterEvent(EnterEvent *event)
{
    m_hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void NavButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}
