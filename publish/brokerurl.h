#pragma once

#include <QString>

struct PublisherSettings;

// Reads "mqtt://[user@]host[:port]" or "mqtts://…" (TLS) into the settings' host, port, tls and
// user; the default ports are 1883 and 8883. A password in the address is refused: it would
// show in process lists and shell histories.
bool parseBrokerUrl(const QString &url, PublisherSettings *settings, QString *error);

// The address the settings name, without any password.
QString brokerUrl(const PublisherSettings &settings);
