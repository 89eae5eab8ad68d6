#include "link/linefactory.h"

#include "link/modbustcpline.h"
#include "link/rfc2217line.h"
#include "link/tcpline.h"

#ifdef Q_OS_WIN
#include "link/win32serialline.h"
using LocalLine = Win32SerialLine;
#else
#include "link/serialline.h"
using LocalLine = SerialLine;
#endif

std::unique_ptr<Line> LineFactory::create(const QByteArray &name)
{
    if (name.startsWith(Line::kTcpScheme))
        return std::make_unique<TcpLine>(name);
    if (name.startsWith(Line::kRfc2217Scheme))
        return std::make_unique<Rfc2217Line>(name);
    if (name.startsWith(Line::kModbusTcpScheme))
        return std::make_unique<ModbusTcpLine>(name);
    return std::make_unique<LocalLine>(name);
}
