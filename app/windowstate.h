#pragma once

#include <QByteArray>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

// Where the main window was, how large, and how the watch tab was split between
// the state panel, the plots and the protocol, kept in window.conf of the data
// directory across restarts (a text file of "key=value" lines; config.dat keeps its
// fixed layout).
// A missing or damaged file, or a line of it, gives the defaults.
class WindowState
{
public:
    static constexpr const char *kFileName = "window.conf";
    // The size a window without a saved state asks for, where the screen allows.
    static constexpr int kDefaultWidth = 1100;
    static constexpr int kDefaultHeight = 820;
    // Room left for the frame a window manager puts around the window: the window
    // is placed and sized without it, which is known only once it is shown.
    static const QMargins kFrameAllowance;

    QRect geometry;        // without frame, in screen coordinates; null when unknown
    bool maximized = false;
    QList<int> watchSplit; // heights of the state panel, plots and protocol; empty when unknown

    static WindowState fromText(const QByteArray &text);
    QByteArray toText() const;
    static WindowState load(const QString &path);
    bool save(const QString &path) const;

    // Where the window opens within a screen's available area: the saved place and
    // size where they fit, else moved and shrunk into it, never below minimum;
    // without a saved place, the default size centred.
    QRect placement(const QRect &available, const QSize &minimum) const;
};
