#pragma once

#include <QTableView>

class ProtocolEvent;
class ProtocolList;
class ProtocolModel;

// The application protocol table; a double click on an entry shows its details.
class TableProtocol : public QTableView
{
    Q_OBJECT
public:
    explicit TableProtocol(const ProtocolList *entries, QWidget *parent = nullptr);

    ProtocolModel *protocolModel() const { return protocol; }
    void refresh();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    ProtocolModel *protocol;
};
