#include "publisher.h"

#include "publisherlink.h"

#include <QDir>

Publisher::Publisher(const PublisherSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    qRegisterMetaType<Publisher::State>();
    // What an earlier run left queued goes out now, whether or not its instrument returns.
    const QStringList queued
            = QDir(settings.queueDirectory).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &instrument : queued)
        link(instrument);
}

Publisher::~Publisher() = default;

PublisherLink &Publisher::link(const QString &instrument)
{
    auto it = m_links.find(instrument);
    if (it == m_links.end())
        it = m_links.emplace(instrument,
                             std::make_unique<PublisherLink>(this, m_settings, instrument))
                     .first;
    return *it->second;
}

void Publisher::publish(const PublishRow &row)
{
    link(PublishTopics(m_settings.prefix, row.instrument).instrument).publish(row);
}

qint64 Publisher::pendingRows() const
{
    qint64 rows = 0;
    for (const auto &entry : m_links)
        rows += entry.second->pendingRows();
    return rows;
}

void Publisher::linkStateChanged()
{
    State state = State::Connecting;
    bool allConnected = !m_links.empty();
    for (const auto &entry : m_links) {
        const State linkState = entry.second->state();
        if (linkState == State::Queueing)
            state = State::Queueing;
        allConnected = allConnected && linkState == State::Connected;
    }
    if (allConnected)
        state = State::Connected;
    if (state != m_state) {
        m_state = state;
        emit stateChanged(state);
    }
}
