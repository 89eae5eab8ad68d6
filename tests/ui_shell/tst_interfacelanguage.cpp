// The window and its dialogs in each language: every text a user can see, on a widget,
// an action, a table header or a plot, is in the language installed. English keeps
// no Cyrillic but the product's names; Russian keeps no Latin word but a short list.
#include "app/configdialog.h"
#include "app/mainwindow.h"
#include "app/windowstate.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/watchdatapacket.h"
#include "exchange/configevent.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventget.h"
#include "i18n/translation.h"
#include "report/reporttexts.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "ui/mnemonics.h"
#include "ui/monitor/trafficmonitor.h"
#include "ui/search/networklinedialog.h"
#include "ui/search/searchdialog.h"
#include "ui/setup/idleplotdialog.h"
#include "ui/setup/timedialog.h"
#include "ui/watch/detaildialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTemporaryDir>
#include <QtTest>
#include <qwt_plot.h>
#include <qwt_plot_item.h>

#include <memory>

Q_DECLARE_METATYPE(Translation::Language)

namespace {

constexpr quint32 kFaultCodeRegister = 303; // the oscillogram's fault code

const QStringList kKeptNames {QStringLiteral("ОРБИКС-Сервис 11"), QStringLiteral("ОРБИКС-11")};

// Latin words a Russian window may show, each for a reason:
const QStringList kLatinInRussian {
    "A", "B", "C",                        // the phases, as the device's panel names them
    "E", "O", "N",                        // frame formats (8E1, 8O1, 8N2), as the device's manual writes them
    "v",                                  // the version in a device's name ("v0.7")
    "COM",                                // port names, as the system and the user know them
    "Modbus", "RTU", "TCP", "RFC", "CRC", // the line's protocols and their checks, names in any language
    "PTC", "PT",                          // sensor types in fault texts, as the device documentation spells them
    "COMTRADE",                           // the oscillogram file format
    "hex",                                // the traffic monitor's byte column
    "Ctrl", "P", "F",                     // the keys in the toolbar's tips, as the keyboard labels them
};

// One visible text and where it is, for the failure message.
struct Shown {
    QString where;
    QString text;
};

void add(QList<Shown> &out, const QObject *o, const char *what, const QString &text)
{
    if (!text.trimmed().isEmpty())
        out.append({QStringLiteral("%1 %2 %3").arg(QLatin1String(o->metaObject()->className()), o->objectName(),
                                                 QLatin1String(what)),
                    text});
}

void addModel(QList<Shown> &out, const QAbstractItemView *view)
{
    const QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c)
        add(out, view, "header", model->headerData(c, Qt::Horizontal).toString());
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c) {
            add(out, view, "cell", model->index(r, c).data().toString());
            add(out, view, "cell tip", model->index(r, c).data(Qt::ToolTipRole).toString());
        }
}

void addPlot(QList<Shown> &out, const QwtPlot *plot)
{
    add(out, plot, "title", plot->title().text());
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        if (plot->axisEnabled(axis))
            add(out, plot, "axis", plot->axisTitle(axis).text());
    for (const QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) // the legend's entries
        add(out, plot, "curve", item->title().text());
}

// Every text of root and its children that can reach the screen.
QList<Shown> textsOf(QWidget *root)
{
    QList<Shown> out;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (w->isWindow() || qobject_cast<QToolBar *>(w))
            add(out, w, "title", w->windowTitle());
        add(out, w, "tip", w->toolTip());
        add(out, w, "status tip", w->statusTip());
        for (const QAction *a : w->actions()) {
            add(out, a, "action", a->text());
            add(out, a, "action tip", a->toolTip());
        }
        if (auto *label = qobject_cast<QLabel *>(w))
            add(out, w, "text", label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(out, w, "text", button->text());
        if (auto *group = qobject_cast<QGroupBox *>(w))
            add(out, w, "title", group->title());
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            add(out, w, "placeholder", edit->placeholderText());
        if (auto *spin = qobject_cast<QSpinBox *>(w))
            add(out, w, "suffix", spin->prefix() + spin->suffix());
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(w))
            add(out, w, "suffix", spin->prefix() + spin->suffix());
        if (auto *bar = qobject_cast<QStatusBar *>(w))
            add(out, w, "message", bar->currentMessage());
        if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i)
                add(out, w, "tab", tabs->tabText(i));
        if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                add(out, w, "item", combo->itemText(i));
        if (auto *view = qobject_cast<QAbstractItemView *>(w))
            addModel(out, view);
        if (auto *plot = qobject_cast<QwtPlot *>(w))
            addPlot(out, plot);
    }
    return out;
}

// The names kept in every language: the product's, each language's own in the language
// box (so that a user lost in the other finds theirs), and the system's port device names.
QString withoutNames(const Shown &shown)
{
    static const QRegularExpression portName(QStringLiteral("\\btty[A-Za-z]*[0-9]+\\b"));
    QString text = shown.text;
    if (shown.where.contains(QLatin1String("languageBox")))
        text.remove(QStringLiteral("Русский")).remove(QStringLiteral("English"));
    for (const QString &name : kKeptNames)
        text.remove(name);
    return text.remove(portName);
}

