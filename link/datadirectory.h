#pragma once

#include <QString>

// Where the program keeps its files: ../data beside the program's directory,
// or $ORBIX_DATA_DIR when set (tests and side-by-side installs use it).
class DataDirectory
{
public:
    static constexpr const char *kEnvironmentVariable = "ORBIX_DATA_DIR";

    // The directory files are read from; it may not exist yet.
    static QString path();
    // A directory that exists and can be written: path(), created when missing;
    // if that is impossible, the user's application data directory (said once on stderr).
    static QString writablePath();
    static QString filePath(const QString &name);
    static QString writableFilePath(const QString &name);

private:
    static QString fallbackPath();
};
