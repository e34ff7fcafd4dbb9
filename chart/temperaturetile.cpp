#include "temperaturetile.h"

#include "temperatureunit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
// The value keeps this far from the tile's sides, which are the column's edges.
constexpr int kSideMargin = 6;
// The label's contents width minus this is what the text may use.
constexpr int kTextMargin = 10;
constexpr int kPixelSizeStep = 2;
// The value is never squeezed below a line of this size; beyond it, the tile's room sets the font.
constexpr int kReadablePixelSize = 24;
const char kNoValue[] = "---";
// The widest reading a tile shows in practice. No value is sized as this, so the dashes look like
// a number would and the first reading after them fits without a refit.
const char kWidestReading[] = "0000.0℃";

// Readings of several instruments arrive unaligned, and a repaint for each would redraw and flush
// the window many times a second more than anyone can read; tiles repaint together at this pace.
constexpr int kRepaintPaceMs = 50;

// Repaints the values given since its last turn in one go. GUI thread only, as widgets are; it
// goes with the application.
class RepaintPacer : public QObject
{
public:
    static RepaintPacer &instance()
    {
        static QPointer<RepaintPacer> pacer;
        if (!pacer)
            pacer = new RepaintPacer(QCoreApplication::instance());
        return *pacer;
    }
    void schedule(QWidget *widget)
    {
        m_due.append(widget);
        if (!m_timer.isActive())
            m_timer.start();
    }

private:
    explicit RepaintPacer(QObject *parent)
        : QObject(parent)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(kRepaintPaceMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const QVector<QPointer<QWidget>> due = std::exchange(m_due, {});
            for (const QPointer<QWidget> &widget : due)
                if (widget)
                    widget->update();
        });
    }

    QTimer m_timer;
    QVector<QPointer<QWidget>> m_due;
};
} // namespace

TileValue::TileValue(QWidget *parent)
    : QWidget(parent)
{
    // Every pixel is painted: nothing beneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TileValue::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (!std::exchange(m_repaintDue, true))
        RepaintPacer::instance().schedule(this);
}

void TileValue::setTextColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void TileValue::paintEvent(QPaintEvent *)
{
    m_repaintDue = false;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(m_color);
    painter.drawText(contentsRect(), Qt::AlignCenter, m_text);
}

TemperatureTile::TemperatureTile(QWidget *parent)
    : QWidget(parent)
    , m_label(new TileValue(this))
    , m_checkBox(new QCheckBox(this))
{
    setObjectName(QStringLiteral("TemperatureTile"));
    resize(244, 220);
    setStyleSheet(QStringLiteral("border-color: rgb(255, 0, 0);"));
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    m_label->setObjectName(QStringLiteral("label_temp"));
    QFont font(QStringLiteral("微软雅黑"));
    font.setPointSize(24);
    font.setWeight(QFont::Normal);
    m_label->setFont(font);
    m_label->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    // The font follows the label's room, so the room must not follow the font: a hint that grew
    // with it would widen the tile column and lengthen the window past the screen.
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QFont readable = font;
    readable.setPixelSize(kReadablePixelSize);
    m_label->setMinimumHeight(QFontMetrics(readable).height());
    layout->addWidget(m_label, 1);

    auto *row = new QHBoxLayout();
    row->setObjectName(QStringLiteral("horizontalLayout_2"));
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_checkBox->setObjectName(QStringLiteral("checkBox"));
    m_checkBox->setText(tr("CheckBox"));
    m_checkBox->setChecked(true);
    row->addWidget(m_checkBox);
    layout->addLayout(row);
    QMetaObject::connectSlotsByName(this);
}

void TemperatureTile::setCaption(const QString &caption)
{
    m_checkBox->setText(caption);
}

void TemperatureTile::setTextColor(const QColor &color)
{
    m_textColor = color;
    applyColor();
}

void TemperatureTile::setHighlight(const QColor &color)
{
    if (color == m_highlight)
        return;
    m_highlight = color;
    applyColor();
}

QColor TemperatureTile::shownColor() const
{
    return m_highlight.isValid() ? m_highlight : m_textColor;
}

void TemperatureTile::applyColor()
{
    m_label->setTextColor(shownColor());
}

void TemperatureTile::setCheckEnabled(bool enabled)
{
    m_checkBox->setEnabled(enabled);
}

void TemperatureTile::fitFont()
{
    QFont font = m_label->font();
    const QString shown = m_label->text();
    const QString text = shown.isEmpty() || shown == QLatin1String(kNoValue)
                                 ? QString::fromUtf8(kWidestReading)
                                 : shown;
    const int available = availableWidth();
    const int height = m_label->contentsRect().height();
    int chosen = kSmallestPixelSize;
    for (int size = kSmallestPixelSize; size <= kLargestPixelSize; size += kPixelSizeStep) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(text) > available || metrics.height() > height)
            break;
        chosen = size;
    }
    font.setPixelSize(chosen);
    m_label->setFont(font);
}

void TemperatureTile::addObjectReading(float t, int unit, QColor, bool valid)
{
    if (!valid) {
        m_label->setText(QLatin1String(kNoValue));
        return;
    }
    const QString text = QString::asprintf("%.1f", double(t)) + TemperatureUnit::symbol(unit);
    // Most readings repeat the last one: nothing to draw or measure.
    if (text == m_label->text())
        return;
    m_label->setText(text);
    // The font was fitted to a narrower value (a maximum that grew): this one would run over the
    // edges.
    if (QFontMetrics(m_label->font()).horizontalAdvance(text) > availableWidth())
        fitFont();
}

int TemperatureTile::availableWidth() const
{
    return m_label->contentsRect().width() - kTextMargin;
}

void TemperatureTile::on_checkBox_clicked()
{
    displayEnabled = m_checkBox->isChecked();
}

void TemperatureTile::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitFont();
}
