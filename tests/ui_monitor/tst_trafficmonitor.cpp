// The traffic monitor's rows for every way a transaction ends, built from the frame
// records the port's own frame log makes (masking included); the bound, pause, clear,
// the filter, the saved file and the statistics.
#include "exchange/linkstatisticsevent.h"
#include "exchange/trafficevent.h"
#include "link/framelog.h"
#include "link/frameobserver.h"
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "storage/datadirectory.h"
#include "tests/testwritefailure.h"
#include "tests/ui_setup/modalanswerer.h"
#include "ui/monitor/linkstatisticstext.h"
#include "ui/monitor/trafficfilter.h"
#include "ui/monitor/trafficmodel.h"
#include "ui/monitor/trafficmonitor.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using F = ModbusPort::Failure;
constexpr qint64 kResponseUs = 12345; // shown as "12.3"
constexpr quint32 kAccessCodeRegister = 32;
constexpr quint16 kAccessCode = 4321;  // 10 e1 on the line
constexpr int kWatchedBound = 100;

QByteArray withCrc(QByteArray frame)
{
    RtuFraming::appendCrc(frame);
    return frame;
}

QByteArray frame(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

// The last CRC byte changed.
QByteArray spoiled(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame.back() ^ 0xff);
    return frame;
}

QString hexOf(const QByteArray &bytes)
{
    QStringList out;
    for (char c : bytes)
        out << QStringLiteral("%1").arg(quint8(c), 2, 16, QLatin1Char('0'));
    return out.join(QLatin1Char(' '));
}

const QByteArray kReadRequest = withCrc(RtuFraming::readRequest(3, 100, 3));
const QByteArray kReadReply = withCrc(frame({3, 3, 6, 0, 1, 0, 2, 0xff, 0xff}));
const QByteArray kWriteRequest = withCrc(RtuFraming::writeSingleRequest(3, 5, 1234));
const QByteArray kCodeRequest = withCrc(RtuFraming::writeSingleRequest(3, kAccessCodeRegister, kAccessCode));

class Recorder : public FrameObserver
{
public:
    void onFrame(const FrameRecord &record) override { records << record; }
    QVector<FrameRecord> records;
};

// The frames of one transaction as the port hands them on: the request, then its end.
QVector<FrameRecord> transaction(const QByteArray &request, const QByteArray &heard, int failure,
                                 int exception = 0, bool echo = false)
{
    Recorder recorder;
    FrameLog log("test");
    log.setObserver(&recorder);
    log.setMaskedRegister(kAccessCodeRegister);
    log.sent(request);
    log.received(request, heard, failure, exception, kResponseUs, echo);
    return recorder.records;
}

void feed(TrafficModel &model, const QVector<FrameRecord> &records)
{
    for (const FrameRecord &r : records)
        model.append(r);
}

void feed(TrafficMonitor &monitor, const QVector<FrameRecord> &records)
{
    for (const FrameRecord &r : records) {
        const TrafficEvent event(r);
        monitor.onDataEvent(&event);
    }
}

QString cell(const QAbstractItemModel &model, int row, int column)
{
    return model.index(row, column).data().toString();
}

QStringList column(const QAbstractItemModel &model, int column)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << cell(model, r, column);
    return out;
}

// One of each ending, and dropped bytes before a request.
QVector<FrameRecord> everyEnding()
{
    QVector<FrameRecord> all;
    all << transaction(kReadRequest, kReadReply, int(F::None));
    all << transaction(kReadRequest, withCrc(frame({3, 0x83, 2})), int(F::Exception), 2);
    all << transaction(kReadRequest, QByteArray(), int(F::NoAnswer));
    all << transaction(kReadRequest, spoiled(kReadReply), int(F::CrcError));
    all << transaction(kReadRequest, withCrc(frame({7, 3, 6, 0, 1, 0, 2, 0xff, 0xff})), int(F::WrongAddress));
    all << transaction(kReadRequest, QByteArray(), int(F::LineError));
    all << transaction(kReadRequest, kReadRequest + kReadReply, int(F::None), 0, true);
    all << transaction(kWriteRequest, withCrc(RtuFraming::writeSingleRequest(3, 5, 1000)), int(F::EchoMismatch));
    Recorder recorder;
    FrameLog log("test");
    log.setObserver(&recorder);
    log.discarded(frame({0x55, 0, 0xff}));
    all << recorder.records;
    return all;
}

