// The history's entries as words: an older file's texts taken back to their codes and
// numbers (and words of anyone else's kept), and an entry said in the language
// installed, from the protocol's own tables.
#include "history/historyeventtext.h"
#include "history/historysample.h"
#include "history/legacyeventtext.h"
#ifdef ORBIX_TEST_ENGLISH
#include "i18n/translation.h"
#endif

#include <QtTest>

Q_DECLARE_METATYPE(QVector<double>)

namespace {

HistoryEvent::Phases phasesOf(const QVector<double> &values) // three currents, then three voltages
{
    HistoryEvent::Phases p;
    for (int i = 0; i < 3; ++i) {
        p.currents[i] = values[i];
        p.voltages[i] = int(values[3 + i]);
    }
    return p;
}

} // namespace

class TestHistoryEvents : public QObject
{
    Q_OBJECT

private slots:
    void legacyTextsAreTakenBack_data();
    void legacyTextsAreTakenBack();
    void entriesInTheInstalledLanguage_data();
    void entriesInTheInstalledLanguage();
    void cleanup();
};

void TestHistoryEvents::cleanup()
{
#ifdef ORBIX_TEST_ENGLISH
    QVERIFY(Translation::install(Translation::Russian));
#endif
}

void TestHistoryEvents::legacyTextsAreTakenBack_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QVector<double>>("phases"); // empty: none
    const QVector<double> none;
    QTest::newRow("stop") << int(HistoryEvent::WorkLog) << 1 << "Останов двигателя" << true << none;
    QTest::newRow("start") << int(HistoryEvent::WorkLog) << 2 << "Пуск двигателя" << true << none;
    QTest::newRow("a stop's words under a start's code") << int(HistoryEvent::WorkLog) << 2 << "Останов двигателя" << false
                                                         << none;
    QTest::newRow("link lost") << int(HistoryEvent::Link) << 1 << "Связь потеряна" << true << none;
    QTest::newRow("link restored") << int(HistoryEvent::Link) << 2 << "Связь восстановлена" << true << none;
    QTest::newRow("link words in the work log") << int(HistoryEvent::WorkLog) << 1 << "Связь потеряна" << false << none;
    QTest::newRow("trip") << int(HistoryEvent::CrashLog) << 31
                          << "Перегрузка по току (среднебыстродействующая защита) (12.3 / 12.5 / 0.0 A, 380 / 381 / 379 V)"
                          << true << QVector<double> {12.3, 12.5, 0.0, 380, 381, 379};
    QTest::newRow("trip written by an English window")
        << int(HistoryEvent::CrashLog) << 32 << "Motor thermal overload (1.5 / 2.5 / 3.5 A, 400 / 401 / 402 V)" << true
        << QVector<double> {1.5, 2.5, 3.5, 400, 401, 402};
    QTest::newRow("trip of an undocumented code") << int(HistoryEvent::CrashLog) << 99 << " (1.0 / 0.1 / 10.0 A, 1 / 0 / 2 V)"
                                                  << true << QVector<double> {1.0, 0.1, 10.0, 1, 0, 2};
    QTest::newRow("trip without its values") << int(HistoryEvent::CrashLog) << 31 << "Перегрузка по току" << false << none;
    QTest::newRow("values not at the end") << int(HistoryEvent::CrashLog) << 31 << "x (1.0 / 1.0 / 1.0 A, 1 / 1 / 1 V) y"
                                           << false << none;
    QTest::newRow("someone's words") << int(HistoryEvent::WorkLog) << 2 << "запуск вручную" << false << none;
    QTest::newRow("no text") << int(HistoryEvent::WorkLog) << 7 << "" << true << none;
}

