#pragma once

#include <QString>

// The program's own preferences, one object for the whole process, kept in
// config.dat of the data directory as a big-endian QDataStream of six fields.
class AppSettings
{
public:
    static constexpr int kLinearAxis = 0;
    static constexpr int kLogarithmicAxis = 1;

    static AppSettings &instance();

    QString lastReportDir;
    bool autoConnect = false;
    qint32 currentAxisScale = kLogarithmicAxis;
    qint32 plotInterval = 60;  // seconds
    qint32 lastSpeedIndex = 6; // 19200 bit/s in the speed list
    qint32 lastPortNumber = 1;

    // A missing file gives the defaults with the report directory set to the current
    // directory; a short file reads the missing fields as 0, false or empty text.
    void load() { load(defaultPath()); }
    void load(const QString &path);
    // Written to a temporary file and renamed, so a crash never leaves half a file.
    bool save() const;
    bool save(const QString &path) const;

    static QString defaultPath();
    static constexpr const char *kFileName = "config.dat";
};
