#pragma once

#include <QList>
#include <QTableView>

class ProtocolEvent;
class ProtocolModel;

// The application protocol table; a double click on an entry shows its details.
class TableProtocol : public QTableView
{
    Q_OBJECT
public:
    explicit TableProtocol(const QList<ProtocolEvent *> *entries, QWidget *parent = nullptr);

    ProtocolModel *protocolModel() const { return protocol; }
    void refresh();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    ProtocolModel *protocol;
};
