#include "ui/monitor/trafficmonitor.h"

#include "exchange/eventdispatch.h"
#include "link/modbusport.h"
#include "ui/monitor/framedecoder.h"
#include "ui/monitor/linkstatisticstext.h"
#include "ui/monitor/trafficfilter.h"
#include "ui/monitor/trafficmodel.h"
#include "ui/styles.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSaveFile>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int kRowPadding = 4;       // above and below the text of a row
constexpr int kCellPadding = 12;     // the item view's margins and the grid line
constexpr int kContentWidth = 220;   // long lists of values are cut: their tooltip has them whole
constexpr int kStatisticsRows = 4;   // the counts fill a grid below the table, column by column
constexpr int kStatisticsSpacing = 24;
const QSize kInitialSize(1200, 640); // within a 1366 x 768 laptop screen
const QString kFieldSeparator = QStringLiteral("\t");
} // namespace

TrafficMonitor::TrafficMonitor(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , traffic(new TrafficModel(TrafficModel::kDefaultCapacity, this))
    , shown(new TrafficFilter(this))
{
    setObjectName(QStringLiteral("trafficMonitor"));
    setWindowTitle(tr("Монитор обмена"));
    shown->setSourceModel(traffic);
    setupTable();
    auto *column = new QVBoxLayout(this);
    column->addWidget(setupControls());
    column->addWidget(view, 1);
    column->addWidget(setupStatistics());
    connectControls();
    // Esc closes it, as it closes the help and the history.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    resize(kInitialSize);
    updateRowCount();
}

QWidget *TrafficMonitor::setupControls()
{
    auto *box = new QWidget(this);
    pauseButton = new QPushButton(tr("Пауза"), box);
    pauseButton->setObjectName(QStringLiteral("pauseButton"));
    pauseButton->setCheckable(true);
    auto *clearButton = new QPushButton(tr("Очистить"), box);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    filterBox = new QComboBox(box);
    filterBox->setObjectName(QStringLiteral("failureFilter"));
    for (int c = 0; c < TrafficFilter::ChoiceCount; ++c)
        filterBox->addItem(TrafficFilter::choiceName(TrafficFilter::Choice(c)), c);
    auto *saveButton = new QPushButton(tr("Сохранить..."), box);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    pausedNote = new QLabel(tr("Пауза: новые кадры не добавляются"), box);
    pausedNote->setObjectName(QStringLiteral("pausedNote"));
    pausedNote->setStyleSheet(Styles::yellow());
    pausedNote->setHidden(true);
    rowCount = new QLabel(box);
    rowCount->setObjectName(QStringLiteral("rowCount"));
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : {static_cast<QWidget *>(pauseButton), static_cast<QWidget *>(clearButton),
                       static_cast<QWidget *>(new QLabel(tr("Показывать:"), box)), static_cast<QWidget *>(filterBox),
                       static_cast<QWidget *>(saveButton)})
        row->addWidget(w);
    row->addStretch();
    row->addWidget(pausedNote);
    row->addWidget(rowCount);
    connect(clearButton, &QPushButton::clicked, this, &TrafficMonitor::clear);
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitor::save);
    return box;
}

void TrafficMonitor::connectControls()
{
    connect(pauseButton, &QPushButton::toggled, this, &TrafficMonitor::setPaused);
    connect(filterBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { shown->setChoice(TrafficFilter::Choice(filterBox->itemData(i).toInt())); });
}

QWidget *TrafficMonitor::setupStatistics()
{
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("statisticsPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(kStatisticsSpacing);
    auto *heading = new QLabel(LinkStatisticsText::title(), panel);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    const int count = LinkStatisticsText::lines(LinkStatistics()).size();
    const int columns = (count + kStatisticsRows - 1) / kStatisticsRows;
    grid->addWidget(heading, 0, 0, 1, columns);
    for (int i = 0; i < count; ++i) {
        auto *label = new QLabel(panel);
        label->setObjectName(QStringLiteral("statistic%1").arg(i));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, 1 + i % kStatisticsRows, i / kStatisticsRows);
        statisticLabels << label;
    }
    showStatisticsLines({tr("Статистики пока нет")});
    return panel;
}

void TrafficMonitor::showStatisticsLines(const QStringList &lines)
{
    for (int i = 0; i < statisticLabels.size(); ++i)
        statisticLabels[i]->setText(lines.value(i));
}

