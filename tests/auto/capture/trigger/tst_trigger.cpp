// The capture engine against synthetic readings taken every tenth of a second.
#include "trigger.h"

#include <QtTest>

#include <cmath>
#include <functional>

namespace {

constexpr double Dt = 0.1;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using Profile = std::function<double(double seconds)>;

struct Written
{
    double seconds;
    bool opens;
};

// Feeds `samples` readings of `profile` (alarm while `alarmFrom` <= t < `alarmTo`).
QVector<Written> run(const Trigger &trigger,
                     const Profile &profile,
                     int samples,
                     double alarmFrom = -1,
                     double alarmTo = -1)
{
    TriggeredCapture<double> capture(trigger);
    QVector<Written> written;
    for (int i = 0; i < samples; ++i) {
        const double t = i / 10.0;
        capture.push(t, profile(t), t >= alarmFrom && t < alarmTo, t, [&](double row, bool opens) {
            written.append({row, opens});
        });
    }
    return written;
}

double step(double t)
{
    return t >= 5 && t < 10 ? 60 : 20;
}

} // namespace

Q_DECLARE_METATYPE(Trigger)
Q_DECLARE_METATYPE(Profile)

class tst_Trigger : public QObject
{
    Q_OBJECT
private slots:
    void captures_data();
    void captures();
};

void tst_Trigger::captures_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<Profile>("profile");
    QTest::addColumn<int>("samples");
    QTest::addColumn<double>("alarmFrom");
    QTest::addColumn<double>("alarmTo");
    QTest::addColumn<int>("captures");
    // Of the first capture: when the condition first holds and when it clears.
    QTest::addColumn<double>("fire");
    QTest::addColumn<double>("clear");

    const auto trigger
            = [](Trigger::Kind kind, double level, double pre, double post, bool once = false) {
                  Trigger t;
                  t.kind = kind;
                  t.level = level;
                  t.preS = pre;
                  t.postS = post;
                  t.once = once;
                  return t;
              };
    using K = Trigger::Kind;
    const Profile square = [](double t) {
        return int(std::floor(t / 5)) % 2 ? 60.0 : 20.0;
    };
    // Even samples just above the level, odd ones just below, inside the hysteresis.
    const Profile chatter = [](double t) {
        const int i = int(std::lround(t * 10));
        return t < 5 || t >= 10 ? 20.0 : i % 2 ? 39.7 : 40.3;
    };
    // Wider than the hysteresis, so the condition clears and returns every other sample.
    const Profile wideChatter = [](double t) {
        const int i = int(std::lround(t * 10));
        return t < 5 || t >= 10 ? 20.0 : i % 2 ? 38.0 : 42.0;
    };
    // Flat, then 5 degrees a second from 5 s to 10 s, then flat again.
    const Profile ramp = [](double t) {
        return 20 + 5 * std::clamp(t - 5, 0.0, 5.0);
    };

    QTest::newRow("step above") << trigger(K::Above, 40, 2, 1) << Profile(step) << 200 << -1.0
                                << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("step below") << trigger(K::Below, 30, 2, 1)
                                << Profile([](double t) { return 80 - step(t); }) << 200 << -1.0
                                << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("no pre, no post") << trigger(K::Above, 40, 0, 0) << Profile(step) << 200 << -1.0
                                     << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("pre longer than the run so far") << trigger(K::Above, 40, 8, 1) << Profile(step)
                                                    << 200 << -1.0 << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("chatter inside the hysteresis")
            << trigger(K::Above, 40, 1, 0) << chatter << 200 << -1.0 << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("chatter wider than the hysteresis, within post")
            << trigger(K::Above, 40, 1, 0.5) << wideChatter << 200 << -1.0 << -1.0 << 1 << 5.0
            << 10.0;
    QTest::newRow("square wave re-arms")
            << trigger(K::Above, 40, 1, 1) << square << 350 << -1.0 << -1.0 << 3 << 5.0 << 10.0;
    QTest::newRow("square wave, once") << trigger(K::Above, 40, 1, 1, true) << square << 350 << -1.0
                                       << -1.0 << 1 << 5.0 << 10.0;
    QTest::newRow("pre reaches into the last capture")
            << trigger(K::Above, 40, 8, 1) << square << 350 << -1.0 << -1.0 << 3 << 5.0 << 10.0;
    QTest::newRow("a new crossing within post continues the capture")
            << trigger(K::Above, 40, 1, 6)
            << Profile([=](double t) { return t < 30 ? square(t) : 20.0; }) << 400 << -1.0 << -1.0
            << 1 << 5.0 << 30.0;
    QTest::newRow("already above at the start: waits for a crossing")
            << trigger(K::Above, 40, 1, 1)
            << Profile([](double t) { return t < 3 || (t >= 8 && t < 12) ? 60.0 : 20.0; }) << 200
            << -1.0 << -1.0 << 1 << 8.0 << 12.0;
    QTest::newRow("gap inside a capture") << trigger(K::Above, 40, 1, 1) << Profile([](double t) {
        return t >= 7 && t < 7.5 ? NaN : step(t);
    }) << 200 << -1.0 << -1.0 << 1 << 5.0 << 10.0;
    // The slope over the last second passes 2.2 at 5.5 s and falls below half of it at 10.8 s.
    QTest::newRow("rise faster than a rate")
            << trigger(K::Rate, 2.2, 1, 1) << ramp << 200 << -1.0 << -1.0 << 1 << 5.5 << 10.8;
    QTest::newRow("a rise is no fall")
            << trigger(K::Rate, -2.2, 1, 1) << ramp << 200 << -1.0 << -1.0 << 0 << 0.0 << 0.0;
    QTest::newRow("fall faster than a rate")
            << trigger(K::Rate, -2.2, 1, 1) << Profile([=](double t) { return 100 - ramp(t); })
            << 200 << -1.0 << -1.0 << 1 << 5.5 << 10.8;
    QTest::newRow("alarm starting")
            << trigger(K::Alarm, 0, 1, 1) << Profile(step) << 200 << 3.0 << 4.0 << 1 << 3.0 << 4.0;
    QTest::newRow("never fires") << trigger(K::Below, 0, 1, 1) << Profile(step) << 200 << -1.0
                                 << -1.0 << 0 << 0.0 << 0.0;
}

