#include "marker.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace {

constexpr std::string_view kKey = "Marker:";

QByteArray escaped(const QString &text)
{
    const QByteArray utf8 = shortenedMarkerText(text).toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += (uchar(c) < 0x20 || c == 0x7F) ? ' ' : c;
        }
    }
    return out;
}

QString unescaped(std::string_view text)
{
    QByteArray out;
    out.reserve(int(text.size()));
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default: // "\\" and anything a newer writer might add
            out += text[i];
        }
    }
    return QString::fromUtf8(out);
}

// Blanks the text may end with are its own; only a line end's CR goes.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(uchar(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

} // namespace

QString shortenedMarkerText(const QString &text)
{
    if (text.size() <= MaxMarkerTextLength)
        return text;
    int keep = MaxMarkerTextLength - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

QByteArray markerLine(const Marker &marker)
{
    const double seconds = std::isfinite(marker.seconds) ? marker.seconds : 0.0;
    return QByteArray(kKey.data(), int(kKey.size())) + QByteArray::number(seconds, 'f', 3) + ':'
           + escaped(marker.text);
}

std::optional<Marker> parseMarkerLine(std::string_view line)
{
    line = trimmed(line);
    if (line.substr(0, kKey.size()) != kKey)
        return std::nullopt;
    line.remove_prefix(kKey.size());
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    Marker marker;
    const auto [end, error] = std::from_chars(line.data(), line.data() + colon, marker.seconds);
    if (error != std::errc() || end != line.data() + colon || !std::isfinite(marker.seconds))
        return std::nullopt;
    marker.text = unescaped(line.substr(colon + 1));
    return marker;
}

QByteArray markerField(const QVector<Marker> &markers)
{
    QByteArray field;
    for (const Marker &marker : markers) {
        if (!field.isEmpty())
            field += "; ";
        field += escaped(marker.text);
    }
    return field;
}

QByteArray csvQuoted(const QByteArray &field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n')
        && !field.contains('\r'))
        return field;
    QByteArray quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray jsonString(const QByteArray &utf8)
{
    QByteArray out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[uchar(c) >> 4];
            out += "0123456789abcdef"[uchar(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out + '"';
}
