// A publisher in a process of its own, for the tests that end it (cleanly or with SIGKILL).
// Arguments: port queue-directory. Standard input: "rows N" publishes N rows at once, "quit"
// ends cleanly; each command is answered "done" on standard output.
#include "publisher.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    PublisherSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = QString::fromLocal8Bit(argv[1]).toInt();
    settings.queueDirectory = QString::fromLocal8Bit(argv[2]);
    Publisher publisher(settings);
    int next = 0;
    std::thread reader([&] {
        for (std::string line; std::getline(std::cin, line);) {
            const QByteArray command = QByteArray::fromStdString(line);
            QMetaObject::invokeMethod(&app, [&, command] {
                if (command.startsWith("rows ")) {
                    for (int i = command.mid(5).toInt(); i > 0; --i, ++next)
                        publisher.publish({QStringLiteral("4711"),
                                           QDateTime::currentDateTime(),
                                           20.0 + next,
                                           21.0,
                                           false});
                } else if (command == "quit") {
                    app.quit();
                }
                std::puts("done");
                std::fflush(stdout);
            });
            if (command == "quit")
                return;
        }
    });
    const int status = app.exec();
    reader.join();
    return status;
}
