// The protocol table's model, its column widths, the view's double click and the
// detail dialog.
#include "device/appprotocolevent.h"
#include "device/crashprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/eventdata.h"
#include "device/eventprotocolevent.h"
#include "device/protocollist.h"
#include "ui/watch/detaildialog.h"
#include "ui/watch/protocolmodel.h"
#include "ui/watch/tableprotocol.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {
constexpr quint32 kTripTime = 0x12345678; // 05.09.79 22:51:36 UTC

std::unique_ptr<ProtocolEvent> crashEntry()
{
    CrashRecord record;
    record.code = 30;
    record.time = kTripTime;
    const double currents[3] = {12.5, 13.0, 12.8};
    const int voltages[3] = {380, 381, 379};
    std::copy(currents, currents + 3, record.currents);
    std::copy(voltages, voltages + 3, record.voltages);
    return std::make_unique<CrashProtocolEvent>(record);
}

std::unique_ptr<ProtocolEvent> workEntry()
{
    return std::make_unique<EventProtocolEvent>(std::make_unique<EventData>(EventData::MotorStop, kTripTime - 60));
}

// What a cell's text needs to show whole: the text and the item view's margins.
int neededWidth(const QTableView &table, const QString &text)
{
    const int margin = table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1;
    return table.fontMetrics().horizontalAdvance(text) + 2 * margin;
}

QString cell(const QGridLayout *grid, int row, int column)
{
    QLayoutItem *item = grid->itemAtPosition(row, column);
    auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr;
    return label ? label->text() : QStringLiteral("<none>");
}
} // namespace

class TestProtocolTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void emptyListShowsHeaderOnly();
    void rows_data();
    void rows();
    void invalidIndexes_data();
    void invalidIndexes();
    void cellsNotEditable();
    void columnsFitTheirTexts_data();
    void columnsFitTheirTexts();
    void narrowedColumnGrowsBack();
    void crashDetails();
    void applicationDetails();
    void doubleClickOpensDetails();
    void doubleClickOutsideRowsDoesNothing();

private:
    ProtocolList entries; // newest first: the application entry, the crash, the work record
};

void TestProtocolTable::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestProtocolTable::init()
{
    entries.insert(crashEntry());
    entries.insert(workEntry());
    entries.insert(std::make_unique<AppProtocolEvent>(AppProtocolEvent::Connected));
}

void TestProtocolTable::cleanup()
{
    entries.clear();
}

void TestProtocolTable::emptyListShowsHeaderOnly()
{
    const ProtocolList none;
    ProtocolModel model(&none);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.hasChildren());
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Время"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("Событие"));
    QVERIFY(!model.headerData(2, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestProtocolTable::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("background");

    QTest::newRow("crash entry, red") << 1 << "05.09.79 22:51:36" << "Короткое замыкание (быстродействующая защита)"
                                      << QVariant(QColor(255, 51, 0));
    QTest::newRow("work entry, yellow") << 2 << "05.09.79 22:50:36" << "Остановка двигателя"
                                        << QVariant(QColor(255, 204, 0));
    QTest::newRow("application entry, default") << 0 << "" << "Подключение" << QVariant();
}

void TestProtocolTable::rows()
{
    QFETCH(int, row);
    QFETCH(QString, time);
    QFETCH(QVariant, background);
    ProtocolModel model(&entries);
    QCOMPARE(model.rowCount(), 3);
    const QModelIndex timeCell = model.index(row, 0);
    if (!time.isEmpty())
        QCOMPARE(timeCell.data().toString(), time);
    QTEST(model.index(row, 1).data().toString(), "text");
    QCOMPARE(ProtocolModel::entryAt(timeCell), &entries.at(row));
    for (int column = 0; column < 2; ++column) {
        const QVariant brush = model.index(row, column).data(Qt::BackgroundRole);
        QCOMPARE(brush.isValid(), background.isValid());
        if (background.isValid())
            QCOMPARE(brush.value<QBrush>().color(), background.value<QColor>());
    }
    QVERIFY(!model.index(row, 0).data(Qt::ToolTipRole).isValid());
}

void TestProtocolTable::invalidIndexes_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("childOfRow");

    QTest::newRow("negative row") << -1 << 0 << false;
    QTest::newRow("row past the end") << 3 << 0 << false;
    QTest::newRow("third column") << 0 << 2 << false;
    QTest::newRow("negative column") << 0 << -1 << false;
    QTest::newRow("child of a row") << 0 << 0 << true;
}

void TestProtocolTable::invalidIndexes()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, childOfRow);
    ProtocolModel model(&entries);
    const QModelIndex parent = childOfRow ? model.index(0, 0) : QModelIndex();
    const QModelIndex index = model.index(row, column, parent);
    QVERIFY(!index.isValid());
    QVERIFY(!model.data(index).isValid());
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QVERIFY(!model.parent(model.index(0, 0)).isValid());
}

