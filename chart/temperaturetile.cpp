#include "temperaturetile.h"

#include "temperatureunit.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QVBoxLayout>

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
} // namespace

TemperatureTile::TemperatureTile(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
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
    m_label->setAlignment(Qt::AlignCenter);
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
    const QColor color = shownColor();
    setStyleSheet(QStringLiteral("QLabel{background-color: rgb(255, 255, 255);color:rgb(%1,%2,%3)}")
                          .arg(color.red())
                          .arg(color.green())
                          .arg(color.blue()));
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
