#include "chartlod.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr int kFanBits = 4; // 16 entries per block
constexpr qint64 kFanMask = (1 << kFanBits) - 1;

} // namespace

void Moments::add(const Moments &other)
{
    if (other.count == 0)
        return;
    if (count == 0) {
        *this = other;
        return;
    }
    // The other run's sums, moved to this run's origin.
    const double shift = other.origin - origin;
    squares += other.squares + 2.0 * shift * other.sum + double(other.count) * shift * shift;
    sum += other.sum + double(other.count) * shift;
    count += other.count;
}

double Moments::sampleVariance() const
{
    if (count < 2)
        return 0.0;
    return std::max((squares - sum * sum / double(count)) / double(count - 1), 0.0);
}

template<typename Summary>
void SummaryPyramid<Summary>::clear()
{
    m_levels.clear();
    m_count = 0;
}

template<typename Summary>
void SummaryPyramid<Summary>::append(double value)
{
    qint64 index = m_count++;
    for (size_t k = 0;; ++k) {
        index >>= kFanBits;
        if (k < m_levels.size()) {
            std::vector<Summary> &level = m_levels[k];
            if (index == qint64(level.size()))
                level.emplace_back();
            level[index].add(value);
            continue;
        }
        // A level starts once the one below has a second block, so the top
        // level always summarises everything; the value is already below.
        if (k > 0 && m_levels[k - 1].size() < 2)
            break;
        Summary top;
        if (k == 0) {
            top.add(value);
        } else {
            for (const Summary &below : m_levels[k - 1])
                top.add(below);
        }
        m_levels.push_back({top});
        break;
    }
}

template<typename Summary>
void SummaryPyramid<Summary>::rebuild(const QVector<double> &values)
{
    // Level by level, which is what appending one by one arrives at, in a
    // fraction of the time.
    clear();
    m_count = values.size();
    if (m_count == 0)
        return;
    std::vector<Summary> blocks(size_t((m_count + kFanMask) >> kFanBits));
    for (qint64 i = 0; i < m_count; ++i)
        blocks[size_t(i >> kFanBits)].add(values[int(i)]);
    m_levels.push_back(std::move(blocks));
    while (m_levels.back().size() > 1) {
        const std::vector<Summary> &below = m_levels.back();
        std::vector<Summary> above((below.size() + kFanMask) >> kFanBits);
        for (size_t i = 0; i < below.size(); ++i)
            above[i >> kFanBits].add(below[i]);
        m_levels.push_back(std::move(above));
    }
}

template<typename Summary>
Summary SummaryPyramid<Summary>::over(const QVector<double> &values, int from, int to) const
{
    Summary result;
    qint64 a = std::max(from, 0);
    qint64 b = std::min<qint64>(to, m_count);
    const double *raw = values.constData();
    for (; a < b && (a & kFanMask); ++a)
        result.add(raw[a]);
    for (; b > a && (b & kFanMask); --b)
        result.add(raw[b - 1]);
    a >>= kFanBits;
    b >>= kFanBits;
    for (size_t k = 0; a < b && k < m_levels.size(); ++k) {
        const std::vector<Summary> &level = m_levels[k];
        const bool top = k + 1 == m_levels.size();
        for (; a < b && (top || (a & kFanMask)); ++a)
            result.add(level[a]);
        for (; b > a && (b & kFanMask); --b)
            result.add(level[b - 1]);
        a >>= kFanBits;
        b >>= kFanBits;
    }
    return result;
}

template<typename Summary>
qint64 SummaryPyramid<Summary>::bytes() const
{
    qint64 total = 0;
    for (const std::vector<Summary> &level : m_levels)
        total += qint64(level.capacity() * sizeof(Summary));
    return total;
}

template class SummaryPyramid<Extremes>;
template class SummaryPyramid<Moments>;

SeriesIdentity &SeriesIdentity::operator=(const SeriesIdentity &other)
{
    if (&other != this)
        renew();
    return *this;
}

SeriesIdentity &SeriesIdentity::operator=(SeriesIdentity &&other) noexcept
{
    if (&other != this) {
        m_value = other.m_value;
        other.renew();
    }
    return *this;
}

quint64 SeriesIdentity::issue()
{
    static std::atomic<quint64> issued{0};
    return ++issued;
}

