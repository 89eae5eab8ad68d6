#include "app/helpviewer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
constexpr int kHelpWidth = 900;
constexpr int kHelpHeight = 700;
} // namespace

HelpViewer::HelpViewer(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("helpViewer"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Руководство пользователя"));
    resize(kHelpWidth, kHelpHeight);
    setOpenExternalLinks(true); // web addresses go to the browser; the guide's own files stay here
    auto *close = new QShortcut(QKeySequence::Cancel, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    connect(this, &QTextBrowser::sourceChanged, this, &HelpViewer::onSourceChanged);
}

void HelpViewer::openGuide(const QString &path)
{
    const QFileInfo guide(path);
    setSearchPaths({guide.absolutePath()});
    setSource(QUrl::fromLocalFile(guide.absoluteFilePath()), QTextDocument::MarkdownResource);
}

void HelpViewer::showNotFound(const QString &programDir)
{
    setPlainText(tr("Руководство пользователя не найдено: его нет ни рядом с программой, ни среди установленных "
                    "документов (%1).")
                     .arg(QDir::toNativeSeparators(programDir)));
}

QString HelpViewer::headingAnchor(const QString &heading)
{
    QString anchor;
    for (const QChar c : heading.trimmed()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            anchor += c.toLower();
        else if (c.isSpace())
            anchor += QLatin1Char('-');
    }
    return anchor;
}

// The Markdown reader gives headings no names: links to them find them by these.
void HelpViewer::onSourceChanged(const QUrl &source)
{
    addHeadingAnchors();
    if (!source.fragment().isEmpty())
        scrollToAnchor(source.fragment());
}

void HelpViewer::addHeadingAnchors()
{
    QHash<QString, int> seen; // a repeated heading is "name-1", "name-2", as the editors number them
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0)
            continue;
        QString anchor = headingAnchor(block.text());
        const int repeats = seen.value(anchor, 0);
        seen.insert(anchor, repeats + 1);
        if (repeats > 0)
            anchor += QLatin1Char('-') + QString::number(repeats);
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({anchor});
        cursor.mergeCharFormat(format);
    }
}