void TrafficMonitor::setupTable()
{
    view = new QTableView(this);
    view->setObjectName(QStringLiteral("trafficTable"));
    view->setModel(shown);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Rows of one height: the view never measures 5000 rows' contents.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setMinimumSectionSize(fontMetrics().height() + kRowPadding);
    view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    view->horizontalHeader()->setStretchLastSection(true);
    fitColumns();
    // Rows arrive at the bottom: the view follows them unless scrolled up to read.
    connect(shown, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = view->verticalScrollBar();
        atBottom = bar->value() == bar->maximum();
    });
    connect(shown, &QAbstractItemModel::rowsInserted, this, &TrafficMonitor::followNewRows);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(traffic, signal, this, &TrafficMonitor::updateRowCount);
    connect(traffic, &QAbstractItemModel::modelReset, this, &TrafficMonitor::updateRowCount);
}

// Widths from samples of the widest texts, not from the rows: measuring them would cost
// more the longer the monitor runs.
void TrafficMonitor::fitColumns()
{
    const QFontMetrics metrics = view->fontMetrics();
    const QList<QPair<int, QString>> samples {
        {TrafficModel::TimeColumn, QStringLiteral("00:00:00.000")},
        {TrafficModel::DirectionColumn, tr("Отброшено")},
        {TrafficModel::AddressColumn, QStringLiteral("000")},
        {TrafficModel::FunctionColumn, QStringLiteral("00")},
        {TrafficModel::ResponseColumn, QStringLiteral("0000.0")},
        // Longer results (an exception's meaning) are cut; their tooltip has them whole.
        {TrafficModel::ResultColumn, FrameDecoder::resultText(int(ModbusPort::Failure::EchoMismatch), 0)},
    };
    for (const auto &sample : samples)
        view->setColumnWidth(sample.first, qMax(metrics.horizontalAdvance(sample.second) + kCellPadding,
                                                view->horizontalHeader()->sectionSizeHint(sample.first)));
    view->setColumnWidth(TrafficModel::ContentColumn, kContentWidth);
}

void TrafficMonitor::followNewRows()
{
    if (atBottom)
        view->scrollToBottom();
}

void TrafficMonitor::updateRowCount()
{
    rowCount->setText(tr("Строк: %1 из %2").arg(traffic->rowCount()).arg(traffic->capacity()));
}

void TrafficMonitor::onDataEvent(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const TrafficEvent &e) { traffic->append(e.record()); },
        [this](const LinkStatisticsEvent &e) { showStatistics(e.statistics()); },
        [](const DataEvent &) {}});
}

void TrafficMonitor::showStatistics(const LinkStatistics &statistics)
{
    lastStatistics = statistics;
    showStatisticsLines(LinkStatisticsText::lines(statistics));
}

void TrafficMonitor::setPaused(bool paused)
{
    traffic->setPaused(paused);
    pausedNote->setHidden(!paused);
    if (pauseButton->isChecked() != paused)
        pauseButton->setChecked(paused);
}

void TrafficMonitor::clear()
{
    traffic->clear();
}

QString TrafficMonitor::savedText() const
{
    QStringList out;
    out << tr("Монитор обмена, сохранено %1").arg(QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    out << tr("Показаны: %1").arg(TrafficFilter::choiceName(shown->choice()));
    QStringList cells;
    for (int c = 0; c < TrafficModel::ColumnCount; ++c)
        cells << shown->headerData(c, Qt::Horizontal).toString();
    out << cells.join(kFieldSeparator);
    for (int r = 0; r < shown->rowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < TrafficModel::ColumnCount; ++c)
            cells << shown->index(r, c).data().toString();
        out << cells.join(kFieldSeparator);
    }
    if (lastStatistics)
        out << QString() << LinkStatisticsText::toolTip(*lastStatistics);
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool TrafficMonitor::saveTo(const QString &path, QString &error) const
{
    QSaveFile file(path);
    const QByteArray bytes = savedText().toUtf8();
    // commit() renames even when its own flush is cut short by a full disk: the bytes
    // are pushed to the file first, and a short write keeps the earlier file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(bytes) != bytes.size() || !file.flush()
        || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void TrafficMonitor::save()
{
    const QString suggested = QDir::home().filePath(
        tr("обмен_%1.txt").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"))));
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить обмен"), suggested,
                                                      tr("Текстовые файлы (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, error))
        warn(tr("Не удалось сохранить файл %1: %2").arg(QDir::toNativeSeparators(path), error));
}

// Not modal to the traffic: rows go on arriving behind the warning.
void TrafficMonitor::warn(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("saveWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TrafficMonitor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        emit openChanged(true);
}

void TrafficMonitor::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        emit openChanged(false);
}
