#ifndef TEVRANO_NAVBUTTON_H
#define TEVRANO_NAVBUTTON_H

#include "qtcompat.h"

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QSize>

// A push button that paints itself flat: background and text colour follow
// the state (checked wins over hover, hover over normal), with an optional
// icon, an edge line and a small triangle marker. Everything else (clicked,
// menus, checkable state, fonts) is plain QPushButton behaviour.
class NavButton : public QPushButton
{
    Q_OBJECT

public:
    // Codes accepted by setTextAlign(); unknown codes fall back to centred.
    enum TextAlign {
        TextAlignLeft = 0,
        TextAlignRight = 1,
        TextAlignTop = 2,
        TextAlignBottom = 3,
        TextAlignCenter = 4
    };

    // Codes accepted by setLinePosition(): the edge the line is drawn along.
    // Unknown codes fall back to the bottom edge.
    enum LinePosition {
        LinePositionLeft = 0,
        LinePositionRight = 1,
        LinePositionTop = 2,
        LinePositionBottom = 3
    };

    explicit NavButton(QWidget *parent = nullptr);

    void setPadding(int left, int top, int right, int bottom);
    void setTextAlign(int code);

    void setShowLine(bool show);
    void setLinePosition(int code);
    void setLineWidth(int width);
    void setLineColor(const QColor &color);

    // The triangle sits on the right edge, pointing inwards, in the text colour.
    void setShowTriangle(bool show);

    void setNormalTextColor(const QColor &color);
    void setHoverTextColor(const QColor &color);
    void setCheckTextColor(const QColor &color);
    void setNormalBgColor(const QColor &color);
    void setHoverBgColor(const QColor &color);
    void setCheckBgColor(const QColor &color);

    void setShowIcon(bool show);
    void setIconSize(const QSize &size);
    // Distance of the icon's left edge from the button's left edge.
    void setIconSpace(int space);
    void setIconNormal(const QPixmap &pixmap);
    void setIconHover(const QPixmap &pixmap);
    void setIconCheck(const QPixmap &pixmap);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(EnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    enum class State { Normal, Hover, Checked };
    State paintState() const;
    QRect lineRect() const;
    void drawTriangle(QPainter &painter, const QColor &color) const;

    // Every setter only stores its value and schedules a repaint.
    template<typename T>
    void setAndRepaint(T &member, const T &value)
    {
        member = value;
        update();
    }

    int m_paddingLeft = 0;
    int m_paddingTop = 0;
    int m_paddingRight = 0;
    int m_paddingBottom = 0;
    int m_textAlign = TextAlignCenter;

    bool m_showLine = false;
    int m_linePosition = LinePositionBottom;
    int m_lineWidth = 2;
    QColor m_lineColor = QColor(0, 120, 215);

    bool m_showTriangle = false;
    bool m_hovered = false;

    QColor m_normalTextColor = Qt::black;
    QColor m_hoverTextColor = Qt::black;
    QColor m_checkTextColor = Qt::white;
    QColor m_normalBgColor = QColor(230, 230, 230);
    QColor m_hoverBgColor = QColor(210, 210, 210);
    QColor m_checkBgColor = QColor(0, 120, 215);

    bool m_showIcon = false;
    QSize m_iconSize = QSize(16, 16);
    int m_iconSpace = 4;
    QPixmap m_iconNormal;
    QPixmap m_iconHover;
    QPixmap m_iconCheck;
};

#endif // TEVRANO_NAVBUTTON_H
