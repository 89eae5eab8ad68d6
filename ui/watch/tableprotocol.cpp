#include "tableprotocol.h"

#include "detaildialog.h"
#include "protocolmodel.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace {
constexpr int kTextColumnWidth = 400;
constexpr int kRowHeight = 16;
} // namespace

TableProtocol::TableProtocol(const ProtocolList *entries, QWidget *parent)
    : QTableView(parent), protocol(new ProtocolModel(entries, this))
{
    setModel(protocol);
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setColumnWidth(ProtocolModel::TextColumn, kTextColumnWidth);
    verticalHeader()->setMinimumSectionSize(kRowHeight); // the style's minimum would widen the rows
    verticalHeader()->setDefaultSectionSize(kRowHeight);
}

void TableProtocol::refresh()
{
    protocol->refresh();
}

void TableProtocol::mouseDoubleClickEvent(QMouseEvent *event)
{
    const ProtocolEvent *entry = ProtocolModel::entryAt(indexAt(event->pos()));
    if (!entry)
        return;
    DetailDialog dialog(*entry, this);
    dialog.exec();
}
