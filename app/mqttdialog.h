#pragma once

#include "publisher.h"

#include <QDialog>
#include <QLabel>
#include <QTimer>

#include <memory>

class InstrumentSet;
class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

// What the window publishes and where. Kept in config.xml, except the password: that goes to
// "mqtt-password" beside it, readable by the user alone, so config.xml can be copied or shown
// without it.
struct MqttConfig
{
    bool enabled = false;
    PublisherSettings publisher;

    static MqttConfig load();
    void save() const;
};

// Settings → MQTT: broker, TLS and its CA, user, password, prefix, interval, on or off.
class MqttDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MqttDialog(const MqttConfig &config, QWidget *parent = nullptr);
    MqttConfig config() const;

    void accept() override;

private:
    QCheckBox *m_enabled;
    QLineEdit *m_host;
    QSpinBox *m_port;
    QCheckBox *m_tls;
    QLineEdit *m_caFile;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLineEdit *m_prefix;
    QDoubleSpinBox *m_interval;
    QCheckBox *m_discovery;
    MqttConfig m_config;
};

// Publishes the latest readings of every member of the set at the configured interval while
// publishing is on, each under its serial number, and shows in its label whether they reach the
// broker. A member lost publishes rows without temperatures, as the logger's gaps; one closed,
// nothing.
class MqttFeed : public QObject
{
    Q_OBJECT
public:
    // `set` must outlive the feed.
    explicit MqttFeed(const InstrumentSet *set, QObject *parent = nullptr);
    ~MqttFeed() override;

    QLabel *statusLabel() { return &m_label; }
    // Opens the dialog; a changed configuration takes effect at once.
    void edit(QWidget *parent);
    void retranslate();

private:
    void apply(const MqttConfig &config);
    void publishLatest();

    const InstrumentSet *m_set;
    MqttConfig m_config;
    std::unique_ptr<Publisher> m_publisher;
    QTimer m_timer;
    QLabel m_label;
};
