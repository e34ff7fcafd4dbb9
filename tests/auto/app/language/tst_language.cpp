#include "language.h"
#include "settings.h"

#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

// Each test catalogue translates this probe into its own base name.
QString activeCatalogue()
{
    return QCoreApplication::translate("LanguageProbe", "catalogue");
}
const QString NoCatalogue = QStringLiteral("catalogue");

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadsCatalogueForName_data();
    void loadsCatalogueForName();
    void switchingTwiceLeavesOneTranslator();
    void absentCatalogueShowsSourceTexts_data();
    void absentCatalogueShowsSourceTexts();
    void storedChoiceSurvivesRestart();

private:
    QString catalogues() const { return m_dir->path() + "/bin"; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLanguage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(catalogues()));
    for (const char *file : {"Chinese.qm", "TrChinese.qm", "English.qm"})
        QVERIFY(QFile::copy(QString(CATALOGUE_DIR "/") + file, catalogues() + '/' + file));
}

void TestLanguage::cleanup()
{
    QCoreApplication::removeTranslator(currentTranslator());
}

void TestLanguage::loadsCatalogueForName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("catalogue");
    QTest::newRow("Simplified Chinese") << "Simplified Chinese"
                                        << "Chinese";
    QTest::newRow("Tr Chinese") << "Tr Chinese"
                                << "TrChinese";
    QTest::newRow("English") << "English"
                             << "English";
    QTest::newRow("unknown name") << "Klingon"
                                  << "English";
    QTest::newRow("empty name") << ""
                                << "English";
    QTest::newRow("other case") << "tr chinese"
                                << "English";
    QTest::newRow("menu text instead of name") << QString::fromUtf8("繁體中文") << "English";
}

void TestLanguage::loadsCatalogueForName()
{
    QFETCH(QString, name);
    QFETCH(QString, catalogue);
    QVERIFY(LoadLanguage(name, catalogues()));
    QCOMPARE(activeCatalogue(), catalogue);
}

void TestLanguage::switchingTwiceLeavesOneTranslator()
{
    QVERIFY(LoadLanguage(LanguageNames::English, catalogues()));
    QVERIFY(LoadLanguage(LanguageNames::TrChinese, catalogues()));
    QCOMPARE(activeCatalogue(), QString("TrChinese"));
    QCOMPARE(QCoreApplication::translate("MainWindow", "文件"), QString::fromUtf8("檔案"));

    // With the current one gone nothing may translate: the English one was
    // removed by the second switch.
    QVERIFY(QCoreApplication::removeTranslator(currentTranslator()));
    QCOMPARE(activeCatalogue(), NoCatalogue);
    QCOMPARE(QCoreApplication::translate("MainWindow", "文件"), QString::fromUtf8("文件"));
}

void TestLanguage::absentCatalogueShowsSourceTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("missingFile");
    QTest::newRow("Traditional Chinese") << "Tr Chinese"
                                         << "TrChinese.qm";
    QTest::newRow("unknown name, English missing") << "Klingon"
                                                   << "English.qm";
}

void TestLanguage::absentCatalogueShowsSourceTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, missingFile);

    QVERIFY(LoadLanguage(LanguageNames::SimplifiedChinese, catalogues()));
    QCOMPARE(activeCatalogue(), QString("Chinese"));
    QVERIFY(QFile::remove(catalogues() + '/' + missingFile));

    QVERIFY(!LoadLanguage(name, catalogues()));
    QCOMPARE(activeCatalogue(), NoCatalogue);
    QCOMPARE(QCoreApplication::translate("MainWindow", "文件"), QString::fromUtf8("文件"));
    QVERIFY(currentTranslator());
    QVERIFY(currentTranslator()->isEmpty());
}

void TestLanguage::storedChoiceSurvivesRestart()
{
    const QString settingsDir = m_dir->path() + "/settings";
    QVERIFY(QDir().mkpath(settingsDir));
    {
        Settings settings(settingsDir);
        QVERIFY(switchLanguage(settings, LanguageNames::TrChinese, catalogues()));
        QCOMPARE(activeCatalogue(), QString("TrChinese"));
        QCOMPARE(settings.value(SettingsKeys::Language), QString("Tr Chinese"));
        QVERIFY(settings.writeFile());
    }
    QVERIFY(LoadLanguage(LanguageNames::English, catalogues()));

    Settings restarted(settingsDir);
    QVERIFY(restarted.readFile());
    QVERIFY(LoadLanguage(restarted.value(SettingsKeys::Language, "English"), catalogues()));
    QCOMPARE(activeCatalogue(), QString("TrChinese"));
}

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"