void tst_Trigger::captures()
{
    QFETCH(Trigger, trigger);
    QFETCH(Profile, profile);
    QFETCH(int, samples);
    QFETCH(double, alarmFrom);
    QFETCH(double, alarmTo);
    QFETCH(int, captures);
    QFETCH(double, fire);
    QFETCH(double, clear);

    const QVector<Written> written = run(trigger, profile, samples, alarmFrom, alarmTo);
    const int opened = int(std::count_if(
            written.cbegin(), written.cend(), [](const Written &w) { return w.opens; }));
    QCOMPARE(opened, captures);
    if (captures == 0) {
        QVERIFY(written.isEmpty());
        return;
    }
    QVERIFY(written.first().opens);
    // Nothing twice, nothing out of order, and one time axis across captures.
    for (int i = 1; i < written.size(); ++i)
        QVERIFY2(written[i].seconds > written[i - 1].seconds, qPrintable(QString::number(i)));

    // The first capture: `pre` before the crossing, `post` after it cleared, within a sample.
    const int end = int(std::find_if(written.cbegin() + 1,
                                     written.cend(),
                                     [](const Written &w) { return w.opens; })
                        - written.cbegin());
    const double first = written.first().seconds;
    const double last = written[end - 1].seconds;
    QVERIFY2(std::abs(first - std::max(0.0, fire - trigger.preS)) <= Dt + 1e-9,
             qPrintable(QString::number(first)));
    QVERIFY2(std::abs(last - (clear + trigger.postS)) <= Dt + 1e-9,
             qPrintable(QString::number(last)));
    // Every sample in between is there.
    QCOMPARE(end, int(std::lround((last - first) / Dt)) + 1);
}

QTEST_GUILESS_MAIN(tst_Trigger)
#include "tst_trigger.moc"