// Types the path into the file dialog and accepts it.
ModalAnswerer::Action saveAs(const QString &path)
{
    return [path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name)
            return;
        name->setText(path);
        QMetaObject::invokeMethod(dialog, "accept"); // what "Сохранить" does
    };
}

// The statistics panel's labels, in their order.
QStringList statisticsShown(const QWidget &monitor)
{
    QStringList out;
    for (int i = 0; auto *label = monitor.findChild<QLabel *>(QStringLiteral("statistic%1").arg(i)); ++i)
        out << label->text();
    return out;
}

LinkStatistics someStatistics()
{
    LinkStatistics s;
    s.requests = 40;
    s.replies = 31;
    s.timeouts = 2;
    s.crcErrors = 3;
    s.exceptions = 1;
    s.wrongAddress = 4;
    s.lineErrors = 5;
    s.echoMismatches = 6;
    s.discardedBytes = 17;
    s.echoesSkipped = 9;
    s.totalResponseUs = 31 * 12500;
    s.maxResponseUs = 48260;
    return s;
}
} // namespace

class TestTrafficMonitor : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void discardedBytes();
    void accessCodeNeverShown_data();
    void accessCodeNeverShown();
    void keepsTheNewestRows_data();
    void keepsTheNewestRows();
    void pauseKeepsTheRequestForItsReply();
    void clearLeavesTheStatistics();
    void filter_data();
    void filter();
    void savedFile();
    void saveButton();
    void saveFailureIsShown();
    void statisticsLines();
    void escapeCloses();
};

void TestTrafficMonitor::rows_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("heard");
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("requestContent");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("kind");

    const QString read = "рег. 100, кол-во 3";
    const QString values = "рег. 100: 1, 2, 65535";
    const quint16 pair[] = {7, 8};
    QTest::newRow("sound read") << kReadRequest << kReadReply << int(F::None) << false << read << "3" << "3"
                                << values << "Норма" << int(TrafficRow::Reply);
    QTest::newRow("write") << kWriteRequest << kWriteRequest << int(F::None) << false << "рег. 5 = 1234" << "3"
                           << "6" << "рег. 5 = 1234" << "Норма" << int(TrafficRow::Reply);
    QTest::newRow("write of two") << withCrc(RtuFraming::writeMultipleRequest(3, 200, pair, 2))
                                  << withCrc(frame({3, 16, 0, 199, 0, 2})) << int(F::None) << false
                                  << "рег. 200: 7, 8" << "3" << "16" << "рег. 200, кол-во 2" << "Норма"
                                  << int(TrafficRow::Reply);
    QTest::newRow("exception") << kReadRequest << withCrc(frame({3, 0x83, 2})) << int(F::Exception) << false << read
                               << "3" << "3" << read << "Исключение 2: недопустимый адрес данных"
                               << int(TrafficRow::Exception);
    QTest::newRow("exception without a name") << kReadRequest << withCrc(frame({3, 0x83, 11})) << int(F::Exception)
                                              << false << read << "3" << "3" << read << "Исключение 11"
                                              << int(TrafficRow::Exception);
    QTest::newRow("time-out") << kReadRequest << QByteArray() << int(F::NoAnswer) << false << read << "3" << "3"
                              << read << "Нет ответа (тайм-аут)" << int(TrafficRow::Timeout);
    QTest::newRow("CRC error") << kReadRequest << spoiled(kReadReply) << int(F::CrcError)
                               << false << read << "3" << "3" << read << "Ошибка CRC" << int(TrafficRow::CrcError);
    QTest::newRow("cut short") << kReadRequest << frame({3, 3}) << int(F::ShortReply) << false << read << "3" << "3"
                               << read << "Ошибка CRC: ответ неполный" << int(TrafficRow::CrcError);
    QTest::newRow("wrong address") << kReadRequest << withCrc(frame({7, 3, 6, 0, 1, 0, 2, 0xff, 0xff}))
                                   << int(F::WrongAddress) << false << read << "7" << "3" << read
                                   << "Ответ с другого адреса" << int(TrafficRow::WrongAddress);
    QTest::newRow("line error") << kReadRequest << QByteArray() << int(F::LineError) << false << read << "3" << "3"
                                << read << "Ошибка линии"
                                << int(TrafficRow::LineError);
    QTest::newRow("echo skipped") << kReadRequest << kReadRequest + kReadReply << int(F::None) << true << read << "3"
                                  << "3" << values << "Норма; эхо адаптера пропущено" << int(TrafficRow::Reply);
    QTest::newRow("echo mismatch") << kWriteRequest << withCrc(RtuFraming::writeSingleRequest(3, 5, 1000))
                                   << int(F::EchoMismatch) << false << "рег. 5 = 1234" << "3" << "6"
                                   << "рег. 5 = 1234" << "Ответ не повторяет запрос" << int(TrafficRow::OtherFailure);
}

