#include "language.h"
#include "settings.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {
// Owned here; replaced, never shared, on every switch.
QTranslator *theTranslator = nullptr;
} // namespace

QString catalogueFileName(const QString &name)
{
    if (name == QLatin1String(LanguageNames::SimplifiedChinese))
        return QStringLiteral("Chinese.qm");
    if (name == QLatin1String(LanguageNames::TrChinese))
        return QStringLiteral("TrChinese.qm");
    return QStringLiteral("English.qm");
}

bool LoadLanguage(const QString &name, const QString &directory)
{
    if (theTranslator) {
        QCoreApplication::removeTranslator(theTranslator);
        delete theTranslator;
    }
    theTranslator = new QTranslator;

    const QString catalogueDirectory
            = directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory;
    if (!theTranslator->load(catalogueDirectory + QLatin1Char('/') + catalogueFileName(name)))
        return false;
    QCoreApplication::installTranslator(theTranslator);
    return true;
}

bool switchLanguage(Settings &settings, const QString &name, const QString &directory)
{
    settings.setValue(QLatin1String(SettingsKeys::Language), name);
    return LoadLanguage(name, directory);
}

QTranslator *currentTranslator()
{
    return theTranslator;
}