void ChartSeries::clear()
{
    m_identity.renew();
    m_keys.clear();
    for (int curve : {Object, Ambient}) {
        m_values[curve].clear();
        m_extremes[curve].clear();
    }
    m_moments.clear();
}

void ChartSeries::append(double key, double object, double ambient)
{
    m_keys.append(key);
    m_values[Object].append(object);
    m_values[Ambient].append(ambient);
    m_extremes[Object].append(object);
    m_extremes[Ambient].append(ambient);
    m_moments.append(object);
}

void ChartSeries::append(const RecordSeries &rows)
{
    if (isEmpty()) {
        // A whole series handed over: pyramids built level by level.
        assign(rows.durations, rows.temperatures, rows.ambients);
        return;
    }
    // A few samples added to many: one by one, leaving the vectors' geometric growth alone.
    const int count = std::min(rows.durations.size(), rows.temperatures.size());
    for (int i = 0; i < count; ++i)
        append(rows.durations[i], rows.temperatures[i], rows.ambients.value(i, std::nan("")));
}

void ChartSeries::assign(const QVector<double> &keys,
                         const QVector<double> &objects,
                         const QVector<double> &ambients)
{
    m_keys = keys;
    m_values[Object] = objects;
    m_values[Ambient] = ambients;
    rebuildPyramids();
}

void ChartSeries::dropBefore(double key)
{
    const int count = int(std::lower_bound(m_keys.cbegin(), m_keys.cend(), key) - m_keys.cbegin());
    if (count == 0)
        return;
    m_keys.remove(0, count);
    for (int curve : {Object, Ambient})
        m_values[curve].remove(0, count);
    rebuildPyramids();
}

void ChartSeries::rebuildPyramids()
{
    m_identity.renew();
    for (int curve : {Object, Ambient})
        m_extremes[curve].rebuild(m_values[curve]);
    m_moments.rebuild(m_values[Object]);
}

Extremes ChartSeries::extremes(Curve curve) const
{
    return m_extremes[curve].over(m_values[curve], 0, size());
}

SpanStatistics ChartSeries::statistics(double from, double to) const
{
    SpanStatistics result;
    const double *keys = m_keys.constData();
    const double *values = m_values[Object].constData();
    const int first = int(std::lower_bound(keys, keys + size(), from) - keys);
    const int end = int(std::upper_bound(keys + first, keys + size(), to) - keys);
    const Moments moments = m_moments.over(m_values[Object], first, end);
    if (moments.count == 0)
        return result;
    const Extremes extremes = m_extremes[Object].over(m_values[Object], first, end);
    int firstValue = first;
    while (std::isnan(values[firstValue]))
        ++firstValue;
    int lastValue = end - 1;
    while (std::isnan(values[lastValue]))
        --lastValue;
    result.count = int(moments.count);
    result.minimum = extremes.low;
    result.maximum = extremes.high;
    result.mean = moments.mean();
    result.standardDeviation = std::sqrt(moments.sampleVariance());
    result.duration = keys[lastValue] - keys[firstValue];
    return result;
}

int ChartSeries::nearest(double key) const
{
    if (m_keys.isEmpty())
        return -1;
    const int after = int(std::lower_bound(m_keys.cbegin(), m_keys.cend(), key) - m_keys.cbegin());
    if (after == 0)
        return 0;
    if (after == size())
        return after - 1;
    return key - m_keys[after - 1] <= m_keys[after] - key ? after - 1 : after;
}

qint64 ChartSeries::bytes() const
{
    qint64 total = qint64(m_keys.capacity()) * qint64(sizeof(double));
    for (int curve : {Object, Ambient}) {
        total += qint64(m_values[curve].capacity()) * qint64(sizeof(double));
        total += m_extremes[curve].bytes();
    }
    return total + m_moments.bytes();
}