// The texts breaking the language's rule, one a line.
QStringList foreignTexts(const QList<Shown> &texts, Translation::Language language)
{
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    static const QRegularExpression latinWord(QStringLiteral("[A-Za-z_]+"));
    QStringList bad;
    for (const Shown &s : texts) {
        const QString text = withoutNames(s);
        bool foreign = false;
        if (language == Translation::English) {
            foreign = text.contains(cyrillic);
        } else {
            for (auto m = latinWord.globalMatch(text); m.hasNext() && !foreign;)
                foreign = !kLatinInRussian.contains(m.next().captured());
        }
        if (foreign)
            bad << s.where + QStringLiteral(": ") + s.text;
    }
    return bad;
}

} // namespace

class TestInterfaceLanguage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyTextInTheLanguage_data();
    void everyTextInTheLanguage();
    void deviceTextsFollowTheLanguage();
    void reportFollowsTheLanguage();
    void longerTextsStillFitALaptop();
    void dialogChoiceWaitsForTheNextStart();
    void userGuideInTheLanguage();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestInterfaceLanguage::init()
{
    dir = std::make_unique<QTemporaryDir>();
    DataDirectory::setOverride(dir->path());
    qputenv("ORBIX_PORTS", ""); // no bindings of the machine's own
    AppSettings::instance() = AppSettings();
}

void TestInterfaceLanguage::cleanup()
{
    QVERIFY(Translation::install(Translation::Russian)); // the other tests' texts
    dir.reset();
}

void TestInterfaceLanguage::everyTextInTheLanguage_data()
{
    QTest::addColumn<Translation::Language>("language");
    QTest::addColumn<QString>("firstTab");
    QTest::newRow("en") << Translation::English << QString("Connection");
    QTest::newRow("ru") << Translation::Russian << QString("Подключение");
}

void TestInterfaceLanguage::everyTextInTheLanguage()
{
    QFETCH(Translation::Language, language);
    QFETCH(QString, firstTab);
    QVERIFY(Translation::install(language));
    QCOMPARE(Translation::installed(), language);

    MainWindow window;
    // The tabs as a connected device fills them: its settings and a reading.
    const std::unique_ptr<DataEvent> config = std::make_unique<ConfigEvent>(*PacketFactory::configuration(70), 0);
    window.onDataEvent(config.get());
    const std::unique_ptr<DataEvent> reading = std::make_unique<DataEventGet>(*PacketFactory::monitoring(70));
    window.onDataEvent(reading.get());
    CrashOscillogramPacket oscillogram;
    PacketRegisters::write(oscillogram, kFaultCodeRegister, 32);
    const std::unique_ptr<DataEvent> trip = std::make_unique<CrashEventOscillogramGet>(oscillogram);
    window.onDataEvent(trip.get());
    QCOMPARE(Mnemonics::shown(window.findChild<QTabWidget *>()->tabText(0)), firstTab);

    CrashRecord record;
    record.code = 32;
    const CrashProtocolEvent crash(record);
    std::vector<std::unique_ptr<QWidget>> dialogs;
    dialogs.push_back(std::make_unique<ConfigDialog>(true, 1, 300));
    dialogs.push_back(std::make_unique<NetworkLineDialog>(40));
    dialogs.push_back(std::make_unique<SearchDialog>());
    dialogs.push_back(std::make_unique<TimeDialog>(0));
    dialogs.push_back(std::make_unique<IdlePlotDialog>(10.0, 0.3, 1, 0.0));
    dialogs.push_back(std::make_unique<DetailDialog>(crash));
    dialogs.push_back(std::make_unique<TrafficMonitor>());

    QList<Shown> texts = textsOf(&window);
    for (const auto &dialog : dialogs)
        texts += textsOf(dialog.get());
    QVERIFY2(texts.size() > 150, qPrintable(QString::number(texts.size()))); // the walk saw the window
    const QStringList bad = foreignTexts(texts, language);
    QVERIFY2(bad.isEmpty(), qPrintable(QStringLiteral("\n") + bad.join(QLatin1Char('\n'))));
}

// The device library's tables are translated where they are shown, not where they are made.
void TestInterfaceLanguage::deviceTextsFollowTheLanguage()
{
    CrashRecord record;
    record.code = 32;
    const CrashProtocolEvent crash(record);
    DeviceInfo unknown;
    unknown.kind = DeviceInfo::Unknown;
    QCOMPARE(crash.text(), QString("Тепловая перегрузка двигателя"));
    QVERIFY(Translation::install(Translation::English));
    QCOMPARE(crash.text(), QString("Motor thermal overload"));
    QVERIFY(unknown.displayText().startsWith("Unknown device /"));
    QVERIFY(unknown.sourceText().startsWith("Неизвестное устройство /")); // what files keep
    QVERIFY(Translation::install(Translation::Russian));
    QCOMPARE(crash.text(), QString("Тепловая перегрузка двигателя"));
    QCOMPARE(Translation::installed(), Translation::Russian);
}

