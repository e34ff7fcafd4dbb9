#include "brokerurl.h"

#include "publisher.h"

#include <QUrl>

bool parseBrokerUrl(const QString &text, PublisherSettings *settings, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        *error = QStringLiteral(
                         "the broker must be mqtt://[user@]host[:port] or mqtts://…, not '%1'")
                         .arg(text);
        return false;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("the broker address must not carry a password");
        return false;
    }
    if (url.host().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        || url.hasQuery() || url.hasFragment()) {
        *error = QStringLiteral("the broker address '%1' needs a host and nothing after the port")
                         .arg(text);
        return false;
    }
    settings->tls = scheme == QLatin1String("mqtts");
    settings->host = url.host();
    settings->port = url.port(settings->tls ? 8883 : 1883);
    settings->user = url.userName();
    return true;
}

QString brokerUrl(const PublisherSettings &settings)
{
    QUrl url;
    url.setScheme(settings.tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"));
    url.setHost(settings.host);
    url.setUserName(settings.user);
    if (settings.port != (settings.tls ? 8883 : 1883))
        url.setPort(settings.port);
    return url.toString();
}
