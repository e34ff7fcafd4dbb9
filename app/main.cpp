#include "mainwindow.h"
#include "serialports.h"
#include "settings.h"

#include <QApplication>

#ifdef TEVRANO_HAVE_SIMULATOR
#include "instrumentsimulator.h"
#endif

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char Usage[] = "Usage: tevrano [--demo] [--record]\n"
                     "Companion program for the infrared thermometer.\n\n"
                     "  --demo       start with a simulated instrument\n"
                     "  --record     start a recording as soon as an instrument is connected\n"
                     "  --help       show this text\n"
                     "  --version    show the version\n";

} // namespace

int main(int argc, char **argv)
{
    // Answered before any display is needed.
    bool demo = false;
    bool record = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("Tevrano %s\n", TEVRANO_VERSION);
            return 0;
        }
        demo |= !std::strcmp(argv[i], "--demo");
        record |= !std::strcmp(argv[i], "--record");
    }

    QApplication app(argc, argv);
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    QApplication::setApplicationName(QStringLiteral("Tevrano"));
    QApplication::setApplicationVersion(QStringLiteral(TEVRANO_VERSION));
    appSettings().readFile();
    appSettings().fillDefaults();

#ifdef TEVRANO_HAVE_SIMULATOR
    // The simulator goes first in the port list, so the ordinary start-up search finds it.
    std::unique_ptr<InstrumentSimulator> simulator;
    if (demo) {
        simulator = std::make_unique<InstrumentSimulator>(InstrumentSimulator::Config{});
        QString error;
        if (!simulator->start(&error)) {
            std::fprintf(stderr,
                         "tevrano: cannot start the simulated instrument: %s\n",
                         qPrintable(error));
            return 1;
        }
        prependSerialPort(simulator->devicePath(), QStringLiteral("Tevrano simulated instrument"));
    }
#else
    if (demo) {
        std::fputs("tevrano: this build has no simulated instrument\n", stderr);
        return 1;
    }
#endif

    auto window = std::make_unique<MainWindow>();
    if (demo)
        window->setInstrumentNote(QT_TRANSLATE_NOOP("MainWindow", "模拟仪器"));
    window->setRecordOnConnect(record);
    window->show();
    const int status = app.exec();
    window.reset();
    return status;
}
