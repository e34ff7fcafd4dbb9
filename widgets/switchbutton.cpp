#include "switchbutton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kTrackOn(0, 150, 136);
const QColor kTrackOff(170, 170, 170);
const QColor kTrackDisabled(215, 215, 215);
const QColor kKnob(Qt::white);
const QColor kText(Qt::white);
const int kKnobMargin = 2;

} // namespace

SwitchButton::SwitchButton(QWidget *parent)
    : QWidget(parent)
{
    // Tab focus and click focus, so the Space key can toggle it.
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SwitchButton::setTextOn(const QString &text)
{
    m_textOn = text;
    update();
}

void SwitchButton::setTextOff(const QString &text)
{
    m_textOff = text;
    update();
}

QString SwitchButton::currentText() const
{
    return m_checked ? m_textOn : m_textOff;
}

QSize SwitchButton::sizeHint() const
{
    return QSize(60, 24);
}

QSize SwitchButton::minimumSizeHint() const
{
    return QSize(40, 20);
}

void SwitchButton::setChecked(bool checked)
{
    // Silent on purpose: the dispatcher sets the state it read from the
    // instrument, and an emission here would write that state straight back.
    if (m_checked == checked)
        return;
    m_checked = checked;
    update();
}

void SwitchButton::toggleByUser()
{
    m_checked = !m_checked;
    update();
    emit checkedChanged(m_checked);
}

void SwitchButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF track = rect();
    const qreal radius = track.height() / 2.0;
    QColor trackColor = m_checked ? kTrackOn : kTrackOff;
    if (!isEnabled())
        trackColor = kTrackDisabled;
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, radius, radius);

    // The knob sits at the right end when on, at the left end when off; the
    // text fills the part of the track the knob leaves free.
    const qreal knobSize = track.height() - 2 * kKnobMargin;
    const qreal knobX = m_checked ? track.width() - kKnobMargin - knobSize : kKnobMargin;
    painter.setBrush(kKnob);
    painter.drawEllipse(QRectF(knobX, kKnobMargin, knobSize, knobSize));

    const qreal knobSpan = knobSize + 2 * kKnobMargin;
    QRectF textRect = track.adjusted(knobSpan, 0, 0, 0);
    if (m_checked)
        textRect = track.adjusted(0, 0, -knobSpan, 0);
    painter.setPen(kText);
    painter.drawText(textRect, Qt::AlignCenter, currentText());
}

void SwitchButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SwitchButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // Dragging off the switch before letting go cancels the click, as with
    // ordinary buttons.
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (wasPressed && rect().contains(event->pos()))
        toggleByUser();
    event->accept();
}

void SwitchButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        toggleByUser();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
