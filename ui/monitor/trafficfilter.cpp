#include "ui/monitor/trafficfilter.h"

#include "ui/monitor/trafficmodel.h"
#include "ui/monitor/trafficrow.h"

TrafficFilter::TrafficFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

QString TrafficFilter::choiceName(Choice choice)
{
    switch (choice) {
    case All: return tr("Все кадры");
    case FailuresOnly: return tr("Только сбои");
    case Exceptions: return tr("Исключения");
    case Timeouts: return tr("Нет ответа");
    case CrcErrors: return tr("Ошибки CRC");
    case WrongAddresses: return tr("Ответы с другого адреса");
    case LineErrors: return tr("Ошибки линии");
    case DiscardedBytes: return tr("Отброшенные байты");
    case Echoes: return tr("Эхо адаптера");
    case OtherFailures: return tr("Прочие сбои");
    case ChoiceCount: break;
    }
    return QString();
}

void TrafficFilter::setChoice(Choice choice)
{
    current = choice;
    invalidateFilter();
}

bool TrafficFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const auto kind = TrafficRow::Kind(index.data(TrafficModel::KindRole).toInt());
    switch (current) {
    case All: return true;
    case FailuresOnly: return TrafficRow::isFailure(kind);
    case Exceptions: return kind == TrafficRow::Exception;
    case Timeouts: return kind == TrafficRow::Timeout;
    case CrcErrors: return kind == TrafficRow::CrcError;
    case WrongAddresses: return kind == TrafficRow::WrongAddress;
    case LineErrors: return kind == TrafficRow::LineError;
    case DiscardedBytes: return kind == TrafficRow::Discarded;
    case Echoes: return index.data(TrafficModel::EchoRole).toBool();
    case OtherFailures: return kind == TrafficRow::OtherFailure;
    case ChoiceCount: break;
    }
    return true;
}
