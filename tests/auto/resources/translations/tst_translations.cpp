#include <QtTest>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

struct Message
{
    QString context;
    QString source;
    QString type;             // the translation's type attribute, empty when finished
    QStringList translations; // one text, or one per numerus form
    bool hasTranslation = false;
    qint64 line = 0;
};

struct Catalogue
{
    QString language;
    QVector<Message> messages;
    QString error;
};

Catalogue parse(QXmlStreamReader &xml)
{
    Catalogue catalogue;
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("message"))
                catalogue.messages.append(message);
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QString name = xml.name().toString();
        if (name == QLatin1String("TS")) {
            catalogue.language = xml.attributes().value(QLatin1String("language")).toString();
        } else if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = Message();
            message.context = context;
            message.line = xml.lineNumber();
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            message.hasTranslation = true;
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            // Plain text, or numerusform children for plural messages.
            QString text;
            bool numerus = false;
            while (xml.readNext() != QXmlStreamReader::Invalid) {
                if (xml.isCharacters()) {
                    text += xml.text();
                } else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    numerus = true;
                    message.translations.append(xml.readElementText());
                } else if (xml.isEndElement() && xml.name() == QLatin1String("translation")) {
                    break;
                }
            }
            if (!numerus)
                message.translations.append(text);
        } else if (name != QLatin1String("context")) {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        catalogue.error
                = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return catalogue;
}

Catalogue parseText(const QString &text)
{
    QXmlStreamReader xml(text);
    return parse(xml);
}

Catalogue parseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Catalogue failed;
        failed.error = path + QStringLiteral(": ") + file.errorString();
        return failed;
    }
    QXmlStreamReader xml(&file);
    return parse(xml);
}

QString where(const Message &m)
{
    return QStringLiteral("line %1, %2 \"%3\"").arg(m.line).arg(m.context, m.source);
}

QStringList unfinished(const Catalogue &catalogue)
{
    QStringList problems;
    for (const Message &m : catalogue.messages) {
        if (!m.hasTranslation)
            problems << where(m) + QStringLiteral(": no translation");
        else if (!m.type.isEmpty())
            problems << where(m) + QStringLiteral(": translation type \"%1\"").arg(m.type);
        for (const QString &t : m.translations) {
            if (t.trimmed().isEmpty())
                problems << where(m) + QStringLiteral(": empty translation");
        }
    }
    return problems;
}

// Qt's QString::arg markers %1..%99 (and %L1), plus %n of plural messages.
QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%L?(\\d{1,2}|n)"));
    QStringList found;
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    std::sort(found.begin(), found.end());
    return found;
}

QStringList placeholderMismatches(const Catalogue &catalogue)
{
    QStringList problems;
    for (const Message &m : catalogue.messages) {
        const QStringList expected = placeholders(m.source);
        for (const QString &t : m.translations) {
            const QStringList got = placeholders(t);
            if (got != expected)
                problems << where(m)
                                    + QStringLiteral(
                                              ": translation \"%1\" has markers {%2}, source {%3}")
                                              .arg(t, got.join(','), expected.join(','));
        }
    }
    return problems;
}

// Texts English may keep as written: names, and the form placeholders "Form" and "CheckBox" that
// the program replaces before anyone sees them.
const QStringList kNames = {QStringLiteral("Tevrano"),
                            QStringLiteral("Modbus:"),
                            QStringLiteral("Form"),
                            QStringLiteral("CheckBox")};

// Numbers and units: no letter at all ("00:00:00", "-", "℃"), or a number with a short unit
// ("1000X").
bool isNumberOrUnit(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\P{L}*|[\\d.]+\\s*\\p{L}{1,2})$"));
    return pattern.match(text).hasMatch();
}

QStringList leftInSourceLanguage(const Catalogue &catalogue)
{
    QStringList problems;
    for (const Message &m : catalogue.messages) {
        if (kNames.contains(m.source) || isNumberOrUnit(m.source))
            continue;
        for (const QString &t : m.translations) {
            if (t == m.source)
                problems << where(m) + QStringLiteral(": still the source text");
        }
    }
    return problems;
}