void TestHistoryEvents::legacyTextsAreTakenBack()
{
    QFETCH(int, source);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QFETCH(QVector<double>, phases);
    HistoryEvent e {1000, source, code, text};
    QCOMPARE(LegacyEventText::takeBack(e), taken);
    QCOMPARE(e.text, taken ? QString() : text); // what is not recognised is kept word for word
    QCOMPARE(e.code, code);
    QVERIFY(!e.startPeak); // that recorder never wrote one
    QCOMPARE(bool(e.phases), !phases.isEmpty());
    for (int p = 0; e.phases && p < 3; ++p) {
        QCOMPARE(e.phases->currents[p], phases[p]);
        QCOMPARE(e.phases->voltages[p], int(phases[3 + p]));
    }
}

void TestHistoryEvents::entriesInTheInstalledLanguage_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("startPeak"); // below 0: none
    QTest::addColumn<QVector<double>>("phases");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said");
    struct Case
    {
        const char *name;
        int source;
        int code;
        double startPeak;
        QVector<double> phases;
        const char *text;
        const char *russian;
        const char *english;
    };
    const Case cases[] = {
        {"stop", HistoryEvent::WorkLog, 1, -1, {}, "", "Остановка двигателя", "Motor stop"},
        {"stop of a log with peaks", HistoryEvent::WorkLog, 1, 0, {}, "", "Остановка двигателя", "Motor stop"},
        {"start of an older log", HistoryEvent::WorkLog, 2, -1, {}, "", "Пуск двигателя", "Motor start"},
        {"start with its peak", HistoryEvent::WorkLog, 2, 12.34, {}, "",
         "Пуск двигателя (максимальная амплитуда тока при пуске 12.3А)", "Motor start (peak starting current 12.3 A)"},
        {"link lost", HistoryEvent::Link, 1, -1, {}, "", "Связь потеряна", "Link lost"},
        {"link restored", HistoryEvent::Link, 2, -1, {}, "", "Связь восстановлена", "Link restored"},
        {"trip", HistoryEvent::CrashLog, 31, -1, {12.3, 12.5, 0, 380, 381, 379}, "",
         "Перегрузка по току (среднебыстродействующая защита) (12.3 / 12.5 / 0.0 А, 380 / 381 / 379 В)",
         "Overcurrent (medium-fast protection) (12.3 / 12.5 / 0.0 A, 380 / 381 / 379 V)"},
        {"trip without its values", HistoryEvent::CrashLog, 32, -1, {}, "", "Тепловая перегрузка двигателя",
         "Motor thermal overload"},
        {"undocumented fault", HistoryEvent::CrashLog, 99, -1, {}, "", "99", "99"},
        {"words kept from an older file", HistoryEvent::WorkLog, 2, -1, {}, "запуск вручную", "запуск вручную",
         "запуск вручную"},
    };
    QVector<bool> languages {false};
#ifdef ORBIX_TEST_ENGLISH
    languages << true;
#endif
    for (bool english : languages)
        for (const Case &c : cases)
            QTest::addRow("%s, %s", english ? "English" : "Russian", c.name)
                << english << c.source << c.code << c.startPeak << c.phases << QString::fromUtf8(c.text)
                << QString::fromUtf8(english ? c.english : c.russian);
}

void TestHistoryEvents::entriesInTheInstalledLanguage()
{
    QFETCH(bool, english);
    QFETCH(int, source);
    QFETCH(int, code);
    QFETCH(double, startPeak);
    QFETCH(QVector<double>, phases);
    QFETCH(QString, text);
    QFETCH(QString, said);
#ifdef ORBIX_TEST_ENGLISH
    QVERIFY(Translation::install(english ? Translation::English : Translation::Russian));
#else
    QVERIFY(!english);
#endif
    HistoryEvent e {1000, source, code, text};
    if (startPeak >= 0)
        e.startPeak = startPeak;
    if (!phases.isEmpty())
        e.phases = phasesOf(phases);
    QCOMPARE(HistoryEventText::text(e), said);
}

QTEST_GUILESS_MAIN(TestHistoryEvents)
#include "tst_historyevents.moc"