void TestTrafficMonitor::rows()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, heard);
    QFETCH(int, failure);
    QFETCH(bool, echo);
    // The rows' bytes and failures are what the port would make of them.
    int exception = 0;
    const QByteArray reply = echo ? heard.mid(request.size()) : heard;
    const F judged = RtuFraming::judge(request, reinterpret_cast<const quint8 *>(reply.constData()), reply.size(), exception);
    if (failure != int(F::LineError))
        QCOMPARE(int(judged), failure);

    TrafficModel model;
    feed(model, transaction(request, heard, failure, exception, echo));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(cell(model, 0, TrafficModel::DirectionColumn), QStringLiteral("Запрос"));
    QTEST(cell(model, 0, TrafficModel::ContentColumn), "requestContent");
    QCOMPARE(cell(model, 0, TrafficModel::ResultColumn), QString());
    QCOMPARE(cell(model, 0, TrafficModel::BytesColumn), hexOf(request));
    QCOMPARE(cell(model, 0, TrafficModel::ResponseColumn), QString());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                .match(cell(model, 0, TrafficModel::TimeColumn)).hasMatch());

    QCOMPARE(cell(model, 1, TrafficModel::DirectionColumn), QStringLiteral("Ответ"));
    QTEST(cell(model, 1, TrafficModel::AddressColumn), "address");
    QTEST(cell(model, 1, TrafficModel::FunctionColumn), "function");
    QTEST(cell(model, 1, TrafficModel::ContentColumn), "content");
    QTEST(cell(model, 1, TrafficModel::ResultColumn), "result");
    QCOMPARE(cell(model, 1, TrafficModel::ResponseColumn), heard.isEmpty() ? QString() : QStringLiteral("12.3"));
    QCOMPARE(cell(model, 1, TrafficModel::BytesColumn), hexOf(heard));
    QTEST(model.index(1, 0).data(TrafficModel::KindRole).toInt(), "kind");
}

void TestTrafficMonitor::discardedBytes()
{
    TrafficModel model;
    feed(model, everyEnding().mid(everyEnding().size() - 1));
    QCOMPARE(model.rowCount(), 1);
    const QStringList expected {QString(), "Отброшено", "", "", "3 байт до запроса", "Отброшенные байты", "", "55 00 ff"};
    for (int c = TrafficModel::DirectionColumn; c < TrafficModel::ColumnCount; ++c)
        QCOMPARE(cell(model, 0, c), expected.at(c));
    QCOMPARE(model.index(0, 0).data(TrafficModel::KindRole).toInt(), int(TrafficRow::Discarded));
    // A flood: all it dropped is counted, the newest bytes kept are shown.
    Recorder recorder;
    FrameLog log("test");
    log.setObserver(&recorder);
    log.discarded(frame({0x55, 0, 0xff}), 5000);
    feed(model, recorder.records);
    QCOMPARE(cell(model, 1, TrafficModel::ContentColumn), QStringLiteral("5000 байт до запроса"));
    QCOMPARE(cell(model, 1, TrafficModel::BytesColumn), QStringLiteral("55 00 ff"));
}

// The access code and the CRC of its frame: never in a row, never in the saved file.
void TestTrafficMonitor::accessCodeNeverShown_data()
{
    QTest::addColumn<QByteArray>("heard");
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("replyHex");
    QTest::newRow("echoed by the device") << kCodeRequest << int(F::None) << false << "03 06 00 1f ** ** ** **";
    QTest::newRow("adapter echo before the reply") << kCodeRequest + kCodeRequest << int(F::None) << true
                                                   << "03 06 00 1f ** ** ** ** 03 06 00 1f ** ** ** **";
    QTest::newRow("no reply") << QByteArray() << int(F::NoAnswer) << false << "";
    QTest::newRow("refused") << withCrc(frame({3, 0x86, 4})) << int(F::Exception) << false
                             << hexOf(withCrc(frame({3, 0x86, 4})));
}

