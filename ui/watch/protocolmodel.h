#pragma once

#include <QAbstractItemModel>

class ProtocolEvent;
class ProtocolList;

// The application protocol as a two-column table: time and text. Reads the main
// window's list in place and never changes it.
class ProtocolModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn = 0, TextColumn = 1, ColumnCount = 2 };
    static constexpr const char *kTimeFormat = "dd.MM.yy hh:mm:ss";

    explicit ProtocolModel(const ProtocolList *entries, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The list changed: every view re-reads it.
    void refresh();

    static const ProtocolEvent *entryAt(const QModelIndex &index);

private:
    QVariant display(const ProtocolEvent &entry, int column) const;
    static QVariant background(const ProtocolEvent &entry);

    const ProtocolList *entries;
};
