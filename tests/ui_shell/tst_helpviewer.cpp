// The guide inside the program: found where the built program keeps it, shown as
// Markdown with every picture loaded, and its links to sections landing on them.
#include "app/helpviewer.h"
#include "app/mainwindow.h"

#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {
// Every picture the document shows, by the name its link gives.
QStringList pictures(const QTextDocument &doc)
{
    QStringList names;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                names << it.fragment().charFormat().toImageFormat().name();
    return names;
}

// The links inside the document that name a place in it.
QStringList sectionLinks(const QTextDocument &doc)
{
    QStringList links;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref().startsWith('#'))
                links << it.fragment().charFormat().anchorHref().mid(1);
    return links;
}

bool hasAnchor(const QTextDocument &doc, const QString &name)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name))
                return true;
    return false;
}

void write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}
} // namespace

Q_DECLARE_METATYPE(Translation::Language)

class TestHelpViewer : public QObject
{
    Q_OBJECT

private slots:
    void builtGuideWithItsPictures_data();
    void builtGuideWithItsPictures();
    void headingAnchors_data();
    void headingAnchors();
    void linksLandOnTheirSections();
    void missingGuideSaysWhere();
};

void TestHelpViewer::builtGuideWithItsPictures_data()
{
    QTest::addColumn<Translation::Language>("language");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::newRow("ru") << Translation::Russian << "user-guide.md" << "ОРБИКС-Сервис 11 — руководство пользователя";
    QTest::newRow("en") << Translation::English << "user-guide.en.md" << "ОРБИКС-Сервис 11 — user guide";
}

// The copy beside the built program, as the help button finds it.
void TestHelpViewer::builtGuideWithItsPictures()
{
    QFETCH(Translation::Language, language);
    QFETCH(QString, file);
    QFETCH(QString, title);
    const QString guide = MainWindow::userGuide(ORBIX_PROGRAM_DIR, language);
    QCOMPARE(QFileInfo(guide).fileName(), file);
    HelpViewer viewer;
    viewer.openGuide(guide);
    QCOMPARE(viewer.document()->begin().text(), title); // read as Markdown: the heading without its '#'
    QCOMPARE(viewer.document()->begin().blockFormat().headingLevel(), 1);
    const QStringList names = pictures(*viewer.document());
    QCOMPARE(names.size(), 5); // one a tab
    for (const QString &name : names) {
        const QVariant picture = viewer.document()->resource(QTextDocument::ImageResource, QUrl(name));
        QVERIFY2(!QImage::fromData(picture.toByteArray()).isNull() || !picture.value<QImage>().isNull(), qPrintable(name));
    }
    for (const QString &link : sectionLinks(*viewer.document()))
        QVERIFY2(hasAnchor(*viewer.document(), link), qPrintable(link));
}

void TestHelpViewer::headingAnchors_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("anchor");
    QTest::newRow("one word") << "Отчёт" << "отчёт";
    QTest::newRow("brackets and quotes") << "Поиск и подключение (вкладка «Подключение»)"
                                         << "поиск-и-подключение-вкладка-подключение";
    QTest::newRow("colon and code") << "Командная строка: orbix" << "командная-строка-orbix";
    QTest::newRow("hyphen kept") << "Токо-временная характеристика" << "токо-временная-характеристика";
    QTest::newRow("english") << "The command line: orbix" << "the-command-line-orbix";
}

void TestHelpViewer::headingAnchors()
{
    QFETCH(QString, heading);
    QFETCH(QString, anchor);
    QCOMPARE(HelpViewer::headingAnchor(heading), anchor);
}

void TestHelpViewer::linksLandOnTheirSections()
{
    QTemporaryDir dir;
    const QByteArray filler = QByteArray("Строка текста.\n\n").repeated(200);
    write(dir.filePath("guide.md"), "# Начало\n\n[В конец](#конец), [другой](other.md#там)\n\n" + filler + "## Конец\n\n"
                                        + filler + "## Конец\n");
    write(dir.filePath("other.md"), "# Другой\n\n" + filler + "## Там\n\n" + filler);
    HelpViewer viewer;
    viewer.resize(400, 300);
    viewer.show();
    viewer.openGuide(dir.filePath("guide.md"));
    QVERIFY(hasAnchor(*viewer.document(), "конец-1")); // the repeated heading numbered
    QCOMPARE(viewer.verticalScrollBar()->value(), 0);
    viewer.setSource(viewer.source().resolved(QUrl("#конец")));
    QVERIFY(QTest::qWaitFor([&] { return viewer.verticalScrollBar()->value() > 0; }, 5000));
    viewer.setSource(viewer.source().resolved(QUrl("other.md#там")));
    QCOMPARE(viewer.document()->begin().text(), QString("Другой"));
    QVERIFY(QTest::qWaitFor([&] { return viewer.verticalScrollBar()->value() > 0; }, 5000));
    viewer.backward();
    QCOMPARE(viewer.document()->begin().text(), QString("Начало"));
}

void TestHelpViewer::missingGuideSaysWhere()
{
    HelpViewer viewer;
    viewer.showNotFound("/nowhere/bin");
    QVERIFY(viewer.toPlainText().contains("/nowhere/bin"));
}

QTEST_MAIN(TestHelpViewer)
#include "tst_helpviewer.moc"
