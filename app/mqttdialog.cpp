#include "mqttdialog.h"

#include "brokerurl.h"
#include "instrument.h"
#include "instrumentset.h"
#include "messages.h"
#include "recordfile.h"
#include "settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace {

constexpr char EnabledKey[] = "MqttEnabled";
constexpr char BrokerKey[] = "MqttBroker";
constexpr char CaFileKey[] = "MqttCaFile";
constexpr char PrefixKey[] = "MqttPrefix";
constexpr char IntervalKey[] = "MqttInterval"; // milliseconds
constexpr char DiscoveryKey[] = "MqttDiscovery";
constexpr char PasswordFile[] = "mqtt-password";

QString settingsPath(const char *name)
{
    return QDir(appSettings().settingsDir()).filePath(QLatin1String(name));
}

QString value(const char *key, const QString &fallback = QString())
{
    return appSettings().value(QLatin1String(key), fallback);
}

} // namespace

MqttConfig MqttConfig::load()
{
    MqttConfig config;
    PublisherSettings &publisher = config.publisher;
    QString error;
    const QString broker = value(BrokerKey);
    const bool parsed = !broker.isEmpty() && parseBrokerUrl(broker, &publisher, &error);
    config.enabled = value(EnabledKey) == QLatin1String("1") && parsed;
    publisher.caFile = value(CaFileKey);
    publisher.prefix = value(PrefixKey, publisher.prefix);
    const int intervalMs = value(IntervalKey).toInt();
    publisher.intervalMs = intervalMs > 0 ? std::clamp(intervalMs, 100, 3600000) : 1000;
    publisher.discovery = value(DiscoveryKey) != QLatin1String("0");
    QFile password(settingsPath(PasswordFile));
    if (password.open(QIODevice::ReadOnly))
        publisher.password = QString::fromUtf8(password.readAll());
    publisher.queueDirectory = settingsPath("mqtt-queue");
    return config;
}

void MqttConfig::save() const
{
    Settings &settings = appSettings();
    settings.setValue(QLatin1String(EnabledKey),
                      enabled ? QStringLiteral("1") : QStringLiteral("0"));
    settings.setValue(QLatin1String(BrokerKey),
                      publisher.host.isEmpty() ? QString() : brokerUrl(publisher));
    settings.setValue(QLatin1String(CaFileKey), publisher.caFile);
    settings.setValue(QLatin1String(PrefixKey), publisher.prefix);
    settings.setValue(QLatin1String(IntervalKey), QString::number(publisher.intervalMs));
    settings.setValue(QLatin1String(DiscoveryKey),
                      publisher.discovery ? QStringLiteral("1") : QStringLiteral("0"));
    settings.writeFile();
    if (publisher.password.isEmpty()) {
        QFile::remove(settingsPath(PasswordFile));
        return;
    }
    QSaveFile file(settingsPath(PasswordFile));
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(publisher.password.toUtf8());
        file.commit();
    }
}

