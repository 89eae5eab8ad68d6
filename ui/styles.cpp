#include "ui/styles.h"

namespace Styles {

QString green()
{
    static const QString s = QStringLiteral("background-color: #00CC00;color: #000000;border: 1px solid #000000;");
    return s;
}

QString red()
{
    static const QString s = QStringLiteral("background-color: #FF3300;color: #000000;border: 1px solid #000000;");
    return s;
}

QString yellow()
{
    static const QString s = QStringLiteral("background-color: #FFCC00;color: #000000;border: 1px solid #000000;");
    return s;
}

QString plain()
{
    static const QString s = QStringLiteral("border: 1px solid #000000;");
    return s;
}

QString progressBar()
{
    static const QString s = QStringLiteral(
        "QProgressBar:horizontal{\nborder: 1px solid gray;\nborder-radius: 5px;\nbackground: white;\npadding: 1px;\n}\n\n"
        "QProgressBar::chunk:horizontal \n{\nbackground: qlineargradient(x1: 0, y1: 0, x2: 1, y2: 1, stop: 0 #CCFFCC, "
        "stop: 0.5 #66CC66, stop: 1 #CCFFCC);\n}");
    return s;
}

} // namespace Styles
