#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// Which of the traffic model's rows the monitor shows: all, failures of any kind, or
// one kind. An echo skipped is not a failure (the reply behind it may be sound): it
// has a choice of its own.
class TrafficFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum Choice {
        All,
        FailuresOnly,
        Exceptions,
        Timeouts,
        CrcErrors,
        WrongAddresses,
        LineErrors,
        DiscardedBytes,
        Echoes,
        OtherFailures,
        ChoiceCount
    };

    explicit TrafficFilter(QObject *parent = nullptr);

    static QString choiceName(Choice choice);
    void setChoice(Choice choice);
    Choice choice() const { return current; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    Choice current = All;
};