void TestTrafficMonitor::accessCodeNeverShown()
{
    QFETCH(QByteArray, heard);
    QFETCH(int, failure);
    QFETCH(bool, echo);
    TrafficMonitor monitor;
    feed(monitor, transaction(kCodeRequest, heard, failure, failure == int(F::Exception) ? 4 : 0, echo));
    const TrafficModel &model = *monitor.model();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(cell(model, 0, TrafficModel::BytesColumn), QStringLiteral("03 06 00 1f ** ** ** **"));
    QTEST(cell(model, 1, TrafficModel::BytesColumn), "replyHex");
    const QString clearValue = hexOf(kCodeRequest.mid(4, 2));
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(cell(model, r, TrafficModel::ContentColumn), QStringLiteral("рег. 32 = ****"));
        for (int c = 0; c < TrafficModel::ColumnCount; ++c)
            for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)})
                QVERIFY(!model.index(r, c).data(role).toString().contains(clearValue));
    }
    QCOMPARE(model.index(1, TrafficModel::BytesColumn).data(Qt::ToolTipRole).toString(), cell(model, 1, TrafficModel::BytesColumn));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("traffic.txt"));
    QString error;
    QVERIFY2(monitor.saveTo(path, error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(file.readAll());
    QVERIFY(saved.contains(QStringLiteral("03 06 00 1f ** ** ** **")));
    QVERIFY(!saved.contains(QString::number(kAccessCode)));
    QVERIFY(!saved.contains(clearValue));
    QVERIFY(!saved.contains(hexOf(kCodeRequest.right(2))));  // its CRC
}

void TestTrafficMonitor::keepsTheNewestRows_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("appended");
    QTest::newRow("below the bound") << 3 << 2;
    QTest::newRow("at the bound") << 3 << 3;
    QTest::newRow("beyond the bound") << 3 << 10;
    QTest::newRow("a bound of one") << 1 << 4;
    QTest::newRow("the monitor's bound") << int(TrafficModel::kDefaultCapacity) << TrafficModel::kDefaultCapacity + 7;
}

void TestTrafficMonitor::keepsTheNewestRows()
{
    QFETCH(int, capacity);
    QFETCH(int, appended);
    TrafficModel model(capacity);
    // The tester looks at every row at every change: only the small bounds are watched by it.
    std::unique_ptr<QAbstractItemModelTester> tester;
    if (capacity < kWatchedBound)
        tester = std::make_unique<QAbstractItemModelTester>(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Recorder recorder;
    FrameLog log("test");
    log.setObserver(&recorder);
    for (int i = 1; i <= appended; ++i) {
        log.sent(withCrc(RtuFraming::readRequest(1, quint32(i), 1)));
        model.append(recorder.records.takeLast());
    }
    const int kept = qMin(capacity, appended);
    QCOMPARE(model.rowCount(), kept);
    const int first = appended - kept + 1; // the oldest rows left first
    QCOMPARE(cell(model, 0, TrafficModel::ContentColumn), QStringLiteral("рег. %1, кол-во 1").arg(first));
    QCOMPARE(cell(model, kept - 1, TrafficModel::ContentColumn), QStringLiteral("рег. %1, кол-во 1").arg(appended));
}

void TestTrafficMonitor::pauseKeepsTheRequestForItsReply()
{
    TrafficMonitor monitor;
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    auto *pause = monitor.findChild<QPushButton *>(QStringLiteral("pauseButton"));
    auto *note = monitor.findChild<QLabel *>(QStringLiteral("pausedNote"));
    QVERIFY(pause && note);
    QVERIFY(!note->isVisible());
    const QByteArray request = withCrc(RtuFraming::readRequest(3, 7, 1));
    const QVector<FrameRecord> frames = transaction(request, withCrc(frame({3, 3, 2, 0, 42})), int(F::None));
    feed(monitor, everyEnding().mid(0, 2)); // a read and its reply

    QTest::mouseClick(pause, Qt::LeftButton);
    QVERIFY(pause->isChecked());
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("Пауза: новые кадры не добавляются"));
    feed(monitor, frames.mid(0, 1)); // the request while paused
    QCOMPARE(monitor.model()->rowCount(), 2);

    QTest::mouseClick(pause, Qt::LeftButton);
    QVERIFY(!note->isVisible());
    feed(monitor, frames.mid(1)); // its reply after the pause
    QCOMPARE(monitor.model()->rowCount(), 3);
    QCOMPARE(cell(*monitor.model(), 2, TrafficModel::ContentColumn), QStringLiteral("рег. 7: 42"));
}

