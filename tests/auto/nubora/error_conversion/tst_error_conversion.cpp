#include <QtTest>

#include <random>
#include <sstream>

#include <tinyxml2.h>

#include "error_conversion.h"

using nubora::HeaderMap;

class ErrorConversionTest : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
    void fromResponse_data();
    void fromResponse();
    void serverTime_data();
    void serverTime();
    void randomDocumentsNeverCrash();
};

namespace {
const char kDocument[]
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>NoSuchKey</Code>"
          "<Message>nothing is stored under this key</Message><RequestId>5F2A</RequestId>"
          "<HostId>ambrel.example.com</HostId></Error>";
}

void ErrorConversionTest::convert_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("headerRequestId");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("convertedMessage");
    QTest::addColumn<QString>("requestId");
    QTest::addColumn<QString>("hostId");

    QTest::newRow("error document") << 404 << kDocument << "from-header"
                                    << "NoSuchKey"
                                    << "nothing is stored under this key"
                                    << "5F2A"
                                    << "ambrel.example.com";
    QTest::newRow("document without ids takes the header")
            << 403 << "<Error><Code>AccessDenied</Code></Error>"
            << "from-header"
            << "AccessDenied"
            << ""
            << "from-header"
            << "";
    QTest::newRow("203 is a server answer too")
            << 203 << "<ErrorResponse><Code>X</Code></ErrorResponse>"
            << ""
            << "X"
            << ""
            << ""
            << "";
    QTest::newRow("mismatched element")
            << 500 << "<Error><Code>X</Error>"
            << ""
            << "ParseXMLError:" + QString::number(tinyxml2::XML_ERROR_MISMATCHED_ELEMENT)
            << "XML_ERROR_MISMATCHED_ELEMENT"
            << ""
            << "";
    QTest::newRow("unterminated") << 500 << "<html><body>oops"
                                  << ""
                                  << "ParseXMLError:"
                                             + QString::number(tinyxml2::XML_ERROR_PARSING_TEXT)
                                  << "XML_ERROR_PARSING_TEXT"
                                  << ""
                                  << "";
    QTest::newRow("plain text") << 502 << "Bad Gateway"
                                << ""
                                << "ParseXMLError:"
                                           + QString::number(tinyxml2::XML_ERROR_PARSING_TEXT)
                                << "XML_ERROR_PARSING_TEXT"
                                << ""
                                << "";
    QTest::newRow("another root")
            << 404 << "<Result><Code>NoSuchKey</Code></Result>"
            << "rid"
            << "ParseXMLError"
            << "Xml format invalid, root node name is not Error. the content is:\n"
               "<Result><Code>NoSuchKey</Code></Result>"
            << "rid"
            << "";
    QTest::newRow("no root element")
            << 404 << "<!-- only a comment -->"
            << ""
            << "ParseXMLError"
            << "Xml format invalid, root node name is not Error. the content is:\n"
               "<!-- only a comment -->"
            << ""
            << "";
    QTest::newRow("empty body") << 503 << ""
                                << "rid"
                                << "ServerError:503"
                                << ""
                                << "rid"
                                << "";
    QTest::newRow("transport failure") << 200028 << "Timeout was reached"
                                       << ""
                                       << "ClientError:200028"
                                       << "Timeout was reached"
                                       << ""
                                       << "";
    QTest::newRow("CRC mismatch") << 100001 << "Crc64 validation failed."
                                  << "rid"
                                  << "ClientError:100001"
                                  << "Crc64 validation failed."
                                  << "rid"
                                  << "";
}

void ErrorConversionTest::convert()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, headerRequestId);
    nubora::TransportError error;
    error.status = status;
    error.code = (nubora::isServerErrorStatus(status) ? "ServerError:" : "ClientError:")
                 + std::to_string(status);
    error.message = message.toStdString();
    if (!headerRequestId.isEmpty())
        error.headers["X-Oss-Request-Id"] = headerRequestId.toStdString();

    const nubora::RequestError converted = nubora::toRequestError(error);
    QTEST(QString::fromStdString(converted.code), "code");
    QTEST(QString::fromStdString(converted.message), "convertedMessage");
    QTEST(QString::fromStdString(converted.requestId), "requestId");
    QTEST(QString::fromStdString(converted.hostId), "hostId");
}

void ErrorConversionTest::fromResponse_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("404 carries the body") << 404 << "ServerError:404"
                                          << "body text";
    QTest::newRow("2xx other than 203 is a client status") << 204 << "ClientError:204"
                                                           << "status text";
    QTest::newRow("libcurl failure carries its text") << 200007 << "ClientError:200007"
                                                      << "status text";
}

