// Which language the program starts in: --lang, then the stored choice, then the
// system's locale; and what the English translation built into the program gives.
#include "i18n/translation.h"
#include "storage/appsettings.h"

#include <QtTest>

Q_DECLARE_METATYPE(AppSettings::Language)

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void choose_data();
    void choose();
    void codes_data();
    void codes();
    void englishIsBuiltIn();
};

void TestTranslation::cleanup()
{
    QVERIFY(Translation::install(Translation::Russian));
}

void TestTranslation::choose_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<AppSettings::Language>("stored");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("english");
    const AppSettings::Language system = AppSettings::Language::System, ru = AppSettings::Language::Russian,
                                en = AppSettings::Language::English;
    QTest::newRow("system, ru_RU") << "" << system << "ru_RU" << false;
    QTest::newRow("system, ru") << "" << system << "ru" << false;
    QTest::newRow("system, ru_UA") << "" << system << "ru_UA" << false;
    QTest::newRow("system, ru-RU") << "" << system << "ru-RU" << false;
    QTest::newRow("system, ru_RU.UTF-8") << "" << system << "ru_RU.UTF-8" << false;
    QTest::newRow("system, rue (another language)") << "" << system << "rue" << true;
    QTest::newRow("system, en_US") << "" << system << "en_US" << true;
    QTest::newRow("system, C") << "" << system << "C" << true;
    QTest::newRow("system, de_DE") << "" << system << "de_DE" << true;
    QTest::newRow("system, empty") << "" << system << "" << true;
    QTest::newRow("stored ru wins over en_US") << "" << ru << "en_US" << false;
    QTest::newRow("stored en wins over ru_RU") << "" << en << "ru_RU" << true;
    QTest::newRow("unknown stored value: system") << "" << AppSettings::Language(7) << "ru_RU" << false;
    QTest::newRow("option en wins over stored ru") << "en" << ru << "ru_RU" << true;
    QTest::newRow("option ru wins over stored en") << "ru" << en << "en_US" << false;
    QTest::newRow("option EN, any case") << "EN" << system << "ru_RU" << true;
    QTest::newRow("bad option is no choice") << "xx" << en << "ru_RU" << true;
}

void TestTranslation::choose()
{
    QFETCH(QString, option);
    QFETCH(AppSettings::Language, stored);
    QFETCH(QString, locale);
    QFETCH(bool, english);
    QCOMPARE(Translation::choose(option, stored, locale) == Translation::English, english);
}

void TestTranslation::codes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("english");
    QTest::newRow("ru") << "ru" << true << false;
    QTest::newRow("Ru") << "Ru" << true << false;
    QTest::newRow("en") << "en" << true << true;
    QTest::newRow("en_US is no code") << "en_US" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("de") << "de" << false << false;
}

void TestTranslation::codes()
{
    QFETCH(QString, code);
    QFETCH(bool, known);
    QFETCH(bool, english);
    Translation::Language language = Translation::Russian;
    QCOMPARE(Translation::fromCode(code, language), known);
    QCOMPARE(language == Translation::English, english);
    if (known)
        QCOMPARE(Translation::code(language), code.toLower());
}

// The translation comes from the program itself: no file beside it is needed.
void TestTranslation::englishIsBuiltIn()
{
    QCOMPARE(QCoreApplication::translate("MainWindow", "Помощь"), QString("Помощь"));
    QVERIFY(Translation::install(Translation::English));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Помощь"), QString("Help"));
    QCOMPARE(QCoreApplication::translate("FaultText", "Тепловая перегрузка двигателя"), QString("Motor thermal overload"));
    QCOMPARE(Translation::locale(Translation::English).decimalPoint(), QChar('.'));
    QVERIFY(Translation::install(Translation::English)); // again: replaces, never stacks
    QVERIFY(Translation::install(Translation::Russian));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Помощь"), QString("Помощь"));
    QCOMPARE(Translation::locale(Translation::Russian).decimalPoint(), QChar(','));
}

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
