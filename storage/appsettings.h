#pragma once

#include <QString>

// The program's own preferences, one object for the whole process, kept in
// config.dat of the data directory as a big-endian QDataStream of six fields.
class AppSettings
{
public:
    static constexpr int kLinearAxis = 0;
    static constexpr int kLogarithmicAxis = 1;
    // The longest plot span the settings dialog offers: 24 h 59 min.
    static constexpr int kMaxPlotHours = 24;
    static constexpr int kMaxPlotInterval = kMaxPlotHours * 3600 + 59 * 60;

    static AppSettings &instance();

    QString lastReportDir;
    bool autoConnect = false;
    qint32 currentAxisScale = kLogarithmicAxis;
    qint32 plotInterval = 60;  // seconds
    qint32 lastSpeedIndex = 6; // 19200 bit/s in the speed list
    qint32 lastPortNumber = 1;

    // A missing file gives the defaults with the report directory set to the current
    // directory; a short file reads the missing fields as 0, false or empty text.
    // Values outside what the program can produce (a damaged or hand-edited file)
    // are brought into range.
    void load() { load(defaultPath()); }
    void load(const QString &path);
    // Written to a temporary file and renamed, so a crash never leaves half a file.
    bool save() const;
    bool save(const QString &path) const;

    static QString defaultPath();
    static constexpr const char *kFileName = "config.dat";

private:
    void clamp();
};