namespace {

// The first index in [from, to) whose key is at or after `edge`, `to` when
// none is. Samples come at a steady pace, so the search starts at `guess`
// (where the last cell's length would end this one) and gallops from there
// either way: it stays within a cache line or two of the answer.
int firstAtOrAfter(const double *keys, int from, int to, double edge, int guess)
{
    // The answer lies in [low, high].
    int low = std::clamp(guess, from, to);
    int high = to;
    if (low > from && keys[low - 1] >= edge) {
        high = low - 1;
        int step = 1;
        while (high - step >= from && keys[high - step] >= edge) {
            high -= step;
            step *= 2;
        }
        low = std::max(high - step + 1, from);
    } else {
        int step = 1;
        while (low + step <= to && keys[low + step - 1] < edge) {
            low += step;
            step *= 2;
        }
        high = std::min(low + step - 1, to);
    }
    return int(std::lower_bound(keys + low, keys + high, edge) - keys);
}

// The extremes of values[a + 1, b - 1) from `known`, those of values[was + 1,
// wasEnd - 1), when the two runs overlap, their ends lie a few samples apart and
// no value that left is an extreme (a value that stays then holds it); none
// otherwise.
std::optional<Extremes>
mended(const double *values, Extremes known, int was, int wasEnd, int a, int b)
{
    constexpr int kNear = 16;
    const int from = a + 1;
    const int to = b - 1;
    const int knownFrom = was + 1;
    const int knownTo = wasEnd - 1;
    if (std::abs(from - knownFrom) > kNear || std::abs(to - knownTo) > kNear
        || std::max(from, knownFrom) >= std::min(to, knownTo))
        return std::nullopt;
    // Gaps never count, whether they leave or join: comparisons with NaN fail.
    const auto leaves = [&](int begin, int end) {
        return std::any_of(values + begin, values + end, [&known](double value) {
            return value <= known.low || value >= known.high;
        });
    };
    if (leaves(knownFrom, std::max(from, knownFrom)) || leaves(std::min(to, knownTo), knownTo))
        return std::nullopt;
    for (int i = from; i < knownFrom; ++i)
        known.add(values[i]);
    for (int i = knownTo; i < to; ++i)
        known.add(values[i]);
    return known;
}

} // namespace

ChartSeries::View
ChartSeries::view(double lower, double upper, int columns, bool ambient, EnvelopeCache *cache) const
{
    View result;
    const int curves = ambient ? 2 : 1; // Object first
    const int n = size();
    if (n == 0 || columns <= 0 || !(upper > lower))
        return result;
    const double *keys = m_keys.constData();
    const int inside = int(std::lower_bound(keys, keys + n, lower) - keys);
    const int beyond = int(std::upper_bound(keys + inside, keys + n, upper) - keys);
    const int first = n <= 2 * columns ? 0 : std::max(inside - 1, 0);
    const int last = n <= 2 * columns ? n : std::min(beyond + 1, n);
    if (last - first <= 2 * columns) {
        for (int curve = Object; curve < curves; ++curve) {
            const double *values = m_values[curve].constData();
            QVector<QCPGraphData> &points = result.points[curve];
            points.reserve(last - first);
            for (int i = first; i < last; ++i)
                points.append(QCPGraphData(keys[i], values[i]));
        }
        return result;
    }

    // Cell c holds the keys a graph puts at pixel column c once rounded, so
    // each cell's points all land in one column: [c - 0.5, c + 0.5) columns
    // from `lower`, the last cell ending at `upper`. Only cells with samples
    // are kept; the keys are searched once for all curves.
    result.envelope = true;
    const double width = (upper - lower) / columns;
    std::vector<int> starts; // of each cell, then `beyond`
    starts.reserve(size_t(columns) + 2);
    int length = 1;
    for (int c = 0, a = inside; c <= columns && a < beyond; ++c) {
        const int b
                = c == columns
                          ? beyond
                          : firstAtOrAfter(keys, a, beyond, lower + (c + 0.5) * width, a + length);
        if (b == a)
            continue;
        starts.push_back(a);
        length = b - a;
        a = b;
    }
    starts.push_back(beyond);
    // Cells held for these very samples, appended to since or not.
    const bool cached = cache && cache->m_identity == m_identity.value();
    std::vector<Extremes> inners[2];
    for (int curve = Object; curve < curves; ++curve) {
        const double *values = m_values[curve].constData();
        QVector<QCPGraphData> &points = result.points[curve];
        points.reserve(4 * int(starts.size()) + 2);
        if (inside > 0)
            points.append(QCPGraphData(keys[inside - 1], values[inside - 1]));
        const size_t heldCells = cached ? cache->m_inner[curve].size() : 0;
        std::vector<Extremes> &inner = inners[curve];
        inner.reserve(starts.size());
        size_t match = 0; // the held cell that starts nearest to this one
        for (size_t cell = 0; cell + 1 < starts.size(); ++cell) {
            const int a = starts[cell];
            const int b = starts[cell + 1];
            points.append(QCPGraphData(keys[a], values[a]));
            std::optional<Extremes> known;
            if (heldCells > 0) {
                const std::vector<int> &held = cache->m_starts;
                while (match + 1 < heldCells && held[match + 1] <= a)
                    ++match;
                if (match + 1 < heldCells && held[match + 1] - a < a - held[match])
                    ++match;
                known = mended(
                        values, cache->m_inner[curve][match], held[match], held[match + 1], a, b);
            }
            inner.push_back(known ? *known : m_extremes[curve].over(m_values[curve], a + 1, b - 1));
            if (!inner.back().isEmpty()) {
                const double middle = (keys[a] + keys[b - 1]) * 0.5;
                points.append(QCPGraphData(middle, inner.back().low));
                points.append(QCPGraphData(middle, inner.back().high));
            }
            if (b - 1 > a)
                points.append(QCPGraphData(keys[b - 1], values[b - 1]));
        }
        if (beyond < n)
            points.append(QCPGraphData(keys[beyond], values[beyond]));
    }
    if (cache) {
        cache->m_identity = m_identity.value();
        cache->m_starts = std::move(starts);
        for (int curve = Object; curve <= Ambient; ++curve)
            cache->m_inner[curve] = std::move(inners[curve]);
    }
    return result;
}

