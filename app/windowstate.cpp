#include "app/windowstate.h"

#include "storage/datadirectory.h"

#include <QFile>

const QMargins WindowState::kFrameAllowance(4, 32, 4, 4);

namespace {
// The watch tab's state panel, plots and protocol; a split of two parts is of an
// older layout and gives the default.
constexpr int kSplitParts = 3;
// Anything larger is no screen of today; a damaged number, not a place.
constexpr int kLargestCoordinate = 100000;

bool plausible(int value, int least)
{
    return value >= least && value <= kLargestCoordinate;
}

QList<int> numbers(const QByteArray &text, bool *ok)
{
    QList<int> out;
    *ok = true;
    for (const QByteArray &word : text.split(','))
        out << word.trimmed().toInt(ok);
    return out;
}

QRect rectFrom(const QByteArray &text)
{
    bool ok = false;
    const QList<int> n = numbers(text, &ok);
    if (!ok || n.size() != 4 || !plausible(n[0], -kLargestCoordinate) || !plausible(n[1], -kLargestCoordinate)
        || !plausible(n[2], 1) || !plausible(n[3], 1))
        return QRect();
    return QRect(n[0], n[1], n[2], n[3]);
}

QList<int> splitFrom(const QByteArray &text)
{
    bool ok = false;
    const QList<int> n = numbers(text, &ok);
    if (!ok || n.size() != kSplitParts)
        return {};
    for (int h : n)
        if (!plausible(h, 1))
            return {};
    return n;
}

// The start of a span of this length moved into [low, high], the low end winning
// when the span is longer.
int clampStart(int start, int length, int low, int high)
{
    return qMax(low, qMin(start, high - length + 1));
}
} // namespace

WindowState WindowState::fromText(const QByteArray &text)
{
    WindowState state;
    for (const QByteArray &line : text.split('\n')) {
        const int eq = line.indexOf('=');
        if (line.startsWith('#') || eq < 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "geometry")
            state.geometry = rectFrom(value);
        else if (key == "maximized")
            state.maximized = value == "1";
        else if (key == "watchSplit")
            state.watchSplit = splitFrom(value);
    }
    return state;
}

QByteArray WindowState::toText() const
{
    QByteArray text = "# The main window as it was left: x, y, width, height without frame;\n"
                      "# the heights of the watch tab's state panel, plots and protocol.\n";
    if (geometry.isValid())
        text += "geometry=" + QByteArray::number(geometry.x()) + ',' + QByteArray::number(geometry.y()) + ','
            + QByteArray::number(geometry.width()) + ',' + QByteArray::number(geometry.height()) + '\n';
    text += QByteArray("maximized=") + (maximized ? '1' : '0') + '\n';
    if (watchSplit.size() == kSplitParts) {
        QList<QByteArray> heights;
        for (int h : watchSplit)
            heights << QByteArray::number(h);
        text += "watchSplit=" + heights.join(',') + '\n';
    }
    return text;
}

WindowState WindowState::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WindowState();
    return fromText(file.read(kLargestCoordinate)); // a few lines; more is no state of ours
}

bool WindowState::save(const QString &path) const
{
    return DataDirectory::writeFile(path, toText());
}

QRect WindowState::placement(const QRect &available, const QSize &minimum) const
{
    const QRect area = available.marginsRemoved(kFrameAllowance);
    const QSize wanted = geometry.isValid() ? geometry.size() : QSize(kDefaultWidth, kDefaultHeight);
    const QSize size = wanted.boundedTo(area.size()).expandedTo(minimum);
    QRect placed(QPoint(), size);
    if (geometry.isValid())
        placed.moveTopLeft(geometry.topLeft());
    else
        placed.moveCenter(area.center());
    placed.moveTopLeft(QPoint(clampStart(placed.x(), size.width(), area.left(), area.right()),
                              clampStart(placed.y(), size.height(), area.top(), area.bottom())));
    return placed;
}
