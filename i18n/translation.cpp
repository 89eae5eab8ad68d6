#include "i18n/translation.h"

#include "storage/appsettings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTranslator>

namespace {
constexpr const char *kEnglishFile = ":/i18n/orbix_en.qm";

// The translators in use, owned by the application: they end with it.
QPointer<QTranslator> ours;
QPointer<QTranslator> toolkit;

// A translator takes itself out of the application when it is deleted.
void replace(QPointer<QTranslator> &translator, const QString &file, const QString &directory = QString())
{
    delete translator;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(file, directory)) {
        QCoreApplication::installTranslator(translator);
        return;
    }
    delete translator;
}
} // namespace

// The translation lives in a static library: its registration must be asked for.
static void initResources()
{
    Q_INIT_RESOURCE(orbix_i18n);
}

Translation::Language Translation::choose(const QString &option, AppSettings::Language stored, const QString &localeName)
{
    Language language = Russian;
    if (fromCode(option, language))
        return language;
    if (stored == AppSettings::Language::Russian)
        return Russian;
    if (stored == AppSettings::Language::English)
        return English;
    // "ru", "ru_RU", "ru-RU" (as the system's list of languages writes it), not "rue".
    const QString name = localeName.section(QRegularExpression(QStringLiteral("[_.@-]")), 0, 0);
    return name.compare(QLatin1String("ru"), Qt::CaseInsensitive) == 0 ? Russian : English;
}

bool Translation::fromCode(const QString &code, Language &language)
{
    if (code.compare(QLatin1String("ru"), Qt::CaseInsensitive) == 0)
        language = Russian;
    else if (code.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0)
        language = English;
    else
        return false;
    return true;
}

QString Translation::code(Language language)
{
    return language == English ? QStringLiteral("en") : QStringLiteral("ru");
}

QLocale Translation::locale(Language language)
{
    return language == English ? QLocale(QLocale::English, QLocale::UnitedStates)
                               : QLocale(QLocale::Russian, QLocale::Russia);
}

bool Translation::install(Language language)
{
    initResources();
    if (language == English) {
        delete toolkit; // Qt's own texts are English already
        replace(ours, QLatin1String(kEnglishFile));
        return !ours.isNull();
    }
    delete ours;
    replace(toolkit, QStringLiteral("qtbase_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    return true;
}

Translation::Language Translation::installed()
{
    return ours.isNull() ? Russian : English;
}