MqttDialog::MqttDialog(const MqttConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_enabled(new QCheckBox(tr("发布到 MQTT 代理")))
    , m_host(new QLineEdit(config.publisher.host))
    , m_port(new QSpinBox)
    , m_tls(new QCheckBox(tr("TLS 加密（校验证书）")))
    , m_caFile(new QLineEdit(config.publisher.caFile))
    , m_user(new QLineEdit(config.publisher.user))
    , m_password(new QLineEdit(config.publisher.password))
    , m_prefix(new QLineEdit(config.publisher.prefix))
    , m_interval(new QDoubleSpinBox)
    , m_discovery(new QCheckBox(tr("Home Assistant 自动发现")))
    , m_config(config)
{
    setWindowTitle(tr("MQTT 设置"));
    m_enabled->setChecked(config.enabled);
    m_port->setRange(1, 65535);
    m_port->setValue(config.publisher.port);
    m_tls->setChecked(config.publisher.tls);
    m_password->setEchoMode(QLineEdit::Password);
    m_caFile->setPlaceholderText(tr("系统证书"));
    m_interval->setRange(0.1, 3600);
    m_interval->setDecimals(1);
    m_interval->setSuffix(tr(" 秒"));
    m_interval->setValue(config.publisher.intervalMs / 1000.0);
    m_discovery->setChecked(config.publisher.discovery);
    // The usual ports follow TLS unless the user chose another.
    connect(m_tls, &QCheckBox::toggled, this, [this](bool tls) {
        if (m_port->value() == (tls ? 1883 : 8883))
            m_port->setValue(tls ? 8883 : 1883);
    });

    auto *browse = new QPushButton(tr("浏览…"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file
                = Messages::openFileName(tr("CA 证书"), tr("证书 (*.pem *.crt);;所有文件 (*)"));
        if (!file.isEmpty())
            m_caFile->setText(QDir::toNativeSeparators(file));
    });
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile);
    caRow->addWidget(browse);

    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(tr("代理主机"), m_host);
    form->addRow(tr("端口"), m_port);
    form->addRow(m_tls);
    form->addRow(tr("CA 证书"), caRow);
    form->addRow(tr("用户名"), m_user);
    form->addRow(tr("密码"), m_password);
    form->addRow(tr("主题前缀"), m_prefix);
    form->addRow(tr("发布间隔"), m_interval);
    form->addRow(m_discovery);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

MqttConfig MqttDialog::config() const
{
    MqttConfig config = m_config;
    config.enabled = m_enabled->isChecked();
    PublisherSettings &publisher = config.publisher;
    publisher.host = m_host->text().trimmed();
    publisher.port = m_port->value();
    publisher.tls = m_tls->isChecked();
    publisher.caFile = QDir::fromNativeSeparators(m_caFile->text().trimmed());
    publisher.user = m_user->text().trimmed();
    publisher.password = m_password->text();
    publisher.prefix = m_prefix->text().trimmed();
    publisher.intervalMs = int(std::lround(m_interval->value() * 1000));
    publisher.discovery = m_discovery->isChecked();
    return config;
}

void MqttDialog::accept()
{
    const MqttConfig chosen = config();
    if (chosen.enabled && chosen.publisher.host.isEmpty()) {
        Messages::critical(this, windowTitle(), tr("请填写代理主机"));
        return;
    }
    if (!isValidTopicPrefix(chosen.publisher.prefix)) {
        Messages::critical(
                this, windowTitle(), tr("主题前缀不能为空，不能含 + 或 #，首尾不能是 /"));
        return;
    }
    QDialog::accept();
}

MqttFeed::MqttFeed(const InstrumentSet *set, QObject *parent)
    : QObject(parent)
    , m_set(set)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MqttFeed::publishLatest);
    m_label.setObjectName(QStringLiteral("mqttStatus"));
    apply(MqttConfig::load());
}

MqttFeed::~MqttFeed() = default;

void MqttFeed::edit(QWidget *parent)
{
    MqttDialog dialog(m_config, parent);
    if (Messages::exec(dialog) != QDialog::Accepted)
        return;
    const MqttConfig config = dialog.config();
    config.save();
    apply(config);
}

void MqttFeed::apply(const MqttConfig &config)
{
    m_config = config;
    m_timer.stop();
    m_publisher.reset();
    if (config.enabled) {
        m_publisher = std::make_unique<Publisher>(config.publisher);
        connect(m_publisher.get(), &Publisher::stateChanged, this, &MqttFeed::retranslate);
        connect(m_publisher.get(), &Publisher::problem, this, [this](const QString &message) {
            m_label.setToolTip(message);
        });
        m_timer.start(config.publisher.intervalMs);
    }
    m_label.setToolTip(QString());
    retranslate();
}

void MqttFeed::retranslate()
{
    QString text = tr("MQTT：关闭");
    if (m_publisher) {
        switch (m_publisher->state()) {
        case Publisher::State::Connected:
            text = tr("MQTT：已连接");
            break;
        case Publisher::State::Queueing:
            text = tr("MQTT：排队中");
            break;
        case Publisher::State::Connecting:
            text = tr("MQTT：连接中");
            break;
        }
    }
    m_label.setText(text);
}

void MqttFeed::publishLatest()
{
    using State = Instrument::ConnectionState;
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &serialNumber : m_set->serialNumbers()) {
        const Instrument *instrument = m_set->instrument(serialNumber);
        const State state = instrument->state();
        if (state != State::Connected && state != State::NotResponding && state != State::Lost)
            continue;
        const Instrument::Reading reading = instrument->latest();
        const bool gap = state == State::Lost
                         || isSampleGap(now.toMSecsSinceEpoch() - reading.msecsSinceEpoch,
                                        m_config.publisher.intervalMs);
        m_publisher->publish({serialNumber,
                              now,
                              gap ? std::nan("") : reading.object,
                              gap ? std::nan("") : reading.ambient,
                              reading.unit == 1});
    }
}
