#pragma once

#include <QTextBrowser>

// The user guide inside the program: the Markdown guide in the window's language with
// its pictures, its links between sections and to the guide in the other language.
// A window of its own, kept and shown again by the help button.
class HelpViewer : public QTextBrowser
{
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);

    // Shows the guide at path, its pictures taken from beside it.
    void openGuide(const QString &path);
    // Says where the guide was looked for when there is none.
    void showNotFound(const QString &programDir);
    // The anchor a link to a heading names, as Markdown editors write it: lower case,
    // punctuation dropped, spaces as '-'.
    static QString headingAnchor(const QString &heading);

private:
    void onSourceChanged(const QUrl &source);
    void addHeadingAnchors();
};
