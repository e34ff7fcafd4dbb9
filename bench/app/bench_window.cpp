// End to end through the main window against the simulator answering at once: how long the
// panel takes to fill after the identity read, and how many object/ambient pairs per second
// reach the tiles, beside the floor the serial pacing sets.
#include "instrumentsimulator.h"
#include "mainwindow.h"
#include "settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QApplication app(argc, argv);
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    QApplication::setApplicationName(QStringLiteral("Tevrano"));
    appSettings().readFile();
    appSettings().fillDefaults();
    const int seconds = argc > 1 ? qMax(2, atoi(argv[1])) : 10;

    InstrumentSimulator::Config config;
    config.linkPath = dir.filePath(QStringLiteral("ttyPYRO"));
    InstrumentSimulator sim(config);
    if (!sim.start())
        return 1;
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(config.linkPath));

    MainWindow window;
    window.show();
    if (!QTest::qWaitFor([&] { return window.instrument()->relay2() != 0xFFFF; }, 30000)) {
        std::fprintf(stderr, "the panel was not filled\n");
        return 1;
    }
    QTest::qWait(500);

    qint64 identityAt = 0, lastPanelReadAt = 0;
    for (const auto &entry : sim.log()) {
        if (entry.direction != InstrumentSimulator::Direction::Received)
            continue;
        if (entry.bytes == QByteArray::fromHex("1717"))
            identityAt = entry.msecsSinceEpoch;
        if (entry.bytes == QByteArray::fromHex("8D8D"))
            lastPanelReadAt = entry.msecsSinceEpoch;
    }

    // The instrument found, whose readings the tiles and the chart take.
    int pairs = 0;
    QObject::connect(window.instrument(), &Instrument::ambientTemperature, [&pairs] { ++pairs; });
    QElapsedTimer timer;
    timer.start();
    QTest::qWait(seconds * 1000);
    const double elapsed = timer.elapsed() / 1000.0;

    const double pollFloorMs = 2 * 10.0 + 3 * 10 * 1000.0 / 9600.0;
    const double pairsFloor = 1000.0 / (2 * pollFloorMs);
    std::printf("panel filled:             %lld ms after the identity read\n",
                lastPanelReadAt - identityAt);
    std::printf(
            "pairs reaching the tiles: %.1f per second over %.1f s\n", pairs / elapsed, elapsed);
    std::printf("pacing floor:             %.1f pairs per second (two polls of %.2f ms)\n",
                pairsFloor,
                pollFloorMs);
    std::printf("rate / floor:             %.2f\n", pairs / elapsed / pairsFloor);
    return 0;
}
