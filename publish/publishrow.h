#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// One row for the broker. NaN temperatures are gaps (no valid reading) and go out as null.
struct PublishRow
{
    QString instrument; // the instrument's serial number, as text
    QDateTime time;     // carries its UTC offset
    double object = 0;
    double ambient = 0;
    bool fahrenheit = false;
};

// What the broker sees of one instrument.
struct PublishTopics
{
    PublishTopics(const QString &prefix, const QString &instrument);
    QByteArray state;
    QByteArray availability;
    QString instrument;
};

// A topic prefix may have levels but no wildcard and no empty level at either end.
bool isValidTopicPrefix(const QString &prefix);

// The state message: time (ISO 8601, ms, UTC offset), seq, object, ambient, unit, replayed.
QByteArray statePayload(const PublishRow &row, quint64 seq, bool replayed);

// Home Assistant's discovery of one instrument: the retained config of one sensor.
struct DiscoveryMessage
{
    QByteArray topic;
    QByteArray payload;
};
// The object and ambient sensors; `expireAfterS` is how long Home Assistant trusts a value.
QVector<DiscoveryMessage>
discoveryMessages(const PublishTopics &topics, bool fahrenheit, int expireAfterS);

inline constexpr char HomeAssistantStatusTopic[] = "homeassistant/status";
