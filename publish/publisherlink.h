#pragma once

#include "diskqueue.h"
#include "publisher.h"

#include <QLockFile>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

// One instrument's connection and queue, on a thread of its own that drives libmosquitto's
// network loop, the disk queue and the reconnect back-off. The owner's thread only hands rows
// over and hears about the state through queued calls.
class PublisherLink
{
public:
    using Clock = std::chrono::steady_clock;

    PublisherLink(Publisher *owner, const PublisherSettings &settings, const QString &instrument);
    ~PublisherLink();

    void publish(const PublishRow &row);
    Publisher::State state() const { return m_state; }
    qint64 pendingRows() const { return m_pending; }

    // Called by libmosquitto on the link's thread.
    void onConnect(int code);
    void onPublish(int mid, int reason);
    void onMessage(const mosquitto_message *message);

private:
    struct InFlight
    {
        int mid = 0;
        DiskQueue::Position end;
        bool acked = false;
    };

    void run();
    bool takeRows();
    void connect();
    QString tlsFailure() const;
    void drop(QString reason); // a copy: callers pass m_dropReason, which it clears
    void sendRows();
    void sendDiscovery();
    void sendAvailability(const char *text, int *mid);
    void housekeeping();
    void reportState();
    void report(const QString &message);
    void finish();

    Publisher *const m_owner;
    const PublisherSettings m_settings;
    const PublishTopics m_topics;
    const QByteArray m_clientId;
    const QString m_queueDirectory;
    DiskQueue m_queue;
    QLockFile m_lock;

    std::mutex m_inboxMutex;
    std::condition_variable m_inboxChanged;
    std::vector<PublishRow> m_inbox; // guarded by m_inboxMutex
    bool m_stopping = false;         // guarded by m_inboxMutex

    // Only the link's thread touches these.
    mosquitto *m_mosq = nullptr;
    int m_protocolVersion;
    bool m_connected = false;
    bool m_dropNow = false;
    QString m_dropReason;
    bool m_queueUsable = false;
    int m_unit = -1; // -1 before the first row; else 1 for Fahrenheit
    bool m_discoveryDue = false;
    std::deque<InFlight> m_inFlight;
    DiskQueue::Position m_liveFrom; // rows from here on were sent as they came; valid if m_live
    bool m_live = false;
    Clock::duration m_backoff;
    Clock::time_point m_nextAttempt;
    Clock::time_point m_connectDeadline;
    Clock::time_point m_nextHousekeeping;
    quint64 m_droppedReported = 0;
    QString m_lastProblem;
    int m_offlineMid = -1;
    bool m_offlineAcked = false;

    std::atomic<Publisher::State> m_state{Publisher::State::Connecting};
    std::atomic<qint64> m_pending{0};
    std::thread m_thread;
};
