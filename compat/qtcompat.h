#ifndef TEVRANO_QTCOMPAT_H
#define TEVRANO_QTCOMPAT_H

// The few names Qt 5.15 and Qt 6 spell differently, so the rest of the tree
// builds against either without version checks of its own.

#include <QLibraryInfo>
#include <QMouseEvent>
#include <QPoint>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using EnterEvent = QEnterEvent; // QWidget::enterEvent's argument
#else
using EnterEvent = QEvent;
#endif

// The cursor's screen position when the mouse event happened.
inline QPoint globalPos(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->globalPosition().toPoint();
#else
    return event->globalPos();
#endif
}

// The cursor's position in the receiving widget, with its fraction of a pixel.
inline QPointF localPos(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->position();
#else
    return event->localPos();
#endif
}

// Where Qt's own catalogues are installed.
inline QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

#endif // TEVRANO_QTCOMPAT_H
