#include "ui/mnemonics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>

namespace {

// What one window shows at once: its tab widgets' tabs and the buttons outside their
// pages. Each page is a scope of its own inside it.
struct Scope
{
    QList<QTabWidget *> tabs;
    QList<QPushButton *> buttons;
    QList<QWidget *> pages;
};

void collect(QWidget *parent, Scope &scope)
{
    for (QObject *object : parent->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (!child || child->isWindow()) // dialogs have letters of their own
            continue;
        if (auto *button = qobject_cast<QPushButton *>(child))
            scope.buttons << button;
        if (auto *tabs = qobject_cast<QTabWidget *>(child)) {
            scope.tabs << tabs;
            for (int i = 0; i < tabs->count(); ++i)
                scope.pages << tabs->widget(i);
            continue;
        }
        collect(child, scope);
    }
}

void assignScope(QWidget *root, QSet<QChar> used)
{
    Scope scope;
    collect(root, scope);
    // Letters already given are kept, whatever the order the texts are met in.
    for (QTabWidget *tabs : scope.tabs)
        for (int i = 0; i < tabs->count(); ++i)
            used.insert(Mnemonics::mnemonicOf(tabs->tabText(i)));
    for (QPushButton *button : scope.buttons)
        used.insert(Mnemonics::mnemonicOf(button->text()));
    for (QTabWidget *tabs : scope.tabs)
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setTabText(i, Mnemonics::withMnemonic(tabs->tabText(i), used));
    for (QPushButton *button : scope.buttons)
        if (!button->text().isEmpty())
            button->setText(Mnemonics::withMnemonic(button->text(), used));
    for (QWidget *page : scope.pages)
        assignScope(page, used);
}

// Where the mark of the mnemonic stands, or -1; "&&" is an ampersand shown.
int markAt(const QString &text)
{
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return i;
        ++i;
    }
    return -1;
}

// The first letter of the text's alphabet (Cyrillic or Latin), then digit, not used.
QChar freeLetter(const QString &text, const QSet<QChar> &used)
{
    const bool cyrillic = std::any_of(text.begin(), text.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
    const QString alphabet = cyrillic ? QStringLiteral("абвгдежзиклмнопрстуфхцчшэюя") : QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    for (const QString &candidates : {alphabet, QStringLiteral("123456789")})
        for (const QChar c : candidates)
            if (!used.contains(c))
                return c;
    return QChar();
}

} // namespace

Mnemonics::Mnemonics(QWidget *w) : QObject(w), window(w)
{
    assign(window);
    qApp->installEventFilter(this);
}

void Mnemonics::assign(QWidget *window)
{
    assignScope(window, {});
}

QChar Mnemonics::mnemonicOf(const QString &text)
{
    const int at = markAt(text);
    return at < 0 ? QChar() : text.at(at + 1).toLower();
}

QString Mnemonics::shown(const QString &text)
{
    QString out = text;
    const int at = markAt(out);
    if (at >= 0)
        out.remove(at, 1);
    return out.replace(QLatin1String("&&"), QLatin1String("&"));
}

QString Mnemonics::withMnemonic(const QString &text, QSet<QChar> &used)
{
    if (!mnemonicOf(text).isNull())
        return text;
    for (const bool wordStartsOnly : {true, false})
        for (int i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (!c.isLetterOrNumber() || used.contains(c.toLower()))
                continue;
            if (wordStartsOnly && i > 0 && text.at(i - 1).isLetterOrNumber())
                continue;
            used.insert(c.toLower());
            return text.left(i) + QLatin1Char('&') + text.mid(i);
        }
    // Every letter of the text taken: one from its alphabet follows it in brackets.
    const QChar letter = freeLetter(text, used);
    if (letter.isNull())
        return text;
    used.insert(letter);
    return text + QStringLiteral(" (&") + letter.toUpper() + QLatin1Char(')');
}

bool Mnemonics::eventFilter(QObject *watched, QEvent *event)
{
    // Alt alone comes before the letter: the texts changed since get theirs in time.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Alt
        && !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == window)
            assign(window);
    }
    return QObject::eventFilter(watched, event);
}
