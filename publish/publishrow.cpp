#include "publishrow.h"

#include "isotime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <cmath>

namespace {

QByteArray temperature(double value)
{
    return std::isfinite(value) ? QByteArray::number(value, 'f', 1) : QByteArrayLiteral("null");
}

const char *unitName(bool fahrenheit)
{
    return fahrenheit ? "F" : "C";
}

// Topic levels must not carry MQTT's wildcards or separators.
QString topicLevel(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    return text;
}

} // namespace

PublishTopics::PublishTopics(const QString &prefix, const QString &instrument)
    : instrument(topicLevel(instrument))
{
    const QByteArray base = prefix.toUtf8() + '/' + this->instrument.toUtf8() + '/';
    state = base + "state";
    availability = base + "availability";
}

bool isValidTopicPrefix(const QString &prefix)
{
    return !prefix.isEmpty() && !prefix.contains(QLatin1Char('+'))
           && !prefix.contains(QLatin1Char('#')) && !prefix.startsWith(QLatin1Char('/'))
           && !prefix.endsWith(QLatin1Char('/'));
}

QByteArray statePayload(const PublishRow &row, quint64 seq, bool replayed)
{
    return "{\"time\":\"" + isoTimeWithOffset(row.time) + "\",\"seq\":" + QByteArray::number(seq)
           + ",\"object\":" + temperature(row.object) + ",\"ambient\":" + temperature(row.ambient)
           + ",\"unit\":\"" + unitName(row.fahrenheit)
           + (replayed ? "\",\"replayed\":true}" : "\",\"replayed\":false}");
}

QVector<DiscoveryMessage>
discoveryMessages(const PublishTopics &topics, bool fahrenheit, int expireAfterS)
{
    const QString id = QStringLiteral("tevrano_") + topics.instrument;
    const QJsonObject device{
            {QStringLiteral("identifiers"), QJsonArray{id}},
            {QStringLiteral("name"), QStringLiteral("Tevrano ") + topics.instrument},
            {QStringLiteral("serial_number"), topics.instrument},
            {QStringLiteral("model"), QStringLiteral("Infrared thermometer")},
    };
    QVector<DiscoveryMessage> messages;
    const std::pair<const char *, const char *> sensors[]
            = {{"object", "Object temperature"}, {"ambient", "Ambient temperature"}};
    for (const auto &[key, name] : sensors) {
        const QString uniqueId = id + QLatin1Char('_') + QLatin1String(key);
        const QJsonObject config{
                {QStringLiteral("name"), QLatin1String(name)},
                {QStringLiteral("unique_id"), uniqueId},
                {QStringLiteral("object_id"), uniqueId},
                {QStringLiteral("state_topic"), QString::fromUtf8(topics.state)},
                {QStringLiteral("value_template"),
                 QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(key))},
                {QStringLiteral("device_class"), QStringLiteral("temperature")},
                {QStringLiteral("state_class"), QStringLiteral("measurement")},
                {QStringLiteral("unit_of_measurement"),
                 QString::fromUtf8(fahrenheit ? "\u00B0F" : "\u00B0C")},
                {QStringLiteral("expire_after"), expireAfterS},
                {QStringLiteral("availability_topic"), QString::fromUtf8(topics.availability)},
                {QStringLiteral("device"), device},
        };
        messages.append({"homeassistant/sensor/" + uniqueId.toUtf8() + "/config",
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