using Key = QPair<QString, QString>;

QMap<Key, int> keys(const Catalogue &catalogue)
{
    QMap<Key, int> result;
    for (const Message &m : catalogue.messages)
        ++result[Key(m.context, m.source)];
    return result;
}

// Messages of the others that this catalogue lacks, and its own messages the others lack.
QStringList missing(const Catalogue &catalogue, const QMap<QString, Catalogue> &others)
{
    QStringList problems;
    const QMap<Key, int> own = keys(catalogue);
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        if (it.value() > 1)
            problems << QStringLiteral("%1 \"%2\" appears %3 times")
                                .arg(it.key().first, it.key().second)
                                .arg(it.value());
    }
    for (auto other = others.cbegin(); other != others.cend(); ++other) {
        const QMap<Key, int> theirs = keys(other.value());
        for (auto it = theirs.cbegin(); it != theirs.cend(); ++it) {
            if (!own.contains(it.key()))
                problems << QStringLiteral("%1 \"%2\" is in %3 but missing here")
                                    .arg(it.key().first, it.key().second, other.key());
        }
        for (auto it = own.cbegin(); it != own.cend(); ++it) {
            if (!theirs.contains(it.key()))
                problems << QStringLiteral("%1 \"%2\" is missing in %3")
                                    .arg(it.key().first, it.key().second, other.key());
        }
    }
    return problems;
}

const QStringList kCatalogues
        = {QStringLiteral("Chinese"), QStringLiteral("TrChinese"), QStringLiteral("English")};

QString tsPath(const QString &catalogue)
{
    return QStringLiteral(TS_DIR "/") + catalogue + QStringLiteral(".ts");
}

const char *const kBroken = R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>A</name>
    <message>
        <source>打开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>  </translation>
    </message>
    <message>
        <source>信息已保存在%1！</source>
        <translation>Saved to %2!</translation>
    </message>
    <message>
        <source>%1 到 %2</source>
        <translation>%1 to %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 个</source>
        <translation>
            <numerusform>%n item</numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>好</source>
        <translation>Good</translation>
    </message>
</context>
</TS>
)";

const char *const kSourceLeft = R"(<?xml version="1.0" encoding="utf-8"?>
<TS version="2.1" language="en">
<context>
    <name>A</name>
    <message><source>数据</source><translation>数据</translation></message>
    <message><source>Abc</source><translation>Abc</translation></message>
    <message><source>1000X</source><translation>1000X</translation></message>
    <message><source>℃</source><translation>℃</translation></message>
    <message><source>00:00:00</source><translation>00:00:00</translation></message>
    <message><source>Tevrano</source><translation>Tevrano</translation></message>
    <message><source>保存</source><translation>Save</translation></message>
</context>
</TS>
)";

} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

private slots:
    void checksCatchFaults();
    void readable_data();
    void readable();
    void finished_data();
    void finished();
    void placeholdersKept_data();
    void placeholdersKept();
    void sameMessages_data();
    void sameMessages();
    void englishLeavesNoSourceText();

private:
    void perCatalogue();
};

