#include "publisherlink.h"

#include <QDir>
#include <QMetaObject>
#include <QRandomGenerator>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

using namespace std::chrono_literals;

constexpr auto FirstRetry = 500ms;
constexpr auto LastRetry = 30s;
constexpr auto HousekeepingPeriod = 1s;
constexpr auto GoodbyeTime = 1s;
constexpr int KeepAliveS = 30;
constexpr int LoopTimeoutMs = 50;
// Rows sent and not yet confirmed: enough to keep a local broker busy, few enough that a lost
// connection sends little twice.
constexpr std::size_t Window = 500;

const char *const Online = "online";
const char *const Offline = "offline";

void libraryInit()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

PublisherLink *linkOf(void *object)
{
    return static_cast<PublisherLink *>(object);
}

// MQTT 3.1.1 return codes and MQTT 5 reason codes of a refused login.
bool isLoginRefusal(int code)
{
    return code == 4 || code == 5 || code == 0x86 || code == 0x87;
}

bool isProtocolRefusal(int code)
{
    return code == 1 || code == 0x84;
}

} // namespace

PublisherLink::PublisherLink(Publisher *owner,
                             const PublisherSettings &settings,
                             const QString &instrument)
    : m_owner(owner)
    , m_settings(settings)
    , m_topics(settings.prefix, instrument)
    , m_clientId("tevrano-" + m_topics.instrument.toUtf8() + '-'
                 + QByteArray::number(QRandomGenerator::global()->generate(), 16))
    , m_queueDirectory(settings.queueDirectory + QLatin1Char('/') + m_topics.instrument)
    , m_queue(m_queueDirectory, settings.queueLimitBytes)
    , m_lock(m_queueDirectory + QStringLiteral(".lock"))
    , m_protocolVersion(settings.protocolVersion)
    , m_backoff(FirstRetry)
{
    libraryInit();
    m_thread = std::thread([this] { run(); });
}

PublisherLink::~PublisherLink()
{
    {
        const std::lock_guard<std::mutex> lock(m_inboxMutex);
        m_stopping = true;
    }
    m_inboxChanged.notify_one();
    m_thread.join();
}

void PublisherLink::publish(const PublishRow &row)
{
    {
        const std::lock_guard<std::mutex> lock(m_inboxMutex);
        m_inbox.push_back(row);
    }
    m_inboxChanged.notify_one();
}

void PublisherLink::report(const QString &message)
{
    if (message == m_lastProblem)
        return;
    m_lastProblem = message;
    if (message.isEmpty())
        return;
    const QString text = m_topics.instrument + QStringLiteral(": ") + message;
    QMetaObject::invokeMethod(
            m_owner, [owner = m_owner, text] { emit owner->problem(text); }, Qt::QueuedConnection);
}

void PublisherLink::reportState()
{
    const qint64 pending = m_queueUsable ? m_queue.pendingRows() : 0;
    m_pending.store(pending);
    Publisher::State state = Publisher::State::Connecting;
    if (m_connected && m_live)
        state = Publisher::State::Connected;
    else if (m_connected || pending > 0)
        state = Publisher::State::Queueing;
    if (m_state.exchange(state) != state)
        QMetaObject::invokeMethod(
                m_owner, [owner = m_owner] { owner->linkStateChanged(); }, Qt::QueuedConnection);
}

void PublisherLink::run()
{
    QDir().mkpath(m_settings.queueDirectory);
    QString error;
    if (!m_lock.tryLock(0))
        report(QStringLiteral("the queue %1 is in use by another program")
                       .arg(QDir::toNativeSeparators(m_queueDirectory)));
    else if (!m_queue.open(&error))
        report(error);
    else
        m_queueUsable = true;
    // Rows that an earlier run left queued go out marked replayed; this run's are live until the
    // first outage.
    m_liveFrom = m_queue.appendPosition();
    m_live = true;
    m_nextAttempt = m_nextHousekeeping = Clock::now();
    for (;;) {
        if (!takeRows())
            break;
        if (!m_mosq) {
            // A queue left by an earlier run of an instrument absent now is sent, but an
            // instrument with nothing to say is not announced.
            const bool hasWork = m_unit >= 0 || (m_queueUsable && m_queue.pendingRows() > 0);
            if (hasWork && Clock::now() >= m_nextAttempt) {
                connect();
            } else {
                std::unique_lock<std::mutex> lock(m_inboxMutex);
                const Clock::time_point until
                        = hasWork ? std::min(m_nextAttempt, m_nextHousekeeping)
                                  : m_nextHousekeeping;
                m_inboxChanged.wait_until(
                        lock, until, [this] { return m_stopping || !m_inbox.empty(); });
            }
        } else {
            const int rc = mosquitto_loop(m_mosq, LoopTimeoutMs, 1);
            if (rc == MOSQ_ERR_TLS && !m_connected)
                drop(tlsFailure());
            else if (rc != MOSQ_ERR_SUCCESS && !m_dropNow)
                drop(QStringLiteral("connection lost: %1")
                             .arg(QString::fromUtf8(mosquitto_strerror(rc))));
            else if (m_dropNow)
                drop(m_dropReason);
            else if (!m_connected && Clock::now() >= m_connectDeadline)
                drop(QStringLiteral("the broker at %1:%2 does not answer")
                             .arg(m_settings.host)
                             .arg(m_settings.port));
            else if (m_connected)
                sendRows();
        }
        if (Clock::now() >= m_nextHousekeeping)
            housekeeping();
        reportState();
    }
    finish();
}

