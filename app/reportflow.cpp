#include "app/reportflow.h"

#include "app/mainwindow.h"
#include "report/reportbuilder.h"
#include "report/reportdata.h"
#include "report/reportfiller.h"
#include "ui/savefolder.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

ReportFlow::ReportFlow(MainWindow &w) : window(w) {}

QString ReportFlow::proposedFileName()
{
    return SaveFolder::current() + tr("/Отчёт ")
        + QDateTime::currentDateTime().toString(QLatin1String(SaveFolder::kDateFormat)) + QStringLiteral(".pdf");
}

void ReportFlow::run()
{
    if (!window.currentDevice())
        return;
    const QString fileName =
        QFileDialog::getSaveFileName(&window, tr("Сохранить отчёт"), proposedFileName(), tr("PDF (*.pdf)"));
    if (fileName.isEmpty())
        return;
    window.showStatus(tr("Генерация отчёта..."), kStartStatusMs);
    window.statusBar()->repaint(); // the document is built before the event loop runs again
    if (!write(fileName))
        return;
    SaveFolder::remember(fileName);
    window.showStatus(tr("Отчёт готов"), kReadyStatusMs);
}

bool ReportFlow::write(const QString &fileName)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportData reportData = data();
    ReportBuilder builder(fileName, reportData);
    const bool written = builder.build();
    QApplication::restoreOverrideCursor();
    if (!written)
        warnNotWritten(fileName, builder.failureText());
    return written;
}

ReportData ReportFlow::data() const
{
    return ReportFiller::fill(ReportFiller::of(window.connection(), window.currentAxis()));
}

// Not modal to the event flow: the warning waits while the connection goes on.
void ReportFlow::warnNotWritten(const QString &fileName, const QString &reason)
{
    window.showStatus(tr("Отчёт не записан"), 0);
    const QString text = tr("Отчёт не записан в файл %1:\n%2").arg(QDir::toNativeSeparators(fileName), reason);
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Отчёт"), text, QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("reportWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