QRect aliasedStrokeReach(const QLineF &line, int width)
{
    // A square cap reaches furthest: the outline's corners lie half the width
    // along and across the line from its ends. Pixels count by their centres;
    // a sixteenth of a pixel to spare covers the rasteriser's own rounding.
    const double length = line.length();
    const double cosine = length > 0.0 ? std::abs(line.dx()) / length : 1.0;
    const double sine = length > 0.0 ? std::abs(line.dy()) / length : 1.0;
    const double spread = (cosine + sine) * width * 0.5 + 1.0 / 16.0;
    const auto first = [spread](double low) {
        return int(std::ceil(low - spread - 0.5));
    };
    const auto last = [spread](double high) {
        return int(std::floor(high + spread - 0.5));
    };
    return QRect(
            QPoint(first(std::min(line.x1(), line.x2())), first(std::min(line.y1(), line.y2()))),
            QPoint(last(std::max(line.x1(), line.x2())), last(std::max(line.y1(), line.y2()))));
}

bool coveredBy(const QRect &reach, const QRect &a, const QRect &b)
{
    const auto spans = [&reach](const QRect &rect, int x) {
        return rect.left() <= x && x <= rect.right() && rect.top() <= reach.top()
               && reach.bottom() <= rect.bottom();
    };
    for (int x = reach.left(); x <= reach.right(); ++x) {
        if (!spans(a, x) && !spans(b, x))
            return false;
    }
    return true;
}

EnvelopeGraph::EnvelopeGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{}

void EnvelopeGraph::drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    const QPen pen = painter->pen();
    if (!m_envelope || keyAxis()->orientation() != Qt::Horizontal || pen.style() != Qt::SolidLine
        || pen.color().alpha() == 0) {
        QCPGraph::drawLinePlot(painter, lines);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    // Pixel coordinates are rounded as an aliased line's ends are.
    const int width = std::max(1, qRound(pen.widthF()));
    const int before = width / 2;
    const int after = (width - 1) / 2;
    QVector<QRect> columns;
    // Lines between columns, by the column they leave; the next column is where they end.
    struct Link
    {
        QLineF line;
        int from;
    };
    std::vector<Link> links;
    int column = 0;
    int top = 0;
    int bottom = 0;
    bool open = false;
    const auto close = [&] {
        if (open)
            columns.append(QRect(QPoint(column - before, top - before),
                                 QPoint(column + after, bottom + after)));
        open = false;
    };
    // `open` also says that `previous` is a point to go on from: a gap ends both.
    QPointF previous;
    for (const QPointF &point : lines) {
        if (std::isnan(point.x()) || std::isnan(point.y())) {
            close();
            continue;
        }
        const int x = qRound(point.x());
        const int y = qRound(point.y());
        if (open && x == column) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            previous = point;
            continue;
        }
        const bool wasOpen = open;
        close();
        if (wasOpen)
            links.push_back({QLineF(previous, point), int(columns.size()) - 1});
        top = bottom = y;
        column = x;
        open = true;
        previous = point;
    }
    close();
    // Lines between columns are few and short: drawn as they are, they land
    // where the full drawing puts them. Most lie within the two columns they
    // join, whose pixels the same opaque colour lights anyway; stroking them
    // would cost more than all the columns. Aliased, a line is rounded as
    // QCPPainter::drawLine rounds it.
    const bool aliased
            = !painter->antialiasing() && !painter->modes().testFlag(QCPPainter::pmVectorized);
    const bool pixelExact = aliased && width >= 2 && pen.color().alpha() == 255
                            && painter->paintEngine()
                            && painter->paintEngine()->type() == QPaintEngine::Raster
                            && painter->transform().type() == QTransform::TxNone;
    QVector<QLineF> stroked;
    for (const Link &link : links) {
        const QLineF line = aliased ? QLineF(link.line.toLine()) : link.line;
        if (!pixelExact
            || !coveredBy(
                    aliasedStrokeReach(line, width), columns[link.from], columns[link.from + 1]))
            stroked.append(line);
    }
    // In one call: one at a time, each pays the painter's whole set-up.
    painter->drawLines(stroked);
    paintColumns(painter, columns, pen.color());
}

