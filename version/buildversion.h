#pragma once

#include <QString>

// What --version prints: the project's version and the commit the program was built
// from as git describes it ("a71f41e", "a71f41e-dirty" with uncommitted changes).
class BuildVersion
{
public:
    // "0.1.0 (a71f41e)"; the bare version when built outside a git work tree.
    static QString text();
    // The first line of --version: "PROGRAM 0.1.0 (a71f41e)".
    static QString line(const QString &program);
};