void TestTrafficMonitor::clearLeavesTheStatistics()
{
    TrafficMonitor monitor;
    auto *rowCount = monitor.findChild<QLabel *>(QStringLiteral("rowCount"));
    auto *clear = monitor.findChild<QPushButton *>(QStringLiteral("clearButton"));
    QVERIFY(rowCount && clear);
    const LinkStatisticsEvent counts(someStatistics());
    monitor.onDataEvent(&counts);
    feed(monitor, everyEnding());
    QCOMPARE(rowCount->text(), QStringLiteral("Строк: 17 из 5000"));
    const QStringList before = statisticsShown(monitor);
    QCOMPARE(before, LinkStatisticsText::lines(someStatistics()));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(monitor.model()->rowCount(), 0);
    QCOMPARE(monitor.table()->model()->rowCount(), 0);
    QCOMPARE(rowCount->text(), QStringLiteral("Строк: 0 из 5000"));
    QCOMPARE(statisticsShown(monitor), before);
    feed(monitor, everyEnding().mid(0, 2));
    QCOMPARE(monitor.model()->rowCount(), 2);
}

void TestTrafficMonitor::filter_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("all") << int(TrafficFilter::All) << QStringList();
    QTest::newRow("failures only")
        << int(TrafficFilter::FailuresOnly)
        << QStringList {"Исключение 2: недопустимый адрес данных", "Нет ответа (тайм-аут)", "Ошибка CRC",
                        "Ответ с другого адреса", "Ошибка линии",
                        "Ответ не повторяет запрос", "Отброшенные байты"};
    QTest::newRow("exceptions") << int(TrafficFilter::Exceptions)
                                << QStringList {"Исключение 2: недопустимый адрес данных"};
    QTest::newRow("time-outs") << int(TrafficFilter::Timeouts) << QStringList {"Нет ответа (тайм-аут)"};
    QTest::newRow("CRC errors") << int(TrafficFilter::CrcErrors) << QStringList {"Ошибка CRC"};
    QTest::newRow("wrong addresses") << int(TrafficFilter::WrongAddresses) << QStringList {"Ответ с другого адреса"};
    QTest::newRow("line errors") << int(TrafficFilter::LineErrors)
                                 << QStringList {"Ошибка линии"};
    QTest::newRow("dropped bytes") << int(TrafficFilter::DiscardedBytes) << QStringList {"Отброшенные байты"};
    QTest::newRow("echoes") << int(TrafficFilter::Echoes) << QStringList {"Норма; эхо адаптера пропущено"};
    QTest::newRow("other failures") << int(TrafficFilter::OtherFailures) << QStringList {"Ответ не повторяет запрос"};
}

// The choice applies to the rows there and to those that come after it.
void TestTrafficMonitor::filter()
{
    QFETCH(int, choice);
    QFETCH(QStringList, results);
    TrafficMonitor monitor;
    auto *box = monitor.findChild<QComboBox *>(QStringLiteral("failureFilter"));
    QVERIFY(box);
    QCOMPARE(box->count(), int(TrafficFilter::ChoiceCount));
    QCOMPARE(box->itemText(0), QStringLiteral("Все кадры"));
    feed(monitor, everyEnding());
    box->setCurrentIndex(box->findText(TrafficFilter::choiceName(TrafficFilter::Choice(choice))));
    QCOMPARE(monitor.filter()->choice(), TrafficFilter::Choice(choice));
    QAbstractItemModel *shown = monitor.table()->model();
    if (choice == TrafficFilter::All)
        results = column(*monitor.model(), TrafficModel::ResultColumn);
    QCOMPARE(column(*shown, TrafficModel::ResultColumn), results);
    feed(monitor, everyEnding());
    QCOMPARE(column(*shown, TrafficModel::ResultColumn), results + results);
}

