#include "storage/filetext.h"

#include <QCoreApplication>

namespace {
bool &englishChosen()
{
    static bool chosen = false;
    return chosen;
}
} // namespace

QString FileText::text(const char *context) const
{
    return englishChosen() ? QString::fromUtf8(english) : QCoreApplication::translate(context, russian, english);
}

void FileText::useEnglish(bool english)
{
    englishChosen() = english;
}

bool FileText::isEnglish()
{
    return englishChosen();
}
