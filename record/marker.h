#ifndef TEVRANO_MARKER_H
#define TEVRANO_MARKER_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>
#include <string_view>

// A moment of a recording worth finding again: the door opened, an alarm
// fired, someone changed the emissivity.
struct Marker
{
    double seconds = 0; // since the recording started, on the Duration axis
    QString text;

    bool operator==(const Marker &other) const
    {
        return seconds == other.seconds && text == other.text;
    }
};

// Longer texts are cut to this many characters, the last one an ellipsis.
inline constexpr int MaxMarkerTextLength = 200;

// `text` as a marker keeps it: at most MaxMarkerTextLength characters, a
// surrogate pair never split.
QString shortenedMarkerText(const QString &text);

// "Marker:<seconds>:<text>", no line end. The text is shortened and escaped
// (backslash, tab, line feed, carriage return; other control characters become
// blanks), so the line holds no tab and no line break: older readers skip it
// both among the header's keys and among the rows.
QByteArray markerLine(const Marker &marker);
// The marker of such a line (blanks before it and a CR after it allowed); nothing for any
// other line.
std::optional<Marker> parseMarkerLine(std::string_view line);

// The texts of `markers` for one field of a row, joined by "; ", escaped as
// in a marker line (no tab, no line break).
QByteArray markerField(const QVector<Marker> &markers);
// `field` quoted for CSV where it needs it.
QByteArray csvQuoted(const QByteArray &field);
// `text` as a JSON string, quotes included.
QByteArray jsonString(const QByteArray &utf8);

#endif // TEVRANO_MARKER_H