// The checks themselves must see each kind of fault, or a clean run proves nothing.
void TranslationsTest::checksCatchFaults()
{
    const Catalogue broken = parseText(QString::fromUtf8(kBroken));
    QVERIFY2(broken.error.isEmpty(), qPrintable(broken.error));
    QCOMPARE(broken.messages.size(), 6);
    QCOMPARE(broken.language, QStringLiteral("en"));

    const QStringList notDone = unfinished(broken);
    QCOMPARE(notDone.size(), 4); // unfinished type, its empty text, blank text, empty plural form
    QVERIFY(notDone.filter(QStringLiteral("\"打开\"")).size() == 2);
    QVERIFY(notDone.filter(QStringLiteral("\"关闭\"")).size() == 1);
    QVERIFY(notDone.filter(QStringLiteral("个")).size() == 1);

    const QStringList markers = placeholderMismatches(broken);
    // %1 -> %2, %1 %2 -> %1 %1, and the empty plural form that lost %n.
    QCOMPARE(markers.size(), 3);
    QVERIFY(markers.filter(QStringLiteral("Saved to %2!")).size() == 1);
    QVERIFY(markers.filter(QStringLiteral("%1 to %1")).size() == 1);

    Catalogue other = broken;
    other.messages.removeLast();
    Message extra;
    extra.context = QStringLiteral("B");
    extra.source = QStringLiteral("新");
    other.messages.append(extra);
    other.messages.append(extra);
    QMap<QString, Catalogue> others;
    others.insert(QStringLiteral("other"), other);
    const QStringList gaps = missing(broken, others);
    QCOMPARE(gaps.size(), 2);
    QVERIFY(gaps.filter(QStringLiteral("\"新\" is in other")).size() == 1);
    QVERIFY(gaps.filter(QStringLiteral("\"好\" is missing in other")).size() == 1);
    QMap<QString, Catalogue> back;
    back.insert(QStringLiteral("broken"), broken);
    QVERIFY(missing(other, back).filter(QStringLiteral("appears 2 times")).size() == 1);

    QVERIFY(!parseText(QStringLiteral("<TS><context><name>A</name><message>")).error.isEmpty());

    const QStringList left = leftInSourceLanguage(parseText(QString::fromUtf8(kSourceLeft)));
    QCOMPARE(left.size(), 2);
    QVERIFY(left.filter(QStringLiteral("\"数据\"")).size() == 1);
    QVERIFY(left.filter(QStringLiteral("\"Abc\"")).size() == 1);
}

void TranslationsTest::perCatalogue()
{
    QTest::addColumn<QString>("catalogue");
    for (const QString &name : kCatalogues)
        QTest::newRow(qPrintable(name)) << name;
}

void TranslationsTest::readable_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("language");
    QTest::newRow("Chinese") << QStringLiteral("Chinese") << QStringLiteral("zh_CN");
    QTest::newRow("TrChinese") << QStringLiteral("TrChinese") << QStringLiteral("zh_TW");
    QTest::newRow("English") << QStringLiteral("English") << QStringLiteral("en");
}

// lupdate refuses to refresh a translated catalogue whose target language it cannot tell.
void TranslationsTest::readable()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, language);
    const Catalogue parsed = parseFile(tsPath(catalogue));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(!parsed.messages.isEmpty());
    QCOMPARE(parsed.language, language);
}

void TranslationsTest::finished_data()
{
    perCatalogue();
}

void TranslationsTest::finished()
{
    QFETCH(QString, catalogue);
    const Catalogue parsed = parseFile(tsPath(catalogue));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(!parsed.messages.isEmpty());
    const QStringList problems = unfinished(parsed);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void TranslationsTest::placeholdersKept_data()
{
    perCatalogue();
}

void TranslationsTest::placeholdersKept()
{
    QFETCH(QString, catalogue);
    const Catalogue parsed = parseFile(tsPath(catalogue));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(!parsed.messages.isEmpty());
    const QStringList problems = placeholderMismatches(parsed);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void TranslationsTest::sameMessages_data()
{
    perCatalogue();
}

void TranslationsTest::sameMessages()
{
    QFETCH(QString, catalogue);
    const Catalogue parsed = parseFile(tsPath(catalogue));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(!parsed.messages.isEmpty());
    QMap<QString, Catalogue> others;
    for (const QString &name : kCatalogues) {
        if (name == catalogue)
            continue;
        others.insert(name, parseFile(tsPath(name)));
        QVERIFY2(others[name].error.isEmpty(), qPrintable(others[name].error));
    }
    const QStringList problems = missing(parsed, others);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void TranslationsTest::englishLeavesNoSourceText()
{
    const Catalogue parsed = parseFile(tsPath(QStringLiteral("English")));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(!parsed.messages.isEmpty());
    const QStringList problems = leftInSourceLanguage(parsed);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

QTEST_APPLESS_MAIN(TranslationsTest)

#include "tst_translations.moc"
