#include "buttonlooks.h"

#include "navbutton.h"

#include <QPixmap>

namespace {

const QColor Panel(160, 177, 204);

void applyCommon(NavButton *button, const QColor &text, const QColor &background)
{
    button->setPadding(0, 0, 0, 0);
    button->setTextAlign(NavButton::TextAlignCenter);
    button->setShowLine(false);
    button->setLineWidth(10);
    button->setNormalTextColor(text);
    button->setHoverTextColor(text);
    button->setCheckTextColor(text);
    button->setNormalBgColor(background);
    button->setHoverBgColor(background);
    button->setCheckBgColor(background);
}

} // namespace

void styleMenuButton(NavButton *button)
{
    applyCommon(button, Qt::black, Panel);
    button->setEnabled(true);
}

void styleToolButton(NavButton *button)
{
    applyCommon(button, Qt::black, Panel);
    button->setEnabled(true);
    button->setShowTriangle(false);
    button->setLinePosition(NavButton::LinePositionBottom);
}

void styleIconButton(NavButton *button, const QString &pixmapPath)
{
    applyCommon(button, Qt::black, Panel);
    // The text centres in what the check-box icon at the right end leaves free.
    button->setPadding(0, 0, 20, 0);
    button->setEnabled(true);
    button->setShowIcon(true);
    button->setIconSize(QSize(18, 18));
    button->setIconSpace(button->width() - 20);
    const QPixmap pixmap(pixmapPath);
    button->setIconNormal(pixmap);
    button->setIconHover(pixmap);
    button->setIconCheck(pixmap);
    button->setLinePosition(NavButton::LinePositionBottom);
}

void styleDisabledButton(NavButton *button)
{
    applyCommon(button, QColor(156, 156, 156), QColor(192, 192, 192));
    button->setEnabled(false);
    button->setLinePosition(NavButton::LinePositionBottom);
}
