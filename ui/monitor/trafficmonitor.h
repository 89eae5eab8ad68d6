#pragma once

#include "link/linkstatistics.h"
#include "ui/dataeventlistener.h"

#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class TrafficFilter;
class TrafficModel;

// The window "Монитор обмена": every frame of the connection's line, one row each,
// with pause, clear, a filter by failure and "Сохранить...", and the line's statistics.
// It takes the frames and statistics from data events (types 19 and 20) and never
// holds up the exchange: the events are queued to it, the rows are bounded.
class TrafficMonitor : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TrafficMonitor(QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;
    void showStatistics(const LinkStatistics &statistics);

    // The rows as shown (the filter applied), then the statistics: what "Сохранить..." writes.
    QString savedText() const;
    // Writes savedText() as UTF-8; false and the reason in error when it cannot.
    bool saveTo(const QString &path, QString &error) const;

    TrafficModel *model() const { return traffic; }
    TrafficFilter *filter() const { return shown; }
    QTableView *table() const { return view; }

signals:
    // The window was opened (shown) or closed (hidden); minimising is neither.
    void openChanged(bool open);

public slots:
    void setPaused(bool paused);
    void clear();
    void save();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *setupControls();
    void connectControls();
    QWidget *setupStatistics();
    void showStatisticsLines(const QStringList &lines);
    void setupTable();
    void fitColumns();
    void followNewRows();
    void updateRowCount();
    void warn(const QString &text);

    TrafficModel *traffic;
    TrafficFilter *shown;
    QTableView *view = nullptr;
    QPushButton *pauseButton = nullptr;
    QComboBox *filterBox = nullptr;
    QLabel *pausedNote = nullptr;
    QLabel *rowCount = nullptr;
    QList<QLabel *> statisticLabels; // one count each, in the order of LinkStatisticsText::lines()
    std::optional<LinkStatistics> lastStatistics;
    bool atBottom = true; // the view showed the newest row before rows came
};