// Moves the rows handed over into the queue; false once the owner wants the link to end.
bool PublisherLink::takeRows()
{
    std::vector<PublishRow> rows;
    bool stopping;
    {
        const std::lock_guard<std::mutex> lock(m_inboxMutex);
        rows.swap(m_inbox);
        stopping = m_stopping;
    }
    for (const PublishRow &row : rows) {
        if (m_unit != int(row.fahrenheit)) {
            m_unit = int(row.fahrenheit);
            m_discoveryDue = m_settings.discovery;
        }
        QString error;
        if (m_queueUsable && !m_queue.append(row, &error))
            report(error);
    }
    return !stopping;
}

void PublisherLink::connect()
{
    m_mosq = mosquitto_new(m_clientId.constData(), true, this);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, m_protocolVersion);
    mosquitto_max_inflight_messages_set(m_mosq, Window);
    // Small messages in a window: waiting to fill a segment only adds latency.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_v5_callback_set(
            m_mosq, [](mosquitto *, void *link, int code, int, const mosquitto_property *) {
                linkOf(link)->onConnect(code);
            });
    mosquitto_disconnect_v5_callback_set(
            m_mosq, [](mosquitto *, void *link, int, const mosquitto_property *) {
                linkOf(link)->onConnect(-1);
            });
    mosquitto_publish_v5_callback_set(
            m_mosq, [](mosquitto *, void *link, int mid, int reason, const mosquitto_property *) {
                linkOf(link)->onPublish(mid, reason);
            });
    mosquitto_message_v5_callback_set(
            m_mosq,
            [](mosquitto *,
               void *link,
               const mosquitto_message *message,
               const mosquitto_property *) { linkOf(link)->onMessage(message); });
    if (!m_settings.user.isEmpty())
        mosquitto_username_pw_set(
                m_mosq,
                m_settings.user.toUtf8().constData(),
                m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    int rc = MOSQ_ERR_SUCCESS;
    if (m_settings.tls) {
        if (m_settings.caFile.isEmpty())
            mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        const QByteArray caFile = QFile::encodeName(m_settings.caFile);
        rc = mosquitto_tls_set(m_mosq,
                               caFile.isEmpty() ? nullptr : caFile.constData(),
                               nullptr,
                               nullptr,
                               nullptr,
                               nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(m_mosq, 1, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            drop(QStringLiteral("cannot use the CA file %1: %2")
                         .arg(m_settings.caFile, QString::fromUtf8(mosquitto_strerror(rc))));
            return;
        }
    }
    mosquitto_will_set(
            m_mosq, m_topics.availability.constData(), int(std::strlen(Offline)), Offline, 1, true);
    rc = mosquitto_connect_async(
            m_mosq, m_settings.host.toUtf8().constData(), m_settings.port, KeepAliveS);
    if (rc == MOSQ_ERR_TLS) {
        drop(tlsFailure());
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                                    : QString::fromUtf8(mosquitto_strerror(rc));
        drop(QStringLiteral("cannot reach %1:%2: %3")
                     .arg(m_settings.host)
                     .arg(m_settings.port)
                     .arg(reason));
        return;
    }
    m_connectDeadline = Clock::now() + std::chrono::milliseconds(m_settings.connectTimeoutMs);
}

QString PublisherLink::tlsFailure() const
{
    return QStringLiteral("the TLS handshake with %1 failed: the CA does not vouch for the "
                          "broker's certificate, or it names another host")
            .arg(m_settings.host);
}

void PublisherLink::onConnect(int code)
{
    if (code < 0) {
        m_dropNow = true;
        if (m_dropReason.isEmpty())
            m_dropReason = QStringLiteral("the broker closed the connection");
        return;
    }
    if (code != 0) {
        m_dropNow = true;
        const QString text = m_protocolVersion == 5
                                     ? QString::fromUtf8(mosquitto_reason_string(code))
                                     : QString::fromUtf8(mosquitto_connack_string(code));
        if (isProtocolRefusal(code) && m_protocolVersion == 5) {
            m_protocolVersion = 4; // an MQTT 3.1.1 broker: the next attempt speaks its language
            m_dropReason.clear();
        } else if (isLoginRefusal(code)) {
            m_dropReason = QStringLiteral("the broker refused the login of user '%1': %2")
                                   .arg(m_settings.user, text);
        } else {
            m_dropReason = QStringLiteral("the broker refused the connection: %1").arg(text);
        }
        return;
    }
    m_connected = true;
    m_backoff = FirstRetry;
    report(QString());
    m_inFlight.clear();
    m_queue.rewind();
    int mid = 0;
    sendAvailability(Online, &mid);
    if (m_settings.discovery) {
        mosquitto_subscribe(m_mosq, nullptr, HomeAssistantStatusTopic, 1);
        m_discoveryDue = m_unit >= 0;
    }
}

void PublisherLink::sendAvailability(const char *text, int *mid)
{
    mosquitto_publish(
            m_mosq, mid, m_topics.availability.constData(), int(std::strlen(text)), text, 1, true);
}

void PublisherLink::onPublish(int mid, int reason)
{
    if (mid == m_offlineMid)
        m_offlineAcked = true;
    if (reason >= 0x80)
        report(QStringLiteral("the broker refused a message: %1")
                       .arg(QString::fromUtf8(mosquitto_reason_string(reason))));
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(), [mid](const InFlight &f) {
        return f.mid == mid;
    });
    if (it == m_inFlight.end())
        return;
    it->acked = true;
    while (!m_inFlight.empty() && m_inFlight.front().acked) {
        m_queue.acknowledge(m_inFlight.front().end);
        m_inFlight.pop_front();
    }
}

