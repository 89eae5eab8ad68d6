#pragma once

#include <QTableView>

class ProtocolEvent;
class ProtocolList;
class ProtocolModel;

// The application protocol table; a double click on an entry shows its details.
// Its columns never cut a time or an event text: they grow to what the font needs.
class TableProtocol : public QTableView
{
    Q_OBJECT
public:
    // The least widths; wider when the font needs it.
    static constexpr int kTimeColumnWidth = 100;
    static constexpr int kTextColumnWidth = 400;

    explicit TableProtocol(const ProtocolList *entries, QWidget *parent = nullptr);

    void refresh();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // keepWider: a column wider than needed (the user's choice) keeps its width.
    void fitColumns(bool keepWider);
    // Width of a cell that shows any time of the model's format whole.
    int timeCellWidth() const;
    void fitColumn(int column, int least, int needed, bool keepWider);

    ProtocolModel *protocol;
};
