#include "ambrelescale.h"

#include "chartresources.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimerEvent>

namespace {

QPushButton *makeZoomButton(QWidget *parent, const QString &name, const QString &icon)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    button->setMinimumSize(100, 0);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(86, 86));
    return button;
}

} // namespace

AmbreleScale::AmbreleScale(QWidget *parent)
    : QWidget(parent)
{
    initChartResources();
    setObjectName(QStringLiteral("AmbreleScale"));
    resize(199, 95);
    setWindowFlag(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeZoomButton(
            this, QStringLiteral("pushButton_zoomin"), QStringLiteral(":/imager/zoomin.png")));
    layout->addWidget(makeZoomButton(
            this, QStringLiteral("pushButton_zoomout"), QStringLiteral(":/imager/zoomout.png")));
    QMetaObject::connectSlotsByName(this);
    m_timerId = startTimer(kLifetimeMs, Qt::CoarseTimer);
}

void AmbreleScale::on_pushButton_zoomin_clicked()
{
    emit zoomin_clicked();
    restartLifetime();
}

void AmbreleScale::on_pushButton_zoomout_clicked()
{
    emit zoomout_clicked();
    restartLifetime();
}

void AmbreleScale::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return QWidget::timerEvent(event);
    killTimer(std::exchange(m_timerId, 0));
    emit disapper();
}

void AmbreleScale::restartLifetime()
{
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = startTimer(kLifetimeMs, Qt::CoarseTimer);
}