void PublisherLink::onMessage(const mosquitto_message *message)
{
    if (m_settings.discovery && m_unit >= 0
        && std::strcmp(message->topic, HomeAssistantStatusTopic) == 0
        && QByteArray(static_cast<const char *>(message->payload), message->payloadlen) == Online)
        m_discoveryDue = true;
}

void PublisherLink::sendDiscovery()
{
    m_discoveryDue = false;
    const int expireAfterS = std::max(60, 3 * m_settings.intervalMs / 1000 + 1);
    for (const DiscoveryMessage &message : discoveryMessages(m_topics, m_unit == 1, expireAfterS))
        mosquitto_publish(m_mosq,
                          nullptr,
                          message.topic.constData(),
                          message.payload.size(),
                          message.payload.constData(),
                          1,
                          true);
}

void PublisherLink::sendRows()
{
    if (m_discoveryDue)
        sendDiscovery();
    if (!m_queueUsable)
        return;
    DiskQueue::Entry entry;
    while (m_inFlight.size() < Window && m_queue.readNext(&entry)) {
        const bool replayed = !m_live || !(m_liveFrom < entry.end);
        const QByteArray payload = statePayload(entry.row, entry.seq, replayed);
        int mid = 0;
        const int rc = mosquitto_publish(m_mosq,
                                         &mid,
                                         m_topics.state.constData(),
                                         payload.size(),
                                         payload.constData(),
                                         1,
                                         false);
        if (rc != MOSQ_ERR_SUCCESS) {
            m_queue.rewind();
            drop(QStringLiteral("cannot send: %1").arg(QString::fromUtf8(mosquitto_strerror(rc))));
            return;
        }
        m_inFlight.push_back({mid, entry.end, false});
    }
    // Caught up: from here on rows go out as they come.
    if (!m_live && m_queue.readPosition() == m_queue.appendPosition()) {
        m_live = true;
        m_liveFrom = m_queue.appendPosition();
    }
}

void PublisherLink::drop(QString reason)
{
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
    m_connected = false;
    m_dropNow = false;
    m_dropReason.clear();
    m_inFlight.clear();
    m_queue.rewind();
    if (!reason.isEmpty())
        m_live = false;
    report(reason);
    m_nextAttempt = Clock::now() + (reason.isEmpty() ? Clock::duration::zero() : m_backoff);
    m_backoff = std::min<Clock::duration>(m_backoff * 2, LastRetry);
}

void PublisherLink::housekeeping()
{
    m_nextHousekeeping = Clock::now() + HousekeepingPeriod;
    if (!m_queueUsable)
        return;
    QString error;
    if (!m_queue.sync(&error))
        report(error);
    if (m_queue.droppedRows() > m_droppedReported) {
        m_droppedReported = m_queue.droppedRows();
        report(QStringLiteral("the queue reached its limit: %1 oldest rows dropped so far")
                       .arg(m_droppedReported));
    }
}

// A clean end: whatever can still go out in a moment goes, then "offline", so that the will is
// not needed.
void PublisherLink::finish()
{
    if (m_connected) {
        const Clock::time_point deadline = Clock::now() + GoodbyeTime;
        sendRows();
        sendAvailability(Offline, &m_offlineMid);
        while (!m_offlineAcked && Clock::now() < deadline
               && mosquitto_loop(m_mosq, LoopTimeoutMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        mosquitto_disconnect(m_mosq);
        mosquitto_loop(m_mosq, LoopTimeoutMs, 1);
    }
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    QString error;
    if (m_queueUsable && !m_queue.sync(&error))
        report(error);
    if (m_lock.isLocked())
        m_lock.unlock();
}
