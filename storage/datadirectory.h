#pragma once

#include <QByteArray>
#include <QString>

// Where the program keeps its files: ../data beside the program's directory, or the
// directory the user named ($ORBIX_DATA_DIR, or --data-dir through setOverride). An
// installed program (in a bin directory without ../data, or where ../data cannot be
// made) uses the user's data directory, ~/.local/share/orbix-service, the same for
// the three programs. On Windows that is %LOCALAPPDATA%\orbix-service, and a program
// without ../data uses a folder data beside itself where there is one, the user's data
// directory where not. When the directory chosen cannot be written, the files live in
// the user's data directory instead; reads then come from there too, so that what
// was saved is what is read back. Used from the interface thread only.
class DataDirectory
{
public:
    static constexpr const char *kEnvironmentVariable = "ORBIX_DATA_DIR";
    static constexpr const char *kUserDirectoryName = "orbix-service";

    // A directory given on the command line; wins over the environment. Empty clears it.
    static void setOverride(const QString &dir);

    // The directory the program prefers (it may not exist yet).
    static QString path();
    // The directory a program in programDir uses when none is named: ../data, or the
    // user's data directory for an installed program (Windows: data, else the user's).
    static QString defaultPath(const QString &programDir);
    // ~/.local/share/orbix-service (after $XDG_DATA_HOME); %LOCALAPPDATA%\orbix-service.
    static QString userPath();
    // The directory files are written to: path(), or the fallback directory when
    // path() cannot be written or created (said once on stderr). Creates nothing:
    // the savers create it when they first write.
    static QString writablePath();
    // Where to read a file: where it is written, or, before anything was written
    // to the fallback directory, the preferred directory's copy.
    static QString filePath(const QString &name);
    static QString writableFilePath(const QString &name);

    // Writes a whole file through a temporary file and a rename, creating its
    // directory first, so that a crash or a full disk never leaves half a file. A
    // device or a pipe that exists (/dev/full, /dev/stdout) is written to directly.
    static bool writeFile(const QString &path, const QByteArray &bytes);
};
