// The window by keyboard: the keys of its actions, and the Alt letters given to the
// texts as shown, one per tab and button of what is on screen at once.
#include "app/helpviewer.h"
#include "app/mainwindow.h"
#include "i18n/translation.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "ui/mnemonics.h"
#include "ui/search/tabsearch.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
QSet<QChar> letters(const QString &text)
{
    QSet<QChar> set;
    for (const QChar c : text)
        set.insert(c);
    return set;
}

// The letters of tabs and buttons: false when one has none or two share one.
bool addUnique(QSet<QChar> &seen, const QString &text, QStringList &bad)
{
    const QChar letter = Mnemonics::mnemonicOf(text);
    if (letter.isNull() || seen.contains(letter)) {
        bad << text;
        return false;
    }
    seen.insert(letter);
    return true;
}
} // namespace

Q_DECLARE_METATYPE(Translation::Language)

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void letterOfOneText_data();
    void letterOfOneText();
    void lettersUniqueWhereShownTogether_data();
    void lettersUniqueWhereShownTogether();
    void textSetLaterGetsItsLetterAtAlt();
    void keysTriggerTheirActions_data();
    void keysTriggerTheirActions();
    void altLetterPressesTheButton();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestKeyboard::init()
{
    dir = std::make_unique<QTemporaryDir>();
    DataDirectory::setOverride(dir->path());
    qputenv("ORBIX_PORTS", ""); // no bindings of the machine's own
    AppSettings::instance() = AppSettings();
}

void TestKeyboard::cleanup()
{
    dir.reset();
}

void TestKeyboard::letterOfOneText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("used");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first letter") << "Поиск" << "" << "&Поиск";
    QTest::newRow("next word first") << "Сетевая линия..." << "с" << "Сетевая &линия...";
    QTest::newRow("then inside a word") << "Подключиться" << "п" << "П&одключиться";
    QTest::newRow("capitals count as used") << "Отключиться" << "ок" << "О&тключиться";
    QTest::newRow("ampersand shown stays") << "Чтение && запись" << "ч" << "Чтение && &запись";
    QTest::newRow("own letter kept") << "&Готово" << "г" << "&Готово";
    QTest::newRow("digit") << "1 из 2" << "" << "&1 из 2";
    QTest::newRow("nothing free: one of its alphabet") << "ОК" << "ока" << "ОК (&Б)";
    QTest::newRow("nothing free in English") << "Connect" << "conet" << "Connect (&A)";
    QTest::newRow("no letters") << "..." << "" << "... (&A)";
    QTest::newRow("no letter at all") << "Да" << "дабвгдежзиклмнопрстуфхцчшэюя123456789" << "Да";
}

void TestKeyboard::letterOfOneText()
{
    QFETCH(QString, text);
    QFETCH(QString, used);
    QFETCH(QString, expected);
    QSet<QChar> set = letters(used);
    QCOMPARE(Mnemonics::withMnemonic(text, set), expected);
    // The text reads as it was, a letter in brackets after it at most.
    QVERIFY(Mnemonics::shown(expected).startsWith(QString(text).remove(QRegularExpression("&(?!&)")).replace("&&", "&")));
    if (expected != text)
        QVERIFY(set.contains(Mnemonics::mnemonicOf(expected)));
}

// The real window in each language: the tabs and the buttons outside the pages, with
// each page's buttons; every one has a letter, even where its own are all taken.
void TestKeyboard::lettersUniqueWhereShownTogether_data()
{
    QTest::addColumn<Translation::Language>("language");
    QTest::newRow("ru") << Translation::Russian;
    QTest::newRow("en") << Translation::English;
}

void TestKeyboard::lettersUniqueWhereShownTogether()
{
    QFETCH(Translation::Language, language);
    QVERIFY(Translation::install(language));
    MainWindow w;
    QVERIFY(Translation::install(Translation::Russian)); // the other tests' texts
    QSet<QChar> always;
    QStringList bad;
    for (int i = 0; i < w.tabs()->count(); ++i)
        addUnique(always, w.tabs()->tabText(i), bad);
    int buttons = 0;
    for (int i = 0; i < w.tabs()->count(); ++i) {
        QSet<QChar> seen = always;
        for (QPushButton *b : w.tabs()->widget(i)->findChildren<QPushButton *>())
            if (b->window() == &w && !b->text().isEmpty() && ++buttons)
                addUnique(seen, b->text(), bad);
    }
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(", ")));
    QVERIFY(buttons >= 6); // the search tab's alone
}

void TestKeyboard::textSetLaterGetsItsLetterAtAlt()
{
    QWidget window;
    auto *stop = new QPushButton("Остановить", &window);
    auto *dialog = new QDialog(&window); // a window of its own: not this one's letters
    auto *inDialog = new QPushButton("Отмена", dialog);
    new Mnemonics(&window);
    window.show();
    QCOMPARE(stop->text(), QString("&Остановить"));
    stop->setText("Продолжить");
    QTest::keyClick(stop, Qt::Key_Alt);
    QCOMPARE(stop->text(), QString("&Продолжить"));
    QCOMPARE(inDialog->text(), QString("Отмена"));
}

void TestKeyboard::keysTriggerTheirActions_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("effect");
    QTest::newRow("F1") << QKeySequence(Qt::Key_F1) << "helpAction" << 0 << "help shown";
    QTest::newRow("Ctrl+P unconnected") << QKeySequence(Qt::CTRL + Qt::Key_P) << "reportAction" << 0 << "nothing";
    QTest::newRow("Ctrl+Q") << QKeySequence(Qt::CTRL + Qt::Key_Q) << "quitAction" << 0 << "closed";
    QTest::newRow("F5 search tab") << QKeySequence(Qt::Key_F5) << "searchAction" << 0 << "search";
    QTest::newRow("F5 other tab") << QKeySequence(Qt::Key_F5) << "searchAction" << 1 << "nothing";
}

void TestKeyboard::keysTriggerTheirActions()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, action);
    QFETCH(int, tab);
    QFETCH(QString, effect);
    MainWindow w;
    w.tabs()->setTabEnabled(tab, true);
    w.tabs()->setCurrentIndex(tab);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy triggered(w.keyAction(action.toLatin1().constData()), &QAction::triggered);
    QTest::keySequence(&w, keys);
    QCOMPARE(triggered.count(), 1);
    if (effect == "help shown")
        QVERIFY(w.helpViewer() && w.helpViewer()->isVisible());
    else if (effect == "closed")
        QVERIFY(!w.isVisible());
    else if (effect == "search") // no port here: the search ends at once
        QVERIFY(QTest::qWaitFor([&] { return w.statusBar()->currentMessage().startsWith("Поиск"); }, 5000));
    else
        QVERIFY(!w.helpViewer() && !QApplication::activeModalWidget() && w.statusBar()->currentMessage().isEmpty());
    QVERIFY(w.findChild<QToolButton *>("helpButton")->toolTip().endsWith(" (F1)"));
}

void TestKeyboard::altLetterPressesTheButton()
{
    MainWindow w;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QPushButton *search = w.findChild<TabSearch *>()->searchButton();
    const QChar letter = Mnemonics::mnemonicOf(search->text()).toUpper();
    QVERIFY(!letter.isNull());
    QSignalSpy clicked(search, &QPushButton::clicked);
    for (const QTest::KeyAction press : {QTest::Press, QTest::Release})
        QTest::sendKeyEvent(press, &w, Qt::Key(letter.unicode()), QString(letter.toLower()), Qt::AltModifier);
    QVERIFY(clicked.count() == 1 || clicked.wait(2000)); // a shortcut presses the button visibly, for a moment
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
