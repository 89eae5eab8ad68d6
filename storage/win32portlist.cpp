#include "storage/win32portlist.h"

#include <QStringList>

#include <windows.h>
// The GUID of the ports' device class is defined here, not taken from a library.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <vector>

namespace {

// Registry names and COM names are short; a value longer than this is no port's.
constexpr DWORD kNameChars = 256;

QString registryText(HKEY key, const wchar_t *name)
{
    std::vector<wchar_t> text(kNameChars + 1, L'\0');
    DWORD bytes = kNameChars * sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(text.data()), &bytes) != ERROR_SUCCESS
        || type != REG_SZ)
        return QString();
    return QString::fromWCharArray(text.data()); // the terminator is there, put or not
}

QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    std::vector<wchar_t> text(kNameChars + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, reinterpret_cast<BYTE *>(text.data()),
                                           kNameChars * sizeof(wchar_t), nullptr))
        return QString();
    return QString::fromWCharArray(text.data());
}

} // namespace

QMap<QString, QString> Win32PortList::descriptions()
{
    QMap<QString, QString> out;
    const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return out;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString name = registryText(key, L"PortName");
        RegCloseKey(key);
        QStringList parts {deviceProperty(set, device, SPDRP_DEVICEDESC)};
        const QString maker = deviceProperty(set, device, SPDRP_MFG);
        if (!maker.isEmpty() && maker != parts.first())
            parts << maker;
        parts.removeAll(QString());
        if (!name.isEmpty() && !parts.isEmpty())
            out.insert(name.toUpper(), parts.join(QStringLiteral(", ")));
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

QList<PortMap::Candidate> Win32PortList::present()
{
    QList<PortMap::Candidate> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out; // no serial port at all: the key is made by the first one
    const QMap<QString, QString> described = descriptions();
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> driverName(kNameChars + 1, L'\0');
        DWORD chars = kNameChars;
        if (RegEnumValueW(key, i, driverName.data(), &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const QString port = registryText(key, driverName.data()).trimmed(); // "COM3"
        if (port.isEmpty())
            continue;
        const QString driver = QString::fromWCharArray(driverName.data(), int(chars)); // "\Device\Serial0"
        out.append({port, QLatin1String(PortMap::kWindowsDevicePrefix) + port, described.value(port.toUpper(), driver)});
    }
    RegCloseKey(key);
    return out;
}
