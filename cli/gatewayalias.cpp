#include "cli/gatewayalias.h"

#include "cli/commandline.h"
#include "cli/programlayout.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

int GatewayAlias::run(const QStringList &arguments)
{
    const QString program = ProgramLayout::locate(ProgramLayout::GatewayProgram);
    if (!QFileInfo(program).isExecutable())
        return CommandLine::failed(QStringLiteral("gateway is the program orbix-gateway, which is not installed "
                                                  "(the package orbix-gateway)"));
    std::vector<QByteArray> words {QFile::encodeName(program)};
    for (int i = 1; i < arguments.size(); ++i)
        words.push_back(QFile::encodeName(arguments[i]));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(nullptr); // what was printed so far is not lost with this process's image
    execv(argv[0], argv.data());
    return CommandLine::failed(QStringLiteral("cannot run %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(errno))));
}
