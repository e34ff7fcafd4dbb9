// tevrano-sim: the instrument on a pseudo-terminal, for demos and manual testing.
#include "instrumentsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

bool parseHex(const QString &text, quint32 *value, int *digits)
{
    QString hex = text.trimmed();
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    bool ok = false;
    *value = hex.toUInt(&ok, 16);
    *digits = hex.size();
    return ok && !hex.isEmpty() && hex.size() <= 8;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "tevrano-sim: %s\n", qPrintable(message));
    return 2;
}

void waitForStopSignal(const sigset_t &stopSet)
{
    while (sigwaitinfo(&stopSet, nullptr) < 0) {
    }
}

// True when SIGINT or SIGTERM came within timeoutMs.
bool stopSignalWithin(const sigset_t &stopSet, int timeoutMs)
{
    timespec timeout{timeoutMs / 1000, long(timeoutMs % 1000) * 1000000L};
    return sigtimedwait(&stopSet, nullptr, &timeout) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tevrano-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Simulated pyrometer on a pseudo-terminal. Prints the device path on the first line "
            "and answers until it is killed."));
    parser.addHelpOption();
    const QCommandLineOption framing("framing", "xor (default) or crc.", "xor|crc", "xor");
    const QCommandLineOption baud(
            "baud", "Answer only at this line rate; 0 at any (default 9600).", "N", "9600");
    const QCommandLineOption model(
            "model",
            "Identity: up to two hex digits answer with one byte, more with two (default 0x0101).",
            "0xNNNN",
            "0x0101");
    const QCommandLineOption mask(
            "mask", "Feature mask, bytes M0..M3 (default 144E01F6).", "HEX", "144E01F6");
    const QCommandLineOption serialNumber(
            "serial-number", "The instrument's serial number (default 20261207).", "N");
    const QCommandLineOption link("link", "Make a symbolic link to the device.", "PATH");
    const QCommandLineOption log("log", "Append every frame to this file.", "FILE");
    const QCommandLineOption temperature(
            "temperature", "Fixed object temperature in degrees Celsius.", "C");
    const QCommandLineOption profile(
            "profile",
            "Object temperature over time, from the start: ramp:FROM:TO:SECONDS, step:FROM:TO:AT, "
            "square:LOW:HIGH:PERIOD (LOW first) or chatter:LEVEL:AMPLITUDE (random around LEVEL).",
            "SHAPE");
    const QCommandLineOption ambient(
            "ambient", "Ambient temperature in degrees Celsius (default 23.5).", "C", "23.5");
    const QCommandLineOption writeEnable(
            "require-write-enable", "Protected writes fail unless 0xFD 0x01 came just before.");
    const QCommandLineOption silent("silent", "Answer nothing.");
    const QCommandLineOption garbage("garbage", "Answer random bytes.");
    const QCommandLineOption badChecksum("bad-checksum", "Answer with a wrong checksum.");
    const QCommandLineOption split("split", "Send each answer in N pieces.", "N", "1");
    const QCommandLineOption splitDelay("split-delay", "Pause between pieces.", "MS", "0");
    const QCommandLineOption delay("delay", "Pause before each answer.", "MS", "0");
    const QCommandLineOption delayEvery(
            "delay-every", "Apply --delay to every Nth answer only.", "N", "1");
    const QCommandLineOption faultCode(
            "fault-code", "Apply the answer faults to this request code only.", "HEX");
    const QCommandLineOption faultCount(
            "fault-count", "Apply the answer faults to the first N answers only.", "N", "0");
    const QCommandLineOption noise(
            "noise", "Send random bytes at this rate besides the answers.", "BYTES_PER_S", "0");
    const QCommandLineOption noiseFor("noise-for", "Stop the noise after this long.", "MS", "0");
    const QCommandLineOption unplugAfter("unplug-after", "Close the device after this long.", "MS");
    const QCommandLineOption replugAfter(
            "replug-after", "Bring it back this long after unplugging.", "MS");
    parser.addOptions({framing,     baud,         model,       mask,        link,
                       log,         serialNumber, temperature, profile,     ambient,
                       writeEnable, silent,       garbage,     badChecksum, split,
                       splitDelay,  delay,        delayEvery,  noise,       noiseFor,
                       unplugAfter, replugAfter,  faultCode,   faultCount});
    parser.process(app);

    InstrumentSimulator::Config config;
    const QString framingName = parser.value(framing).toLower();
    if (framingName == QLatin1String("crc"))
        config.framing = SimProtocol::Framing::Crc;
    else if (framingName != QLatin1String("xor"))
        return fail(QStringLiteral("unknown framing '%1'").arg(framingName));
    bool ok = false;
    config.baud = parser.value(baud).toInt(&ok);
    if (!ok || config.baud < 0)
        return fail(QStringLiteral("bad --baud"));
    quint32 value = 0;
    int digits = 0;
    if (!parseHex(parser.value(model), &value, &digits) || value > 0xFFFF)
        return fail(QStringLiteral("bad --model"));
    config.identity = {quint16(value), digits <= 2};
    if (!parseHex(parser.value(mask), &value, &digits))
        return fail(QStringLiteral("bad --mask"));
    config.featureMask = value;
    config.linkPath = parser.value(link);
    config.logPath = parser.value(log);
    config.requireWriteEnable = parser.isSet(writeEnable);

    InstrumentSimulator::Faults faults;
    faults.silent = parser.isSet(silent);
    faults.garbage = parser.isSet(garbage);
    faults.badChecksum = parser.isSet(badChecksum);
    faults.splitPieces = qMax(1, parser.value(split).toInt());
    faults.splitDelayMs = qMax(0, parser.value(splitDelay).toInt());
    faults.answerDelayMs = qMax(0, parser.value(delay).toInt());
    faults.delayEvery = qMax(1, parser.value(delayEvery).toInt());
    faults.noiseBytesPerSecond = qMax(0, parser.value(noise).toInt());
    faults.noiseForMs = qMax(0, parser.value(noiseFor).toInt());
    if (parser.isSet(faultCode)) {
        if (!parseHex(parser.value(faultCode), &value, &digits) || value > 0xFF)
            return fail(QStringLiteral("bad --fault-code"));
        faults.onlyCode = int(value);
    }
    faults.faultyAnswers = qMax(0, parser.value(faultCount).toInt());

    // Signals are taken synchronously below, so the link is always removed on the way out.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    InstrumentSimulator simulator(config);
    simulator.setFaults(faults);
    simulator.setAmbientTemperature(parser.value(ambient).toDouble());
    if (parser.isSet(serialNumber))
        simulator.setRegister(0x12, parser.value(serialNumber).toUInt());
    if (parser.isSet(temperature))
        simulator.setObjectTemperature(parser.value(temperature).toDouble());
    if (parser.isSet(profile)) {
        const std::optional<TemperatureProfile> shape
                = TemperatureProfile::parse(parser.value(profile));
        if (!shape)
            return fail(QStringLiteral("bad --profile '%1'").arg(parser.value(profile)));
        simulator.setProfile(shape);
    }
    QString error;
    if (!simulator.start(&error))
        return fail(error);
    std::printf("%s\n", qPrintable(simulator.devicePath()));
    std::fflush(stdout);

    if (parser.isSet(unplugAfter)) {
        if (stopSignalWithin(stopSignals, parser.value(unplugAfter).toInt()))
            return 0;
        simulator.unplug();
        if (parser.isSet(replugAfter)) {
            if (stopSignalWithin(stopSignals, parser.value(replugAfter).toInt()))
                return 0;
            if (!simulator.replug(&error))
                return fail(error);
        }
    }
    waitForStopSignal(stopSignals);
    return 0;
}
