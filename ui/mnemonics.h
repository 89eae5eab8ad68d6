#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class QWidget;

// Alt+letter for every push button and tab of a window. The letters are put into the
// texts as shown, already translated, so that the texts themselves stay the system's
// own. The tabs choose first, as they are always on screen; the buttons of a tab page
// differ from the tabs and from the buttons outside the pages, and may repeat those of
// another page, which is never shown beside it. A text with its own '&' keeps it; a
// text with no free letter or digit of its own gets one of its alphabet after it, in
// brackets ("Connect (&N)").
//
// Texts set later (a button that reads "Продолжить" after a stop) get their letter
// when the user next presses Alt in the window.
class Mnemonics : public QObject
{
    Q_OBJECT

public:
    // Gives the window its letters now and keeps them as its texts change.
    explicit Mnemonics(QWidget *window);

    static void assign(QWidget *window);
    // text with '&' before its first free letter or digit, word starts first, else
    // with " (&X)" after it; the letter, in lower case, joins used. A text that has a mnemonic keeps it.
    static QString withMnemonic(const QString &text, QSet<QChar> &used);
    // The letter of text's mnemonic in lower case, or a null character.
    static QChar mnemonicOf(const QString &text);
    // text as the user reads it: without the mnemonic's mark.
    static QString shown(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
};
