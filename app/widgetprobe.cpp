#include "app/widgetprobe.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QHostAddress>
#include <QTcpSocket>
#include <QMap>
#include <QProgressBar>
#include <QStringList>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QWidget>
#include <QWindow>

#include <qwt_plot.h>
#include <qwt_plot_item.h>
#include <qwt_text.h>

namespace {
QString rectText(const QRect &r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// The part of the widget its parents leave visible (a scroll area may hide some of
// it), in the coordinates of its window.
QRect visiblePart(const QWidget *widget)
{
    QRect part = widget->rect();
    for (const QWidget *w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget())
        part = part.translated(w->pos()) & w->parentWidget()->rect();
    return part;
}

bool onScreen(const QWidget *widget)
{
    const QWindow *window = widget->window()->windowHandle();
    return widget->isVisible() && window && window->isExposed() && !visiblePart(widget).isEmpty();
}
} // namespace

WidgetProbe::WidgetProbe(QObject *parent) : QObject(parent)
{
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            serve(socket);
        }
    });
    connect(&tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = tcp.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            serve(socket);
        }
    });
}

bool WidgetProbe::listen(const QString &path)
{
    if (path.startsWith(QLatin1String("tcp:"))) {
        bool ok = false;
        const int port = path.mid(4).toInt(&ok);
        if (!ok || port <= 0 || port > 65535) {
            error = QStringLiteral("bad port in ") + path;
            return false;
        }
        const bool listening = tcp.listen(QHostAddress::LocalHost, quint16(port));
        error = tcp.errorString();
        return listening;
    }
    QLocalServer::removeServer(path);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = server.listen(path);
    error = server.errorString();
    return listening;
}

void WidgetProbe::serve(QIODevice *socket)
{
    connect(socket, &QIODevice::readyRead, this, [this, socket] {
        while (socket->canReadLine()) {
            const QString request = QString::fromUtf8(socket->readLine()).trimmed();
            socket->write(answer(request).toUtf8() + '\n');
        }
    });
}

QString WidgetProbe::answer(const QString &request)
{
    const QStringList words = request.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = words.value(0);
    static const QMap<QString, int> kWordCounts {
        {QStringLiteral("settle"), 1}, {QStringLiteral("widget"), 2}, {QStringLiteral("text"), 2},
        {QStringLiteral("screen"), 2}, {QStringLiteral("cell"), 4}};
    if (!command.isEmpty() && !kWordCounts.contains(command))
        return QStringLiteral("ERR unknown request ") + command;
    if (command.isEmpty() || words.size() != kWordCounts.value(command))
        return QStringLiteral("ERR usage: widget|text|screen NAME, cell NAME ROW COLUMN, settle");
    if (command == QLatin1String("settle")) {
        settle();
        return QStringLiteral("OK");
    }
    QWidget *widget = find(words.at(1));
    if (!widget)
        return QStringLiteral("ERR no widget ") + words.at(1);
    if (command == QLatin1String("widget"))
        return describe(widget);
    if (command == QLatin1String("text"))
        return QStringLiteral("OK ") + oneLine(textOf(widget));
    if (command == QLatin1String("screen"))
        return screenOf(widget);
    return cell(widget, words.at(2).toInt(), words.at(3).toInt());
}

// A name may occur in several windows (a dialog's copy): the one on screen wins.
QWidget *WidgetProbe::find(const QString &name)
{
    QWidget *hidden = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        QList<QWidget *> named = top->findChildren<QWidget *>(name);
        if (top->objectName() == name)
            named.prepend(top);
        for (QWidget *w : named) {
            if (onScreen(w))
                return w;
            if (!hidden)
                hidden = w;
        }
    }
    return hidden;
}

QString WidgetProbe::describe(QWidget *widget)
{
    const bool shown = onScreen(widget);
    // A widget partly scrolled away is clicked at the middle of what is left of it.
    const QRect part = shown ? visiblePart(widget) : QRect(widget->mapTo(widget->window(), QPoint()), widget->size());
    const QRect global(widget->window()->mapToGlobal(part.topLeft()), part.size());
    return QStringLiteral("OK %1 %2 %3 %4")
        .arg(widget->window()->internalWinId())
        .arg(rectText(global))
        .arg(shown ? 1 : 0)
        .arg(widget->isEnabled() ? 1 : 0);
}

QString WidgetProbe::textOf(QWidget *widget)
{
    if (widget->isWindow())
        return widget->windowTitle();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        return field->displayText();
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget)) // with its unit, as shown
        return spin->text();
    if (auto *status = qobject_cast<QStatusBar *>(widget)) // the message the window shows now
        return status->currentMessage();
    if (auto *box = qobject_cast<QComboBox *>(widget))
        return box->currentText();
    if (auto *bar = qobject_cast<QProgressBar *>(widget))
        return bar->text();
    if (auto *plot = qobject_cast<QwtPlot *>(widget)) { // its curves' titles, the values they show
        QStringList titles;
        for (const QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve))
            titles << item->title().text();
        return titles.join(QLatin1Char('\n'));
    }
    return QString();
}

QString WidgetProbe::cell(QWidget *widget, int row, int column)
{
    if (auto *bar = qobject_cast<QTabBar *>(widget))
        return tabCell(bar, column);
    auto *view = qobject_cast<QAbstractItemView *>(widget);
    if (!view || !view->model())
        return QStringLiteral("ERR not an item view");
    const QModelIndex index = view->model()->index(row, column);
    if (!index.isValid())
        return QStringLiteral("ERR no cell %1 %2").arg(row).arg(column);
    const QRect rect = view->visualRect(index);
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.font = view->font();
    const int needed = view->itemDelegate(index)->sizeHint(option, index).width();
    const QRect global(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    return QStringLiteral("OK %1 %2 %3")
        .arg(rectText(global))
        .arg(needed <= rect.width() ? 1 : 0)
        .arg(oneLine(index.data().toString()));
}

// A tab bar's tabs are the cells of its one row.
QString WidgetProbe::tabCell(QTabBar *bar, int index)
{
    if (index < 0 || index >= bar->count())
        return QStringLiteral("ERR no tab %1").arg(index);
    const QRect rect = bar->tabRect(index);
    const QRect global(bar->mapToGlobal(rect.topLeft()), rect.size());
    return QStringLiteral("OK %1 1 %2").arg(rectText(global)).arg(oneLine(bar->tabText(index)));
}

QString WidgetProbe::screenOf(QWidget *widget)
{
    const QScreen *screen = widget->screen();
    return screen ? QStringLiteral("OK ") + rectText(screen->availableGeometry()) : QStringLiteral("ERR no screen");
}

// Input the display had sent before the request is handled, and a picture taken
// after the answer shows what it changed.
void WidgetProbe::settle()
{
    QGuiApplication::sync(); // a round trip: whatever the display sent before is queued
    QApplication::processEvents();
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible())
            top->repaint();
    QGuiApplication::sync();
}
