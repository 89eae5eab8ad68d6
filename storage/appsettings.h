#pragma once

#include "link/rtuframing.h"

#include <QString>

// The program's own preferences, one object for the whole process, kept in
// config.dat of the data directory as a big-endian QDataStream of six fields.
class AppSettings
{
public:
    static constexpr int kLinearAxis = 0;
    static constexpr int kLogarithmicAxis = 1;
    // How replies on the line end: by their length (the default) or by 250 ms of silence.
    using Framing = RtuFraming::Framing;
    static constexpr int kMaxExtraPauseMs = 1000;
    static constexpr int kDefaultNetworkAllowanceMs = 200;
    static constexpr int kMaxNetworkAllowanceMs = 10000;
    // The longest plot span the settings dialog offers: 24 h 59 min.
    static constexpr int kMaxPlotHours = 24;
    static constexpr int kMaxPlotInterval = kMaxPlotHours * 3600 + 59 * 60;
    // The interface's language: the system's (Russian for a Russian locale) or one named.
    enum class Language : qint32 { System = 0, Russian = 1, English = 2 };

    static AppSettings &instance();

    QString lastReportDir;
    bool autoConnect = false;
    qint32 currentAxisScale = kLogarithmicAxis;
    qint32 plotInterval = 60;  // seconds
    qint32 lastSpeedIndex = 6; // 19200 bit/s in the speed list
    qint32 lastPortNumber = 1;
    // Kept in link.conf beside config.dat, whose six fields are a fixed layout.
    Framing replyFraming = Framing::Length;
    qint32 extraPauseMs = 0;
    qint32 networkAllowanceMs = kDefaultNetworkAllowanceMs; // added to read time-outs on network lines
    // Kept in history.conf: how long history keeps full resolution, then one row a minute.
    static constexpr int kDefaultHistoryFullDays = 7;
    static constexpr int kDefaultHistoryMinuteDays = 730;
    static constexpr int kMaxHistoryDays = 36500;
    qint32 historyFullDays = kDefaultHistoryFullDays;
    qint32 historyMinuteDays = kDefaultHistoryMinuteDays; // counted from now, never below historyFullDays
    // Kept in language.conf, read before the window is built: a change shows at the next start.
    Language language = Language::System;

    // A missing file gives the defaults with the report directory set to the current
    // directory; a short file reads the missing fields as 0, false or empty text.
    // Values outside what the program can produce (a damaged or hand-edited file)
    // are brought into range.
    void load();
    void load(const QString &path);
    // Written to a temporary file and renamed, so a crash never leaves half a file.
    bool save() const;
    bool save(const QString &path) const;
    // The line settings alone: "key=value" lines; a missing file or line keeps the default.
    void loadLink(const QString &path);
    bool saveLink(const QString &path) const;
    // The history periods alone: "full-days=N", "minute-days=N"; a missing file or line keeps the default.
    void loadHistory(const QString &path);
    bool saveHistory(const QString &path) const;
    // The language alone: "language=system|ru|en"; anything else reads as system.
    void loadLanguage(const QString &path);
    bool saveLanguage(const QString &path) const;

    static QString defaultPath();
    static constexpr const char *kFileName = "config.dat";
    static constexpr const char *kLinkFileName = "link.conf";
    static constexpr const char *kLanguageFileName = "language.conf";
    static constexpr const char *kHistoryFileName = "history.conf";

private:
    void clamp();
};