// The report is made of the same texts: it speaks the window's language.
void TestInterfaceLanguage::reportFollowsTheLanguage()
{
    const auto config = PacketFactory::configuration(80);
    const auto state = PacketFactory::monitoring(80);
    CrashRecord record;
    record.code = 32;
    const CrashProtocolEvent crash(record);
    const QDateTime now = QDateTime::currentDateTime();
    auto reportTexts = [&] {
        QStringList texts;
        for (const auto &rows : {ReportTexts::settingsRows(*config, 80, 2), ReportTexts::switchRows(*config),
                                 ReportTexts::rightColumnRows(*config, 80)})
            for (const ReportTexts::Row &row : rows)
                texts << row.label << row.value;
        texts << ReportTexts::stateLines(*state, 80) << ReportTexts::crashEntryLines(crash, 2)
              << ReportTexts::crashHeading(32) << ReportTexts::tripTimeLine(0) << ReportTexts::footer(now)
              << ReportTexts::documentName(now);
        return texts;
    };
    QVERIFY(reportTexts().contains("Аварий нет"));
    QVERIFY(Translation::install(Translation::English));
    const QStringList english = reportTexts();
    QVERIFY(english.contains("No faults"));
    QVERIFY(english.contains("Fault: Motor thermal overload (32)"));
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    for (const QString &text : english)
        QVERIFY2(!text.contains(cyrillic), qPrintable(text));
}

// English words are longer than the Russian ones in places: the window on the watch tab
// must still fit a 1366x768 screen, as it does in Russian.
void TestInterfaceLanguage::longerTextsStillFitALaptop()
{
    QVERIFY(Translation::install(Translation::English));
    const QSize laptop = QRect(0, 0, 1366, 768).marginsRemoved(WindowState::kFrameAllowance).size();
    MainWindow w;
    const std::unique_ptr<DataEvent> connected = std::make_unique<DataEvent>(DataEvent::Connected);
    w.onDataEvent(connected.get()); // the watch tab in front
    const QSize least = w.minimumSizeHint();
    QVERIFY2(least.width() <= laptop.width() && least.height() <= laptop.height(),
             qPrintable(QStringLiteral("least size %1x%2").arg(least.width()).arg(least.height())));
    ConfigDialog dialog(false, 1, 60);
    const QSize needed = dialog.layout()->minimumSize();
    QVERIFY(needed.width() <= dialog.width() && needed.height() <= dialog.height()); // nothing squeezed off
}

// The choice is written at once, beside config.dat, and the open window keeps its texts.
void TestInterfaceLanguage::dialogChoiceWaitsForTheNextStart()
{
    MainWindow w;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        auto *box = dialog ? dialog->findChild<QComboBox *>(QStringLiteral("languageBox")) : nullptr;
        if (!box)
            return;
        seen = true;
        box->setCurrentIndex(box->findText(QStringLiteral("English")));
        dialog->accept();
    });
    w.onBtnShowAppConfig();
    QVERIFY(seen);
    QCOMPARE(AppSettings::instance().language, AppSettings::Language::English);
    QFile file(dir->filePath(QLatin1String(AppSettings::kLanguageFileName)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("language=en\n"));
    QVERIFY(!QFile::exists(dir->filePath(QLatin1String(AppSettings::kFileName)))); // written at the end, as before
    QCOMPARE(Mnemonics::shown(w.findChild<QTabWidget *>()->tabText(0)), QString("Подключение"));
    AppSettings next;
    next.loadLanguage(file.fileName());
    QCOMPARE(Translation::choose(QString(), next.language, QStringLiteral("ru_RU")), Translation::English);
}

void TestInterfaceLanguage::userGuideInTheLanguage()
{
    const QString bin = dir->filePath("usr/bin");
    const QString installed = dir->filePath("usr/share/doc/orbix-service/docs");
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(installed));
    auto touch = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };
    QCOMPARE(MainWindow::userGuide(bin, Translation::English), QString());
    QVERIFY(touch(installed + "/user-guide.md"));
    // No English guide: the Russian one, whatever the language.
    QCOMPARE(MainWindow::userGuide(bin, Translation::English), installed + "/user-guide.md");
    QVERIFY(touch(bin + "/user-guide.md"));
    QCOMPARE(MainWindow::userGuide(bin, Translation::Russian), bin + "/user-guide.md"); // the build's copy first
    QVERIFY(touch(installed + "/user-guide.en.md"));
    QCOMPARE(MainWindow::userGuide(bin, Translation::English), installed + "/user-guide.en.md");
    QCOMPARE(MainWindow::userGuide(bin, Translation::Russian), bin + "/user-guide.md");
    QVERIFY(touch(bin + "/user-guide.en.md"));
    QCOMPARE(MainWindow::userGuide(bin, Translation::English), bin + "/user-guide.en.md");
}

QTEST_MAIN(TestInterfaceLanguage)
#include "tst_interfacelanguage.moc"
