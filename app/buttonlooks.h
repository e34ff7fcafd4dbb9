#pragma once

#include <QString>

class NavButton;

// The four looks the window gives its NavButtons.
void styleMenuButton(NavButton *button);
void styleToolButton(NavButton *button);
void styleIconButton(NavButton *button, const QString &pixmapPath);
void styleDisabledButton(NavButton *button);
