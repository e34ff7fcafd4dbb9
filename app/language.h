#ifndef TEVRANO_LANGUAGE_H
#define TEVRANO_LANGUAGE_H

#include <QString>

class QTranslator;
class Settings;

// The names the "Language" setting holds.
namespace LanguageNames {
inline constexpr char SimplifiedChinese[] = "Simplified Chinese";
inline constexpr char TrChinese[] = "Tr Chinese";
inline constexpr char English[] = "English";
} // namespace LanguageNames

// "Chinese.qm" or "TrChinese.qm" for exactly those two names, "English.qm"
// for any other.
QString catalogueFileName(const QString &name);

// Qt's own catalogue for the two Chinese names; empty for English, the
// language Qt's texts are written in.
QString qtCatalogueFileName(const QString &name);

// Replaces the application's translator with a new one for the named
// language, loaded from directory (the executable's directory when empty).
// The new translator is installed only when its catalogue loaded; otherwise
// the source texts show. Qt's own catalogue for the language is replaced
// alongside, from that directory or Qt's translations directory; its absence
// is not reported. Returns whether ours loaded. Widgets re-translate on
// the language-change events that follow; texts set outside a changeEvent
// handler, such as the main window's form, are the caller's to refresh.
bool LoadLanguage(const QString &name, const QString &directory = QString());

// Stores the name in memory (the settings file is written later) and loads
// the language, as the language entries of the menus do.
bool switchLanguage(Settings &settings, const QString &name, const QString &directory = QString());

// The translator the last LoadLanguage made, installed or not; null before.
QTranslator *currentTranslator();

#endif // TEVRANO_LANGUAGE_H
