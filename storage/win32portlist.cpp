#include "storage/win32portlist.h"

#include <QRegularExpression>
#include <QStringList>

#include <windows.h>
// The GUID of the ports' device class is defined here, not taken from a library.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <cwchar>
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

QMap<QString, QString> Win32PortList::definedNames()
{
    QMap<QString, QString> out;
    // The list of every DOS device name grows with the drives and devices; retried larger.
    std::vector<wchar_t> names(64 * 1024, L'\0');
    DWORD chars = 0;
    while ((chars = QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()))) == 0
           && GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < 16 * 1024 * 1024)
        names.resize(names.size() * 2);
    static const QRegularExpression comName(QStringLiteral("^COM[1-9][0-9]*$"), QRegularExpression::CaseInsensitiveOption);
    for (const wchar_t *name = names.data(); name < names.data() + chars && *name; name += wcslen(name) + 1) {
        const QString text = QString::fromWCharArray(name);
        if (!comName.match(text).hasMatch())
            continue;
        std::vector<wchar_t> target(kNameChars + 1, L'\0');
        QueryDosDeviceW(name, target.data(), kNameChars);
        out.insert(text.toUpper(), QString::fromWCharArray(target.data()));
    }
    return out;
}

QList<PortMap::Candidate> Win32PortList::present()
{
    QList<PortMap::Candidate> out;
    QMap<QString, QString> defined = definedNames();
    const QMap<QString, QString> described = descriptions();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        key = nullptr; // no serial driver has entered a port: there may still be names defined
    for (DWORD i = 0; key; ++i) {
        std::vector<wchar_t> driverName(kNameChars + 1, L'\0');
        DWORD chars = kNameChars;
        if (RegEnumValueW(key, i, driverName.data(), &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const QString port = registryText(key, driverName.data()).trimmed(); // "COM3"
        if (port.isEmpty())
            continue;
        const QString driver = QString::fromWCharArray(driverName.data(), int(chars)); // "\Device\Serial0"
        out.append({port, QLatin1String(PortMap::kWindowsDevicePrefix) + port, described.value(port.toUpper(), driver)});
        defined.remove(port.toUpper());
    }
    if (key)
        RegCloseKey(key);
    for (auto it = defined.cbegin(); it != defined.cend(); ++it)
        out.append({it.key(), QLatin1String(PortMap::kWindowsDevicePrefix) + it.key(), described.value(it.key(), it.value())});
    return out;
}
