#pragma once

// Shared set-up of the main-window tests: settings in a temporary directory, message boxes and
// modal dialogs taken over, the simulator on a pseudo-terminal as the only serial port.
#include "chartstrip.h"
#include "connectioncontrols.h"
#include "instrumentset.h"
#include "instrumentsimulator.h"
#include "mainwindow.h"
#include "messages.h"
#include "parameterpanel.h"
#include "settings.h"
#include "tilerow.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct ShownMessage
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

struct AskedQuestion
{
    QString title;
    QString text;
    QVector<Messages::Choice> choices;
};

class WindowFixture
{
public:
    // Call from initTestCase.
    bool setUp()
    {
        qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
        qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
        if (!dir.isValid())
            return false;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
        QCoreApplication::setApplicationName(QStringLiteral("Tevrano"));
        appSettings().readFile();
        appSettings().fillDefaults();
        Messages::setPresenter([this](QWidget *,
                                      QMessageBox::Icon icon,
                                      const QString &title,
                                      const QString &text) {
            shown.append({icon, title, text});
        });
        // Unplanned questions get the answer of a closed box.
        Messages::setAsker([this](QWidget *,
                                  const QString &title,
                                  const QString &text,
                                  const QVector<Messages::Choice> &choices) {
            asked.append({title, text, choices});
            return answers.isEmpty() ? choices.constLast().button : answers.takeFirst();
        });
        return true;
    }

    // Call from init and cleanup.
    void reset()
    {
        Messages::setDialogRunner({});
        Messages::setFileChooser({});
        window.reset();
        sim.reset();
        shown.clear();
        asked.clear();
        answers.clear();
        qunsetenv("TEVRANO_SERIAL_PORTS");
    }

    InstrumentSimulator *startSimulator(InstrumentSimulator::Config config = {})
    {
        config.linkPath = dir.filePath(QStringLiteral("ttyPYRO"));
        sim = std::make_unique<InstrumentSimulator>(config);
        if (!sim->start())
            return nullptr;
        sim->setObjectTemperature(1.0);
        qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(config.linkPath));
        return sim.get();
    }

    // A window with no serial port at all, so nothing polls behind the test's back.
    MainWindow *openWindowWithoutPorts()
    {
        qputenv("TEVRANO_SERIAL_PORTS", "");
        return openWindow();
    }

    MainWindow *openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        return window.get();
    }

    bool waitUntilPolling()
    {
        return QTest::qWaitFor([this] { return window->instrument()->lastResponseTime() != 0; },
                               20000);
    }

    // Requests the instrument received, polls left out.
    QList<QByteArray> requestsBesidesPolls() const { return requestsBesidesPolls(*sim); }
    static QList<QByteArray> requestsBesidesPolls(const InstrumentSimulator &sim)
    {
        QList<QByteArray> requests;
        for (const QByteArray &frame : sim.receivedFrames()) {
            const bool xorPoll = frame == QByteArray::fromHex("0101")
                                 || frame == QByteArray::fromHex("0202")
                                 || frame == QByteArray::fromHex("0808");
            const bool crcPoll = frame.size() == 8 && (frame.at(1) == 0x01 || frame.at(1) == 0x02)
                                 && frame.mid(2, 4) == QByteArray(4, '\0');
            if (!xorPoll && !crcPoll)
                requests.append(frame);
        }
        return requests;
    }

    QTemporaryDir dir;
    QList<ShownMessage> shown;
    QList<AskedQuestion> asked;
    QList<QMessageBox::StandardButton> answers;
    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<MainWindow> window;
};
