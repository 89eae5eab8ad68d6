#include "ui/watch/tableprotocol.h"

#include "ui/watch/detaildialog.h"
#include "ui/watch/protocolmodel.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

namespace {
constexpr int kRowHeight = 16;
} // namespace

TableProtocol::TableProtocol(const ProtocolList *entries, QWidget *parent)
    : QTableView(parent), protocol(new ProtocolModel(entries, this))
{
    setModel(protocol);
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setMinimumSectionSize(kRowHeight); // the style's minimum would widen the rows
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    fitColumns(false);
}

void TableProtocol::refresh()
{
    protocol->refresh();
    fitColumns(true);
}

void TableProtocol::mouseDoubleClickEvent(QMouseEvent *event)
{
    const ProtocolEvent *entry = ProtocolModel::entryAt(indexAt(event->pos()));
    if (!entry)
        return;
    DetailDialog dialog(*entry, this);
    dialog.exec();
}

void TableProtocol::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitColumns(false); // a smaller font gives the least widths back
}

void TableProtocol::fitColumns(bool keepWider)
{
    const int time = qMax(timeCellWidth(), sizeHintForColumn(ProtocolModel::TimeColumn));
    fitColumn(ProtocolModel::TimeColumn, kTimeColumnWidth, time, keepWider);
    fitColumn(ProtocolModel::TextColumn, kTextColumnWidth, sizeHintForColumn(ProtocolModel::TextColumn), keepWider);
}

int TableProtocol::timeCellWidth() const
{
    // Every date and time field is two digits: the widest digit everywhere is the worst case.
    const QFontMetrics metrics = fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    QString sample = QString::fromLatin1(ProtocolModel::kTimeFormat);
    for (QChar &c : sample)
        if (c.isLetter())
            c = widest;
    // The item views' text margin on each side, and the grid line.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return metrics.horizontalAdvance(sample) + 2 * margin + (showGrid() ? 1 : 0);
}

void TableProtocol::fitColumn(int column, int least, int needed, bool keepWider)
{
    int width = qMax(least, qMax(needed, horizontalHeader()->sectionSizeHint(column)));
    if (keepWider)
        width = qMax(width, columnWidth(column));
    setColumnWidth(column, width);
}
