// The probe the window tests on a display ask: where a named widget is, whether it
// can be clicked, what it and a table cell show, and its answers over the socket.
#include "app/widgetprobe.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {
QString rectText(const QRect &r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QRect globalRect(const QWidget *w)
{
    return QRect(w->mapToGlobal(QPoint()), w->size());
}
} // namespace

class TestWidgetProbe : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void widgetPlaceAndState();
    void scrolledAwayOrHalfShown();
    void shownNamesakeWins();
    void texts_data();
    void texts();
    void cells();
    void tabsAreCells();
    void badRequests_data();
    void badRequests();
    void answersOverTheSocket();

private:
    std::unique_ptr<QWidget> window;
    QPushButton *button = nullptr;
    QScrollArea *scroll = nullptr;
    QLabel *top = nullptr;    // at the top of the scrolled column
    QLabel *bottom = nullptr; // far below what the scroll area shows
    QTableView *table = nullptr;
    QStandardItemModel *model = nullptr;
    WidgetProbe probe;
};

void TestWidgetProbe::init()
{
    window = std::make_unique<QWidget>();
    window->setObjectName(QStringLiteral("window"));
    window->setWindowTitle(QStringLiteral("Окно"));
    auto *layout = new QVBoxLayout(window.get());
    button = new QPushButton(QStringLiteral("Поиск"));
    button->setObjectName(QStringLiteral("button"));
    layout->addWidget(button);
    auto *column = new QWidget;
    auto *columnLayout = new QVBoxLayout(column);
    top = new QLabel(QStringLiteral("верх"));
    top->setObjectName(QStringLiteral("top"));
    bottom = new QLabel(QStringLiteral("низ"));
    bottom->setObjectName(QStringLiteral("bottom"));
    columnLayout->addWidget(top);
    columnLayout->addSpacing(2000);
    columnLayout->addWidget(bottom);
    scroll = new QScrollArea;
    scroll->setWidget(column);
    scroll->setFixedHeight(150);
    layout->addWidget(scroll);
    model = new QStandardItemModel(1, 2, window.get());
    model->setItem(0, 0, new QStandardItem(QStringLiteral("08.12.26 10:00:23")));
    model->setItem(0, 1, new QStandardItem(QStringLiteral("Подключение")));
    table = new QTableView;
    table->setObjectName(QStringLiteral("table"));
    table->setModel(model);
    layout->addWidget(table);
    window->resize(500, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestWidgetProbe::cleanup()
{
    window.reset();
}

void TestWidgetProbe::widgetPlaceAndState()
{
    const QString id = QString::number(window->winId());
    QCOMPARE(probe.answer(QStringLiteral("widget button")),
             QStringLiteral("OK ") + id + QLatin1Char(' ') + rectText(globalRect(button)) + QStringLiteral(" 1 1"));
    button->setEnabled(false);
    QVERIFY(probe.answer(QStringLiteral("widget button")).endsWith(QStringLiteral(" 1 0")));
    button->hide();
    QVERIFY(probe.answer(QStringLiteral("widget button")).endsWith(QStringLiteral(" 0 0")));
    QCOMPARE(probe.answer(QStringLiteral("widget window")),
             QStringLiteral("OK ") + id + QLatin1Char(' ') + rectText(globalRect(window.get())) + QStringLiteral(" 1 1"));
}

// A click must land on the widget: only the part the scroll area shows counts.
void TestWidgetProbe::scrolledAwayOrHalfShown()
{
    QVERIFY(probe.answer(QStringLiteral("widget bottom")).endsWith(QStringLiteral(" 0 1")));
    scroll->ensureWidgetVisible(bottom, 0, 0);
    QVERIFY(probe.answer(QStringLiteral("widget bottom")).endsWith(QStringLiteral(" 1 1")));
    QVERIFY(probe.answer(QStringLiteral("widget top")).endsWith(QStringLiteral(" 0 1")));

    // Scrolled so that the top label's lower half is all that shows.
    scroll->verticalScrollBar()->setValue(top->y() + top->height() / 2);
    const QStringList fields = probe.answer(QStringLiteral("widget top")).split(QLatin1Char(' '));
    QCOMPARE(fields.value(6), QStringLiteral("1"));
    const QRect part(fields.value(2).toInt(), fields.value(3).toInt(), fields.value(4).toInt(), fields.value(5).toInt());
    const QRect viewport(scroll->viewport()->mapToGlobal(QPoint()), scroll->viewport()->size());
    QVERIFY(viewport.contains(part));
    QVERIFY(globalRect(top).contains(part));
    QVERIFY(part.height() < top->height());
}

void TestWidgetProbe::shownNamesakeWins()
{
    QWidget other;
    auto *twin = new QLabel(QStringLiteral("другой"), &other);
    twin->setObjectName(QStringLiteral("top"));
    QCOMPARE(probe.answer(QStringLiteral("text top")), QStringLiteral("OK верх"));
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    top->hide();
    QCOMPARE(probe.answer(QStringLiteral("text top")), QStringLiteral("OK другой"));
}

void TestWidgetProbe::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("window title") << "window" << "OK Окно";
    QTest::newRow("button") << "button" << "OK Поиск";
    QTest::newRow("two-line label") << "label" << "OK ДВИГАТЕЛЬ\\nНЕ РАБОТАЕТ";
    QTest::newRow("line edit") << "field" << "OK 1234";
    QTest::newRow("combo box") << "combo" << "OK 19200";
    QTest::newRow("spin box with its unit") << "spin" << "OK 17 А";
    QTest::newRow("status message") << "status" << "OK Настройки записаны";
    QTest::newRow("a widget without text") << "table" << "OK ";
}

void TestWidgetProbe::texts()
{
    QFETCH(QString, name);
    auto *label = new QLabel(QStringLiteral("ДВИГАТЕЛЬ\nНЕ РАБОТАЕТ"), window.get());
    label->setObjectName(QStringLiteral("label"));
    auto *field = new QLineEdit(QStringLiteral("1234"), window.get());
    field->setObjectName(QStringLiteral("field"));
    auto *combo = new QComboBox(window.get());
    combo->setObjectName(QStringLiteral("combo"));
    combo->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
    combo->setCurrentIndex(1);
    auto *spin = new QSpinBox(window.get());
    spin->setObjectName(QStringLiteral("spin"));
    spin->setSuffix(QStringLiteral(" А"));
    spin->setValue(17);
    auto *status = new QStatusBar(window.get());
    status->setObjectName(QStringLiteral("status"));
    status->showMessage(QStringLiteral("Настройки записаны"));
    QTEST(probe.answer(QStringLiteral("text ") + name), "expected");
}

void TestWidgetProbe::cells()
{
    const QString time = model->item(0, 0)->text();
    table->setColumnWidth(0, 300);
    const QRect cell = table->visualRect(model->index(0, 0));
    QCOMPARE(probe.answer(QStringLiteral("cell table 0 0")),
             QStringLiteral("OK ") + rectText(QRect(table->viewport()->mapToGlobal(cell.topLeft()), cell.size()))
                 + QStringLiteral(" 1 ") + time);
    table->setColumnWidth(0, table->fontMetrics().horizontalAdvance(time) / 2); // the time is cut
    QVERIFY(probe.answer(QStringLiteral("cell table 0 0")).contains(QStringLiteral(" 0 ") + time));
    QCOMPARE(probe.answer(QStringLiteral("cell table 1 0")), QStringLiteral("ERR no cell 1 0"));
    QCOMPARE(probe.answer(QStringLiteral("cell button 0 0")), QStringLiteral("ERR not an item view"));
}

void TestWidgetProbe::tabsAreCells()
{
    auto *tabs = new QTabWidget;
    tabs->tabBar()->setObjectName(QStringLiteral("bar"));
    tabs->addTab(new QWidget, QStringLiteral("Первая"));
    tabs->addTab(new QWidget, QStringLiteral("Вторая"));
    window->layout()->addWidget(tabs);
    QTRY_VERIFY(tabs->isVisible() && tabs->tabBar()->tabRect(1).isValid());
    const QRect second = tabs->tabBar()->tabRect(1);
    QCOMPARE(probe.answer(QStringLiteral("cell bar 0 1")),
             QStringLiteral("OK ") + rectText(QRect(tabs->tabBar()->mapToGlobal(second.topLeft()), second.size()))
                 + QStringLiteral(" 1 Вторая"));
    QCOMPARE(probe.answer(QStringLiteral("cell bar 0 2")), QStringLiteral("ERR no tab 2"));
}

void TestWidgetProbe::badRequests_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("start");
    QTest::newRow("no such widget") << "widget nobody" << "ERR no widget nobody";
    QTest::newRow("unknown request") << "press button" << "ERR unknown request press";
    QTest::newRow("missing name") << "widget" << "ERR usage";
    QTest::newRow("cell without column") << "cell table 0" << "ERR usage";
    QTest::newRow("empty") << "" << "ERR usage";
    QTest::newRow("settle with an argument") << "settle now" << "ERR usage";
}

void TestWidgetProbe::badRequests()
{
    QFETCH(QString, request);
    QFETCH(QString, start);
    const QString answer = probe.answer(request);
    QVERIFY2(answer.startsWith(start), qPrintable(answer));
}

void TestWidgetProbe::answersOverTheSocket()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("probe"));
    QFile stale(path); // left by a program that crashed
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QVERIFY2(probe.listen(path), qPrintable(probe.errorString()));
    QLocalSocket socket;
    socket.connectToServer(path);
    QVERIFY(socket.waitForConnected(5000));
    socket.write("text button\nsettle\nwidget nobody\n");
    QByteArray answers;
    QVERIFY(QTest::qWaitFor([&] {
        answers += socket.readAll();
        return answers.count('\n') == 3;
    }, 5000));
    QCOMPARE(answers, QByteArray("OK Поиск\nOK\nERR no widget nobody\n"));
}

QTEST_MAIN(TestWidgetProbe)
#include "tst_widgetprobe.moc"