void TestProtocolTable::cellsNotEditable()
{
    TableProtocol table(&entries);
    const QModelIndex index = table.model()->index(0, 1);
    QCOMPARE(table.model()->flags(index), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(table.verticalHeader()->isHidden());
    QCOMPARE(table.verticalHeader()->defaultSectionSize(), 16);
}

void TestProtocolTable::columnsFitTheirTexts_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::newRow("small: the least widths hold") << 6 << false;
    QTest::newRow("application font") << 0 << false;
    QTest::newRow("large") << 16 << false;
    QTest::newRow("large bold") << 22 << true;
}

// No time or text is cut, whatever the font; the least widths stay.
void TestProtocolTable::columnsFitTheirTexts()
{
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    TableProtocol table(&entries);
    if (pixelSize > 0) {
        QFont font = table.font();
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        table.setFont(font);
    }
    table.refresh();
    const int timeWidth = table.columnWidth(0);
    const int textWidth = table.columnWidth(1);
    QVERIFY(timeWidth >= 100);
    QVERIFY(textWidth >= 400);
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        const QString time = table.model()->index(row, 0).data().toString();
        const QString text = table.model()->index(row, 1).data().toString();
        QVERIFY2(timeWidth >= neededWidth(table, time), qPrintable(QStringLiteral("%1 in %2 px").arg(time).arg(timeWidth)));
        QVERIFY2(textWidth >= neededWidth(table, text), qPrintable(QStringLiteral("%1 in %2 px").arg(text).arg(textWidth)));
    }
    // Any time of the format fits, not only those shown now.
    QVERIFY(timeWidth >= neededWidth(table, QStringLiteral("28.08.08 08:08:08")));
    QVERIFY(timeWidth >= static_cast<const QAbstractItemView &>(table).sizeHintForColumn(0)); // the delegate's own measure
    if (pixelSize == 6) {
        QCOMPARE(timeWidth, 100);
        QCOMPARE(textWidth, 400);
    }
}

void TestProtocolTable::narrowedColumnGrowsBack()
{
    TableProtocol table(&entries);
    const int fitted = table.columnWidth(0);
    table.setColumnWidth(0, 20);
    table.setColumnWidth(1, 700);
    table.refresh();
    QCOMPARE(table.columnWidth(0), fitted);
    QCOMPARE(table.columnWidth(1), 700); // a column the user widened stays so
}

void TestProtocolTable::crashDetails()
{
    DetailDialog dialog(entries.at(1));
    QCOMPARE(dialog.windowTitle(), QString("Подробнее"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 9);
    const QStringList expected = {
        "05.09.79 22:51:36", "Короткое замыкание (быстродействующая защита)",
        "Ток в момент срабатывания защиты (А)", "<none>",
        "Фаза A:", "12.5", "Фаза B:", "13.0", "Фаза C:", "12.8",
        "Напряжение в момент срабатывания защиты (В)", "<none>",
        "Фаза A:", "380", "Фаза B:", "381", "Фаза C:", "379"};
    QStringList actual;
    for (int row = 0; row < 9; ++row) {
        // A heading spans both columns: the second cell holds the same item.
        const bool span = grid->itemAtPosition(row, 0) == grid->itemAtPosition(row, 1);
        actual << cell(grid, row, 0) << (span ? QStringLiteral("<none>") : cell(grid, row, 1));
    }
    QCOMPARE(actual, expected);
    QCOMPARE(grid->itemAtPosition(1, 0)->alignment(), Qt::AlignHCenter);
}

void TestProtocolTable::applicationDetails()
{
    DetailDialog dialog(entries.at(0));
    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QCOMPARE(grid->count(), 2);
    QCOMPARE(cell(grid, 0, 0), entries.at(0).time().toString("dd.MM.yy hh:mm:ss"));
    QCOMPARE(cell(grid, 0, 1), QString("Подключение"));
}

void TestProtocolTable::doubleClickOpensDetails()
{
    TableProtocol table(&entries);
    table.resize(600, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QString seenTitle;
    QString seenText;
    // The dialog runs its own loop: look at it from inside and close it.
    QTimer::singleShot(0, [&] {
        if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000))
            return;
        auto *dialog = qobject_cast<DetailDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seenTitle = dialog->windowTitle();
        seenText = cell(qobject_cast<QGridLayout *>(dialog->layout()), 0, 1);
        dialog->reject();
    });
    const QRect cellRect = table.visualRect(table.model()->index(2, 1));
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, Qt::NoModifier, cellRect.center());
    QCOMPARE(seenTitle, QString("Подробнее"));
    QCOMPARE(seenText, QString("Остановка двигателя"));
    QVERIFY(table.findChildren<DetailDialog *>().isEmpty());
}

void TestProtocolTable::doubleClickOutsideRowsDoesNothing()
{
    const ProtocolList none;
    TableProtocol table(&none);
    table.resize(600, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = QApplication::activeModalWidget() != nullptr;
        if (opened)
            QApplication::activeModalWidget()->close();
    });
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCoreApplication::processEvents(); // runs the check above
    QVERIFY(!opened);
}

QTEST_MAIN(TestProtocolTable)
#include "tst_protocoltable.moc"