void EnvelopeGraph::paintColumns(QPainter *painter,
                                 const QVector<QRect> &columns,
                                 const QColor &colour) const
{
    // Qt 5's rasteriser fills a rectangle a row at a time through a call per
    // row: five hundred rows by a thousand columns cost tens of milliseconds.
    // Written straight into an image they cost one pass over the plot's area.
    const QTransform transform = painter->transform();
    if (!painter->paintEngine() || painter->paintEngine()->type() != QPaintEngine::Raster
        || transform.type() > QTransform::TxScale) {
        for (const QRect &rect : columns)
            painter->fillRect(rect, colour);
        return;
    }
    const QRect area = transform.mapRect(QRectF(clipRect())).toAlignedRect();
    if (m_canvas.size() != area.size()) {
        m_canvas = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        m_canvas.fill(Qt::transparent);
    }
    const QRgb pixel = qPremultiply(colour.rgba());
    uchar *bits = m_canvas.bits();
    const qsizetype stride = m_canvas.bytesPerLine();
    // Only what the last draw lit is cleared and only what this one lights is
    // laid over the plot: a flat curve takes a few rows, not the whole area.
    const QRect cleared = m_lit & m_canvas.rect();
    for (int y = cleared.top(); y <= cleared.bottom(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(bits + y * stride);
        std::fill(line + cleared.left(), line + cleared.right() + 1, 0);
    }
    m_lit = QRect();
    const bool plain = transform.type() == QTransform::TxNone;
    const auto fill = [&](int x, int top, int bottom) {
        uchar *at = bits + top * stride + x * qsizetype(sizeof(QRgb));
        for (int y = top; y <= bottom; ++y, at += stride)
            *reinterpret_cast<QRgb *>(at) = pixel;
    };
    QRect previous; // where the column before was written
    for (const QRect &rect : columns) {
        const QRect lit = (plain ? rect : transform.mapRect(QRectF(rect)).toAlignedRect())
                                  .translated(-area.topLeft())
                          & m_canvas.rect();
        // A column is a pixel or two wide and many high: pixel by pixel down
        // each, as a row's fill would cost its set-up for two pixels. Where the
        // column before shares a pixel column, its rows are not written again:
        // in a dense envelope neighbours share most of theirs.
        for (int x = lit.left(); x <= lit.right(); ++x) {
            if (x < previous.left() || x > previous.right()) {
                fill(x, lit.top(), lit.bottom());
                continue;
            }
            fill(x, lit.top(), std::min(lit.bottom(), previous.top() - 1));
            fill(x, std::max(lit.top(), previous.bottom() + 1), lit.bottom());
        }
        previous = lit;
        m_lit |= lit;
    }
    if (m_lit.isEmpty())
        return;
    painter->save();
    painter->resetTransform();
    painter->drawImage(m_lit.topLeft() + area.topLeft(), m_canvas, m_lit);
    painter->restore();
}

QCPRange autoFitRange(double low, double high, double currentSize)
{
    if (std::isnan(low))
        return QCPRange(std::nan(""), std::nan(""));
    const double margin = (high - low) * 0.05;
    if (QCPRange::validRange(low - margin, high + margin))
        return QCPRange(low - margin, high + margin);
    const double centre = (low + high) * 0.5;
    return QCPRange(centre - currentSize * 0.5, centre + currentSize * 0.5);
}
