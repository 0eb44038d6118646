// SPDX-License-Identifier: MIT
// The user's manual in its window: F1 opens it at the section of the window it was pressed in,
// every window's section exists in the manual, the chapters render with their tables and
// images, and the manual is found where the package installs it or in the source tree.
#include "app/helpwindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextTable>
#include <filesystem>

#include "app/application.h"
#include "app/mainwindow.h"
#include "results/gui/resultswindow.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"

using namespace dovex;
using namespace dovex::app;
namespace fs = std::filesystem;

namespace {
const QString kManual = QStringLiteral(DOVEX_MANUAL_DIR);

void Touch(const QString& file) {
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# x\n");
}
}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void manualFolderInstalledBeforeSource();
    void everyWindowsSectionIsAHeadingOfItsChapter();
    void chaptersRenderWithTablesAndImages();
    void missingManualIsSaidInTheWindow();
    void f1OpensTheSectionOfTheWindow();
};

void HelpWindowTest::manualFolderInstalledBeforeSource() {
    QTemporaryDir tmp;
    const QString bin = tmp.filePath("usr/bin");
    const QString installed = tmp.filePath("usr/share/doc/dovex/manual");
    const QString source = tmp.filePath("src/docs/manual");
    QDir().mkpath(bin);
    // Neither holds the manual.
    QCOMPARE(FindManualDir(bin, source), QString());
    Touch(source + "/index.md");
    QCOMPARE(FindManualDir(bin, source), QDir(source).absolutePath());
    Touch(installed + "/index.md");
    QCOMPARE(FindManualDir(bin, source), QDir(installed).absolutePath());
    QCOMPARE(FindManualDir(bin, QString()), QDir(installed).absolutePath());
}

// A heading renamed in the manual without the table of topics would make F1 open the chapter
// at its top instead of the window's section.
void HelpWindowTest::everyWindowsSectionIsAHeadingOfItsChapter() {
    HelpWindow w(kManual);
    w.resize(1000, 600);
    w.show();
    for (const HelpTopic& t : HelpTopics()) {
        QVERIFY2(w.showTopic(QString::fromLatin1(t.file), QString::fromUtf8(t.heading)),
                 t.windowClass);
        QCOMPARE(w.currentFile(), QString::fromLatin1(t.file));
        if (*t.heading) {
            const QTextCursor c = w.browser()->textCursor();
            QCOMPARE(c.block().text().trimmed(), QString::fromUtf8(t.heading));
            QVERIFY(c.block().blockFormat().headingLevel() > 0);
        }
    }
    // A section further down a long chapter is scrolled to, not left at the top.
    QVERIFY(
        w.showTopic("02-usage.md", QStringLiteral("2.7 コマンドライン計算 dovex-calc と一括計算")));
    QTest::qWait(10);
    QVERIFY(w.browser()->verticalScrollBar()->value() > 0);
    QVERIFY(!w.showTopic("02-usage.md", QStringLiteral("ない見出し")));
}

void HelpWindowTest::chaptersRenderWithTablesAndImages() {
    HelpWindow w(kManual);
    w.show();
    const QStringList chapters = QDir(kManual).entryList({"*.md"}, QDir::Files, QDir::Name);
    QCOMPARE(chapters.size(), 8);
    int images = 0;
    for (const QString& c : chapters) {
        QVERIFY2(w.showTopic(c), qPrintable(c));
        QTextDocument* doc = w.browser()->document();
        QVERIFY2(doc->characterCount() > 200, qPrintable(c));
        // The first block is the chapter's title, a heading.
        QVERIFY2(doc->begin().blockFormat().headingLevel() == 1, qPrintable(c));
        bool table = false;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            table = table || QTextCursor(b).currentTable() != nullptr;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (!f.isImageFormat()) continue;
                const QString name = f.toImageFormat().name();
                const QVariant img = doc->resource(QTextDocument::ImageResource, QUrl(name));
                QVERIFY2(img.isValid() && !img.value<QImage>().isNull(),
                         qPrintable(c + ": image " + name));
                ++images;
            }
        }
        if (c == "06-validation.md" || c == "05-limits.md") QVERIFY2(table, qPrintable(c));
    }
    QVERIFY(images >= 5);
}

void HelpWindowTest::missingManualIsSaidInTheWindow() {
    HelpWindow w(QString{});
    QVERIFY(!w.showTopic("index.md"));
    auto* label = w.findChild<QLabel*>("ManualMissing");
    QVERIFY(label);
    QVERIFY(label->text().contains("/usr/share/doc/dovex/manual"));
}

void HelpWindowTest::f1OpensTheSectionOfTheWindow() {
    apptest::Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    Application app(dir);
    QVERIFY(app.start());
    QVERIFY(app.help());
    MainWindow* m = app.mainWindow();
    QVERIFY(m);
    QTest::keyClick(m, Qt::Key_F1);
    HelpWindow* h = app.help()->window();
    QVERIFY(h);
    QVERIFY(h->isVisible());
    QVERIFY(h->isWindow());
    QCOMPARE(h->currentFile(), QString("02-usage.md"));
    QCOMPARE(h->currentHeading(), QStringLiteral("2.2 メインウィンドウ"));
    // From the results table window: its own section, in the same help window.
    QTest::keyClick(app.resultsWindow(), Qt::Key_F1);
    QCOMPARE(app.help()->window(), h);
    QCOMPARE(h->currentHeading(), QStringLiteral("2.4 計算結果一覧表"));
    // F1 inside the manual does not reopen it elsewhere; a window without a section: contents.
    QTest::keyClick(h->browser(), Qt::Key_F1);
    QCOMPARE(h->currentHeading(), QStringLiteral("2.4 計算結果一覧表"));
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_F1);
    QCOMPARE(h->currentFile(), QString("index.md"));
    QVERIFY(h->findChild<QPushButton*>("ContentsButton"));
}

QTEST_MAIN(HelpWindowTest)
#include "helpwindow_test.moc"
