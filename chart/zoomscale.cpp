#include "zoomscale.h"

#include "chartresources.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimerEvent>

#include <algorithm>

namespace {

// Labelled as well as drawn: the icons alone did not say which way they zoom.
QPushButton *
makeZoomButton(QWidget *parent, const QString &name, const QString &icon, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    button->setMinimumSize(100, 0);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(48, 48));
    button->setToolTip(text);
    return button;
}

} // namespace

ZoomScale::ZoomScale(QWidget *parent)
    : QWidget(parent)
{
    initChartResources();
    setObjectName(QStringLiteral("ZoomScale"));
    resize(199, 95);
    setWindowFlag(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeZoomButton(this,
                                     QStringLiteral("pushButton_zoomin"),
                                     QStringLiteral(":/imager/zoomin.png"),
                                     tr("放大")));
    layout->addWidget(makeZoomButton(this,
                                     QStringLiteral("pushButton_zoomout"),
                                     QStringLiteral(":/imager/zoomout.png"),
                                     tr("缩小")));
    resize(std::max(width(), sizeHint().width()), height());
    QMetaObject::connectSlotsByName(this);
    m_timerId = startTimer(kLifetimeMs, Qt::CoarseTimer);
}

void ZoomScale::on_pushButton_zoomin_clicked()
{
    emit zoomInClicked();
    restartLifetime();
}

void ZoomScale::on_pushButton_zoomout_clicked()
{
    emit zoomOutClicked();
    restartLifetime();
}

void ZoomScale::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return QWidget::timerEvent(event);
    killTimer(std::exchange(m_timerId, 0));
    emit dismissed();
}

void ZoomScale::restartLifetime()
{
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = startTimer(kLifetimeMs, Qt::CoarseTimer);
}
