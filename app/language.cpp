#include "language.h"

#include "qtcompat.h"
#include "settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>

namespace {
// Owned here; replaced, never shared, on every switch.
QTranslator *theTranslator = nullptr;
// Qt's own texts (standard buttons, file dialogs) in the same language.
QTranslator *theQtTranslator = nullptr;

void replace(QTranslator *&translator)
{
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    translator = new QTranslator;
}

// Beside the program first, so a copied installation can bring its own; then Qt's.
void loadQtCatalogue(const QString &name, const QString &catalogueDirectory)
{
    const QString file = qtCatalogueFileName(name);
    if (file.isEmpty())
        return;
    for (const QString &directory : {catalogueDirectory, qtTranslationsPath()}) {
        const QString path = directory + QLatin1Char('/') + file;
        if (QFileInfo::exists(path) && theQtTranslator->load(path)) {
            QCoreApplication::installTranslator(theQtTranslator);
            return;
        }
    }
}
} // namespace

QString catalogueFileName(const QString &name)
{
    if (name == QLatin1String(LanguageNames::SimplifiedChinese))
        return QStringLiteral("Chinese.qm");
    if (name == QLatin1String(LanguageNames::TrChinese))
        return QStringLiteral("TrChinese.qm");
    return QStringLiteral("English.qm");
}

QString qtCatalogueFileName(const QString &name)
{
    if (name == QLatin1String(LanguageNames::SimplifiedChinese))
        return QStringLiteral("qtbase_zh_CN.qm");
    if (name == QLatin1String(LanguageNames::TrChinese))
        return QStringLiteral("qtbase_zh_TW.qm");
    return QString();
}

bool LoadLanguage(const QString &name, const QString &directory)
{
    replace(theTranslator);
    replace(theQtTranslator);

    const QString catalogueDirectory
            = directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory;
    loadQtCatalogue(name, catalogueDirectory);
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