void ErrorConversionTest::fromResponse()
{
    QFETCH(int, status);
    nubora::HttpResponse response;
    response.setStatus(status, "status text");
    auto body = std::make_shared<std::stringstream>();
    *body << "body text";
    response.setBody(body);
    response.setHeader("x-oss-request-id", "rid");
    const nubora::TransportError error = nubora::transportErrorFrom(&response);
    QCOMPARE(error.status, status);
    QTEST(QString::fromStdString(error.code), "code");
    QTEST(QString::fromStdString(error.message), "message");
    QCOMPARE(error.headers.at("X-OSS-REQUEST-ID"), std::string("rid"));

    const nubora::TransportError missing = nubora::transportErrorFrom(nullptr);
    QCOMPARE(missing.code, std::string("NullptrError"));
    QCOMPARE(missing.message, std::string("HttpResponse is nullptr, should not be here."));
}

void ErrorConversionTest::serverTime_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<qint64>("expected"); // -1: none
    QTest::newRow("skew document")
            << "<Error><Code>RequestTimeTooSkewed</Code>"
               "<ServerTime>2026-12-07T00:20:44.000Z</ServerTime></Error>"
            << qint64(QDateTime(QDate(2026, 12, 7), QTime(0, 20, 44), Qt::UTC).toSecsSinceEpoch());
    QTest::newRow("fraction missing")
            << "<Error><ServerTime>2026-12-07T00:20:44Z</ServerTime></Error>" << qint64(-1);
    QTest::newRow("no ServerTime")
            << "<Error><Code>RequestTimeTooSkewed</Code></Error>" << qint64(-1);
    QTest::newRow("other root")
            << "<Result><ServerTime>2026-12-07T00:20:44.000Z</ServerTime></Result>" << qint64(-1);
    QTest::newRow("not XML") << "RequestTimeTooSkewed" << qint64(-1);
}

void ErrorConversionTest::serverTime()
{
    QFETCH(QString, document);
    QFETCH(qint64, expected);
    const auto parsed = nubora::serverTimeFromSkewError(document.toStdString());
    QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), expected);
}

// Bounded fuzzing over mutated documents, deep nesting and huge bodies: every
// input ends in some error record.
void ErrorConversionTest::randomDocumentsNeverCrash()
{
    std::mt19937 random(7);
    const std::string seed = kDocument;
    for (int round = 0; round < 3000; ++round) {
        std::string body = seed;
        const int edits = 1 + int(random() % 8);
        for (int edit = 0; edit < edits; ++edit) {
            const size_t at = random() % body.size();
            switch (random() % 3) {
            case 0:
                body[at] = char(random());
                break;
            case 1:
                body.erase(at, 1 + random() % 8);
                break;
            default:
                body.insert(at, 1, "<>/&;\"'"[random() % 7]);
                break;
            }
            if (body.empty())
                body = "<";
        }
        const nubora::RequestError converted
                = nubora::toRequestError({400, "ServerError:400", body, {}});
        tinyxml2::XMLDocument reference;
        const bool wellFormed = reference.Parse(body.data(), body.size()) == tinyxml2::XML_SUCCESS;
        const bool errorRoot = wellFormed && reference.RootElement()
                               && QByteArray(reference.RootElement()->Name()).startsWith("Error");
        if (!wellFormed)
            QVERIFY(converted.code.rfind("ParseXMLError:", 0) == 0);
        else if (!errorRoot)
            QCOMPARE(converted.code, std::string("ParseXMLError"));
        else
            QVERIFY(converted.code.rfind("ParseXMLError", 0) != 0);
        QVERIFY(!nubora::serverTimeFromSkewError(body).has_value());
    }

    std::string deep;
    for (int depth = 0; depth < 20000; ++depth)
        deep += "<Error>";
    const nubora::RequestError nested = nubora::toRequestError({404, "ServerError:404", deep, {}});
    QCOMPARE(QString::fromStdString(nested.code),
             "ParseXMLError:" + QString::number(tinyxml2::XML_ELEMENT_DEPTH_EXCEEDED));

    const std::string huge
            = "<Error><Code>Big</Code><Message>" + std::string(8 << 20, 'm') + "</Message></Error>";
    const nubora::RequestError big = nubora::toRequestError({500, "ServerError:500", huge, {}});
    QCOMPARE(big.code, std::string("Big"));
    QCOMPARE(big.message.size(), size_t(8 << 20));
}

QTEST_GUILESS_MAIN(ErrorConversionTest)
#include "tst_error_conversion.moc"
