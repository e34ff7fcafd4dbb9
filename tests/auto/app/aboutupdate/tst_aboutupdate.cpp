// The update from the About action while the instrument is polled: a stalled download holds
// neither the window's thread nor the instrument's answers, and Cancel ends it.
#include "../support/windowfixture.h"
#include "aboutdialog.h"
#include "fake_object_store.h"

#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

const char kKeyId[] = "WindowUpdateKeyId0000000";
const char kSecret[] = "WindowUpdateSecret000000000000";

} // namespace

class tst_AboutUpdate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void pollingGoesOnDuringAStalledDownload();

private:
    WindowFixture f;
};

void tst_AboutUpdate::initTestCase()
{
    QVERIFY(f.setUp());
    qputenv("NUBORA_ACCESS_KEY_ID", kKeyId);
    qputenv("NUBORA_ACCESS_KEY_SECRET", kSecret);
}

void tst_AboutUpdate::cleanup()
{
    Messages::setDialogRunner({});
    f.reset();
}

void tst_AboutUpdate::pollingGoesOnDuringAStalledDownload()
{
    fakestore::FakeObjectStore store(kKeyId, kSecret);
    qputenv("NUBORA_ENDPOINT", store.endpoint().c_str());
    store.setHandler([](const fakestore::ReceivedRequest &request, int) {
        fakestore::Reply reply;
        if (request.key == "Morvane/ZARK/Custom/Tevrano/version") {
            reply.body = "99.0.0.0";
            return reply;
        }
        reply.generatedLength = 1 << 20;
        reply.stallAfterBytes = 200000;
        reply.stallFor = std::chrono::seconds(60);
        return reply;
    });
    QVERIFY(f.startSimulator());
    MainWindow *window = f.openWindow();
    QVERIFY(f.waitUntilPolling());

    int answersDuringStall = 0;
    int ticksDuringStall = 0;
    bool cancelled = false;
    QStringList boxes;
    Messages::setDialogRunner([&](QDialog &dialog) {
        auto *about = qobject_cast<AboutDialog *>(&dialog);
        if (!about)
            return 0;
        about->setUpdatePublicKey({});
        about->setHooks(
                {[&boxes](QWidget *, QMessageBox::Icon, const QString &, const QString &text) {
                     boxes << text;
                 },
                 [](const QString &) { return true; },
                 [](int) {
                 }});
        auto *bar = about->findChild<QProgressBar *>("progressBar");
        auto *cancel = about->findChild<QPushButton *>("pushButton_cancel");
        about->findChild<QPushButton *>("pushButton")->click();
        if (!QTest::qWaitFor([bar] { return !bar->isHidden() && bar->value() > 0; }, 20000))
            return 0;

        // The download now stalls: count what the window's thread still gets done.
        QTimer ticker;
        qint64 seen = window->instrument()->lastResponseTime();
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            ++ticksDuringStall;
            if (window->instrument()->lastResponseTime() != seen) {
                seen = window->instrument()->lastResponseTime();
                ++answersDuringStall;
            }
        });
        ticker.start(50);
        QTest::qWait(2000);
        ticker.stop();
        cancel->click();
        cancelled = QTest::qWaitFor([cancel] { return cancel->isHidden(); }, 10000);
        return 0;
    });

    QVERIFY(QMetaObject::invokeMethod(window, "showAbout"));
    QVERIFY2(ticksDuringStall >= 15, QByteArray::number(ticksDuringStall));
    QVERIFY2(answersDuringStall >= 5, QByteArray::number(answersDuringStall));
    QVERIFY(cancelled);
    QVERIFY(boxes.isEmpty());
}

QTEST_MAIN(tst_AboutUpdate)
#include "tst_aboutupdate.moc"