void TestTrafficMonitor::savedFile()
{
    TrafficMonitor monitor;
    const LinkStatisticsEvent counts(someStatistics());
    monitor.onDataEvent(&counts);
    feed(monitor, everyEnding());
    monitor.filter()->setChoice(TrafficFilter::FailuresOnly);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("обмен.txt"));
    QString error;
    QVERIFY2(monitor.saveTo(path, error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QVERIFY(lines.at(0).startsWith(QStringLiteral("Монитор обмена, сохранено ")));
    QCOMPARE(lines.at(1), QStringLiteral("Показаны: Только сбои"));
    QCOMPARE(lines.at(2), QStringLiteral("Время\tНаправление\tАдрес\tФункция\tРегистры и значения\tРезультат\tОтвет, мс\tБайты (hex)"));
    const QAbstractItemModel &shown = *monitor.table()->model();
    QCOMPARE(shown.rowCount(), 7);
    for (int r = 0; r < shown.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < TrafficModel::ColumnCount; ++c)
            cells << cell(shown, r, c);
        QCOMPARE(lines.at(3 + r), cells.join(QLatin1Char('\t')));
    }
    const QStringList tail = lines.mid(3 + shown.rowCount());
    const QStringList statistics = QStringList {QString(), LinkStatisticsText::title() + ':'}
        + LinkStatisticsText::lines(someStatistics()) + QStringList {QString()};
    QCOMPARE(tail, statistics);
}

void TestTrafficMonitor::saveButton()
{
    TrafficMonitor monitor;
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    feed(monitor, everyEnding());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    ModalAnswerer answer(saveAs(path));
    QTest::mouseClick(monitor.findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(path); }, 5000));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(file.readAll());
    QCOMPARE(saved.section(QLatin1Char('\n'), 1), monitor.savedText().section(QLatin1Char('\n'), 1));
    QCOMPARE(saved.count(QLatin1Char('\n')), 3 + monitor.model()->rowCount());
}

void TestTrafficMonitor::saveFailureIsShown()
{
    TrafficMonitor monitor;
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no such folder/saved.txt"));
    QString error;
    QVERIFY(!monitor.saveTo(path, error));
    QVERIFY(!error.isEmpty());
    ModalAnswerer answer(saveAs(path));
    QTest::mouseClick(monitor.findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (box = monitor.findChild<QMessageBox *>(QStringLiteral("saveWarning"))); }, 5000));
    QVERIFY(box->text().startsWith(QStringLiteral("Не удалось сохранить файл ")));
    QVERIFY(box->text().contains(error));

    // A disk that takes only part of it: refused, and the file saved before kept whole.
    const QString earlier = dir.filePath(QStringLiteral("earlier.txt"));
    QVERIFY(DataDirectory::writeFile(earlier, "old\n"));
    {
        const WriteLimit full(8);
        QVERIFY(full.isActive());
        QVERIFY(!monitor.saveTo(earlier, error));
    }
    QFile kept(earlier);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old\n"));
}

void TestTrafficMonitor::statisticsLines()
{
    const QStringList expected {"Запросов: 40", "Ответов: 31", "Нет ответа (тайм-аутов): 2", "Ошибок CRC: 3",
                                "Исключений: 1", "Ответов с другого адреса: 4", "Ошибок линии: 5",
                                "Ответов, не повторивших запрос: 6", "Отброшено байт: 17", "Пропущено эхо: 9",
                                "Время ответа среднее: 12.5 мс", "Время ответа наибольшее: 48.3 мс"};
    QCOMPARE(LinkStatisticsText::lines(someStatistics()), expected);
    QCOMPARE(LinkStatisticsText::lines(LinkStatistics()).last(), QStringLiteral("Время ответа наибольшее: 0.0 мс"));
    TrafficMonitor monitor;
    QStringList none {"Статистики пока нет"};
    while (none.size() < expected.size())
        none << QString();
    QCOMPARE(statisticsShown(monitor), none);
    const LinkStatisticsEvent counts(someStatistics());
    monitor.onDataEvent(&counts);
    QCOMPARE(statisticsShown(monitor), expected);
}

void TestTrafficMonitor::escapeCloses()
{
    TrafficMonitor monitor;
    QSignalSpy open(&monitor, &TrafficMonitor::openChanged);
    monitor.show();
    QApplication::setActiveWindow(&monitor);
    QVERIFY(QTest::qWaitForWindowActive(&monitor));
    monitor.findChild<QTableView *>()->setFocus(); // on its rows, where the reader looks
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!monitor.isVisible());
    QCOMPARE(open.count(), 2); // opened, then closed: the exchange stops sending frames
    QCOMPARE(open.last().value(0).toBool(), false);
}

QTEST_MAIN(TestTrafficMonitor)
#include "tst_trafficmonitor.moc"
