// SPDX-License-Identifier: MIT
// The results table window and its dialogs driven as a user does, with a fake program around
// them and a recorder in place of the message boxes.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "results/csvfile.h"
#include "results/gui/datadialogs.h"
#include "results/gui/printpage.h"
#include "results/gui/resultscontext.h"
#include "results/gui/resultssurface.h"
#include "results/gui/resultswindow.h"
#include "sample_rows.h"
#include "ui/messenger.h"

using namespace dovex;
using namespace dovex::ui;

namespace {

class RecordingMessenger : public Messenger {
  public:
    struct Entry {
        QString text;
        Icon icon;
        bool beepBefore;
    };
    void beep() override { beeped_ = true; }
    void show(QWidget*, const QString& text, Icon icon) override { Record(text, icon); }
    bool askOkCancel(QWidget*, const QString& text, Icon icon) override {
        Record(text, icon);
        return answer;
    }
    bool askYesNo(QWidget*, const QString& text, Icon icon) override {
        Record(text, icon);
        return answer;
    }
    QList<Entry> entries;
    bool answer = true;

  private:
    void Record(const QString& text, Icon icon) {
        entries.push_back({text, icon, beeped_});
        beeped_ = false;
    }
    bool beeped_ = false;
};

class FakeContext : public ResultsContext {
  public:
    ResultsTable& table() override { return table_; }
    QString userName() const override { return name; }
    double& airWOverE() override { return air; }
    void loadRowAsCurrent(const ResultRow& row) override {
        ++loads;
        LoadRowIntoCurrent(row, cond, dose, surface);
    }
    void resetMainAfterErase() override { ++erases; }
    void resetMainAfterPrint() override { ++prints; }
    void showMainWindow() override { ++mainShown; }

    ResultsTable table_;
    QString name = QStringLiteral("放射線科 山田");
    double air = 33.97;
    ExposureConditions cond;
    DoseResult dose;
    CurrentSurface surface;
    int loads = 0, erases = 0, prints = 0, mainShown = 0;
};

struct Calc {
    ExposureConditions c;
    DoseResult d;
    CurrentSurface s;
};

Calc CalcOf(const ResultRow& r) {
    Calc k;
    LoadRowIntoCurrent(r, k.c, k.d, k.s);
    return k;
}

const QString kCapacity = QStringLiteral(
    "　これ以上の計算結果は保存できません。現在の結果表を一旦保存し、データ消去後、新たな結果表に"
    "保存して下さい。");
const QString kReadFailed = QStringLiteral("　*** このファイルは正しく読み込めません　***  ");

// Share of dark pixels on a horizontal run of a rendered page.
double InkAlong(const QImage& img, double k, double x1, double x2, double y) {
    int dark = 0, all = 0;
    for (double x = x1; x <= x2; x += 0.5, ++all) {
        QPoint p(int((x + kPageOriginXMm) * k), int((y + kPageOriginYMm) * k));
        if (qGray(img.pixel(p)) < 128) ++dark;
    }
    return all ? double(dark) / all : 0;
}

// Dark pixels inside a rectangle of the page (millimetres).
int InkIn(const QImage& img, double k, QRectF mm) {
    int dark = 0;
    QRect r(int((mm.left() + kPageOriginXMm) * k), int((mm.top() + kPageOriginYMm) * k),
            int(mm.width() * k), int(mm.height() * k));
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 160) ++dark;
    return dark;
}

}  // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT
  private:
    RecordingMessenger rec;
    FakeContext* ctx = nullptr;
    ResultsWindow* win = nullptr;
    QTemporaryDir tmp;

    void Append(const ResultRow& r) {
        Calc k = CalcOf(r);
        QVERIFY(win->appendCurrent(k.c, k.d, k.s));
    }
    QString LastText() const { return rec.entries.isEmpty() ? QString() : rec.entries.back().text; }

  private slots:
    void init() {
        setMessenger(&rec);
        rec.entries.clear();
        rec.answer = true;
        ctx = new FakeContext;
        win = new ResultsWindow(*ctx);
        win->resetForStartup();
        win->show();
    }
    void cleanup() {
        delete win;
        delete ctx;
        setMessenger(nullptr);
    }

    void startupShowsBannerWithoutGrid() {
        QCOMPARE(win->windowTitle(), QStringLiteral("  Calculation Results by Dovex"));
        QCOMPARE(win->surface()->textAt(500, 350), QStringLiteral("Dovex-SE"));
        QCOMPARE(win->surface()->textAt(500, 500), ctx->name);
        QVERIFY(!win->surface()->frameVisible());
        QVERIFY(!win->totalsButton()->isVisible());
        QCOMPARE(ctx->table_.nextRow, 1);
    }

    void firstRowReplacesBannerWithHeadingsAndGrid() {
        Append(test::TypicalRow());
        ResultsSurface* s = win->surface();
        QVERIFY(s->textAt(500, 350).isNull());
        QVERIFY(s->frameVisible());
        QVERIFY(win->totalsButton()->isVisible());
        QCOMPARE(s->textAt(10, 40), QStringLiteral("照射部位"));
        QCOMPARE(s->textAt(10, 99), QStringLiteral("腹部正面"));
        QCOMPARE(s->textAt(460, 113), QStringLiteral("―"));
        QCOMPARE(ctx->table_.nextRow, 2);
        QCOMPARE(ctx->table_.row(1), test::TypicalRow());
        QVERIFY(rec.entries.isEmpty());
    }

    void fifteenthRowWarnsAndTableRefusesMore() {
        for (int i = 1; i <= 14; ++i) Append(test::TypicalRow());
        QVERIFY(rec.entries.isEmpty());
        ResultRow last = test::TypicalRow();
        last.examPart = "胸部正面";
        Append(last);
        QCOMPARE(rec.entries.size(), 1);
        QCOMPARE(rec.entries[0].text, kCapacity);
        QVERIFY(rec.entries[0].beepBefore);
        QCOMPARE(rec.entries[0].icon, Icon::Warning);
        QCOMPARE(ctx->table_.nextRow, 16);
        QCOMPARE(win->surface()->textAt(10, 799), QStringLiteral("胸部正面"));
        Calc k = CalcOf(last);
        QVERIFY(!win->appendCurrent(k.c, k.d, k.s));
        QCOMPARE(ctx->table_.nextRow, 16);
        QCOMPARE(rec.entries.size(), 1);
    }

    void totalsSumAndRepaint() {
        for (double soft : {1.234, 2.000, 0.5}) {
            ResultRow r = test::TypicalRow();
            r.esdSoft = soft;
            r.effectiveDose = soft == 2.0 ? 0 : 0.1;
            Append(r);
        }
        win->totalsButton()->click();
        QCOMPARE(win->surface()->textAt(900, 860), QStringLiteral("3.73"));
        QCOMPARE(win->surface()->textAt(1100, 860), QStringLiteral("0.200"));
        // Totals on view follow the rows added after they were asked for: never the sums of
        // fewer rows than the table holds.
        Append(test::TypicalRow());
        QCOMPARE(win->surface()->textAt(900, 860), QStringLiteral("4.97"));
        Append(test::TypicalRow());
        QCOMPARE(win->surface()->textAt(900, 860), QStringLiteral("6.20"));
        win->totalsCommand();
        QCOMPARE(win->surface()->textAt(900, 860), QStringLiteral("6.20"));
    }

    void eraseAsksAndResets() {
        win->eraseCommand();
        QCOMPARE(LastText(), QStringLiteral("消去するデータがありません"));
        QCOMPARE(ctx->erases, 0);
        Append(test::TypicalRow());
        rec.answer = false;
        win->eraseCommand();
        QCOMPARE(LastText(), QStringLiteral("　現在表示されている計算結果は削除されます　"));
        QCOMPARE(ctx->table_.nextRow, 2);
        QCOMPARE(ctx->erases, 0);
        rec.answer = true;
        win->eraseCommand();
        QCOMPARE(ctx->erases, 1);
        QCOMPARE(ctx->table_.nextRow, 1);
        QCOMPARE(ctx->table_.row(1), ResultRow{});
        QVERIFY(!win->surface()->frameVisible());
        QCOMPARE(win->surface()->textAt(500, 350), QStringLiteral("Dovex-FV"));
        QCOMPARE(win->surface()->textAt(500, 500), ctx->name);
        QVERIFY(win->surface()->textAt(10, 99).isNull());
    }

    void bannerRedrawOnlyOnEmptyTable() {
        ctx->name = QStringLiteral("ABC");
        win->redrawBanner(QStringLiteral("Dovex-V"));
        QCOMPARE(win->surface()->textAt(500, 200), QStringLiteral("Dovex-V"));
        QCOMPARE(win->surface()->textAt(500, 350), QStringLiteral("ABC"));
        Append(test::TypicalRow());
        win->redrawBanner(QStringLiteral("Dovex-V"));
        QCOMPARE(win->surface()->textAt(10, 99), QStringLiteral("腹部正面"));
        win->sendToBackCommand();
        QCOMPARE(ctx->mainShown, 1);
    }

    void saveWritesTheFileAndReadBringsItBack() {
        win->saveCommand();
        QCOMPARE(LastText(), QStringLiteral("保存するデータがありません"));

        ResultRow a = test::TypicalRow(), b = a;
        b.examPart = "胸部,側面";
        b.arbitraryFilterName = "Mo";
        b.arbitraryFilterThickness = 0.003;
        b.effectiveDose = 0;
        b.hvl1 = 0.285;
        Append(a);
        Append(b);
        win->saveCommand();
        DataSaveDialog* d = win->saveDialog();
        QVERIFY(d->isVisible());
        QCOMPARE(d->commentBox()->text(), QString());
        d->browser()->setFolder(tmp.path());

        // Missing comment, then a name with a separator: refused, nothing written.
        d->nameBox()->setText(QStringLiteral("結果"));
        d->okButton()->click();
        QCOMPARE(LastText(), QStringLiteral("　コメントおよびファイル名を入力して下さい　"));
        QVERIFY(rec.entries.back().beepBefore);
        d->commentBox()->setText(QStringLiteral("外来, 2 件"));
        d->nameBox()->setText(QStringLiteral("../結果"));
        d->accept();
        QVERIFY(LastText().contains(QStringLiteral("ファイル名に使えない文字")));
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("../結果.csv"))));
        QVERIFY(d->isVisible());

        d->nameBox()->setText(QStringLiteral("結果"));
        d->accept();
        QCOMPARE(LastText(), QStringLiteral("　計算結果を エクセル csv形式 で保存しました　"));
        QCOMPARE(rec.entries.back().icon, Icon::None);
        QVERIFY(!d->isVisible());
        const QString path = tmp.filePath(QStringLiteral("結果.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().toStdString(), ResultsFileBytes(ctx->table_, "外来, 2 件", 33.97));
        f.close();

        // Clicking the file in the save dialog's list fills the name box without ".csv".
        win->saveCommand();
        d->browser()->refresh();
        auto found = d->browser()->files()->findItems(QStringLiteral("結果.csv"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        emit d->browser()->files()->itemClicked(found[0]);
        QCOMPARE(d->nameBox()->text(), QStringLiteral("結果"));
        // A table erased while the dialog stands open is not saved as an empty file.
        {
            ResultsTable kept = ctx->table_;
            ClearResultsTable(ctx->table_);
            d->commentBox()->setText(QStringLiteral("c"));
            d->nameBox()->setText(QStringLiteral("empty"));
            d->accept();
            QCOMPARE(LastText(), QStringLiteral("保存するデータがありません"));
            QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("empty.csv"))));
            ctx->table_ = kept;
        }
        d->cancel();

        // Read it back over a different table.
        ctx->air = 40;
        win->readCommand();
        QCOMPARE(
            LastText(),
            QStringLiteral("　ファイル読出を行うと、現在表示されている計算結果は削除されます。"));
        DataReadDialog* r = win->readDialog();
        QVERIFY(r->isVisible());
        r->browser()->setFolder(tmp.path());
        r->accept();
        QCOMPARE(LastText(), QStringLiteral("　ファイルを選択して下さい　"));
        auto items = r->browser()->files()->findItems(QStringLiteral("結果.csv"), Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        r->browser()->files()->setCurrentItem(items[0]);
        emit r->browser()->files()->itemClicked(items[0]);
        QCOMPARE(r->preview()->text(), QStringLiteral("外来, 2 件"));
        ctx->loads = 0;
        r->accept();
        QVERIFY(!r->isVisible());
        QCOMPARE(ctx->table_.nextRow, 3);
        QCOMPARE(ctx->air, 33.97);
        QCOMPARE(ctx->loads, 2);
        const ResultRow& back = ctx->table_.row(2);
        QCOMPARE(back.examPart, std::string("胸部,側面"));
        QCOMPARE(back.arbitraryFilterName, std::string("Mo"));
        QVERIFY(qAbs(back.arbitraryFilterThickness - 0.003) < 1e-12);
        QVERIFY(qAbs(back.hvl1 - 0.285) < 1e-12);
        QVERIFY(qAbs(back.inherentFilter - 0.25) < 1e-12);
        QCOMPARE(ctx->table_.row(1).examPart, std::string("腹部正面"));
        // The current values are the last row's.
        QCOMPARE(ctx->cond.examPart, std::string("胸部,側面"));
        QCOMPARE(ctx->dose.effectiveDose, 0.0);
        QCOMPARE(win->surface()->textAt(10, 149), QStringLiteral("胸部,側面"));
        QCOMPARE(win->surface()->textAt(1110, 163), QStringLiteral("―"));
    }

    void failedReadLeavesEverythingAsItWas() {
        Append(test::TypicalRow());
        Append(test::TypicalRow());
        win->totalsCommand();
        const ResultsTable before = ctx->table_;
        const int drawn = win->surface()->drawCount();
        ctx->cond.tubeVoltage = 123;
        for (const char* content :
             {"", "c\r\n 16 \r\n", "c\r\n-1\r\n", "c\r\n 1 \r\n照射部位,x\r\n"}) {
            QFile bad(tmp.filePath(QStringLiteral("bad.csv")));
            QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
            bad.write(content);
            bad.close();
            win->readCommand();
            DataReadDialog* r = win->readDialog();
            r->browser()->setFolder(tmp.path());
            auto items =
                r->browser()->files()->findItems(QStringLiteral("bad.csv"), Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            r->browser()->files()->setCurrentItem(items[0]);
            emit r->browser()->files()->itemClicked(items[0]);
            r->accept();
            // The message names the file and says why, with the line where reading stopped.
            QVERIFY2(LastText().startsWith(kReadFailed + "\nbad.csv："), qPrintable(LastText()));
            if (*content) QVERIFY2(LastText().contains("line "), qPrintable(LastText()));
            QVERIFY(rec.entries.back().beepBefore);
            QVERIFY(r->isVisible());
            QCOMPARE(ctx->table_.nextRow, before.nextRow);
            QCOMPARE(ctx->table_.row(1), before.row(1));
            QCOMPARE(ctx->table_.row(2), before.row(2));
            QCOMPARE(ctx->air, 33.97);
            QCOMPARE(ctx->loads, 0);
            QCOMPARE(ctx->cond.tubeVoltage, 123.0);
            QCOMPARE(win->surface()->drawCount(), drawn);
            QCOMPARE(win->surface()->textAt(900, 860), QStringLiteral("2.47"));
            r->cancel();
        }
    }

    // Saving under the name of a file that exists replaces it only when the user says so.
    void savingOverAnExistingFileAsks() {
        Append(test::TypicalRow());
        const QString path = tmp.filePath(QStringLiteral("既存.csv"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        win->saveCommand();
        DataSaveDialog* d = win->saveDialog();
        d->browser()->setFolder(tmp.path());
        d->commentBox()->setText(QStringLiteral("c"));
        d->nameBox()->setText(QStringLiteral("既存"));
        rec.answer = false;
        d->accept();
        QVERIFY2(LastText().contains(QStringLiteral("既存.csv」は既にあります")),
                 qPrintable(LastText()));
        QCOMPARE(rec.entries.back().icon, Icon::Question);
        QVERIFY(d->isVisible());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        f.close();
        rec.answer = true;
        d->accept();
        QCOMPARE(LastText(), QStringLiteral("　計算結果を エクセル csv形式 で保存しました　"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().toStdString(), ResultsFileBytes(ctx->table_, "c", 33.97));
    }

    void printSendsThePageThenResetsTheMainWindow() {
        win->printCommand();
        QCOMPARE(LastText(), QStringLiteral("印刷するデータがありません"));
        Append(test::TypicalRow());
        ResultRow second = test::TypicalRow();
        second.examPart = "頭部正面";
        Append(second);

        rec.answer = false;
        win->printCommand();
        QCOMPARE(LastText(), QStringLiteral("　プリンターは準備できていますか？　"));
        QCOMPARE(ctx->prints, 0);

        rec.answer = true;
        // A page that cannot be written changes nothing.
        win->setPrinterOverride(QStringLiteral("pdf:") +
                                tmp.filePath(QStringLiteral("no/such/dir/p.pdf")));
        win->printCommand();
        QVERIFY(LastText().contains(QStringLiteral("印刷できませんでした")));
        QCOMPARE(ctx->prints, 0);
        QCOMPARE(ctx->loads, 0);

        const QString pdf = tmp.filePath(QStringLiteral("page.pdf"));
        win->setPrinterOverride(QStringLiteral("pdf:") + pdf);
        win->printCommand();
        QCOMPARE(ctx->prints, 1);
        QCOMPARE(ctx->loads, 2);
        QCOMPARE(ctx->cond.examPart, std::string("頭部正面"));
        QCOMPARE(ctx->table_.nextRow, 3);  // printing keeps the table
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(4) == "%PDF");
        f.close();
        if (qEnvironmentVariableIsSet("DOVEX_SHOT_DIR")) {
            QFile::copy(pdf,
                        QDir(qEnvironmentVariable("DOVEX_SHOT_DIR")).filePath("page-2rows.pdf"));
        }
        // The page's texts are in the file as text (when poppler's pdftotext is at hand).
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (!pdftotext.isEmpty()) {
            QProcess proc;
            proc.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            QVERIFY(proc.waitForFinished(30000));
            // Compatibility forms: the extraction gives some kanji as radicals.
            const QString text = QString::fromUtf8(proc.readAllStandardOutput())
                                     .normalized(QString::NormalizationForm_KC);
            for (const char* want : {"診断Ｘ線の入射表面線量", "腹部正面", "頭部正面", "33.97",
                                     "with Dovex-FV", "後方散乱係数", "半切", "36.81"})
                QVERIFY2(text.contains(
                             QString::fromUtf8(want).normalized(QString::NormalizationForm_KC)),
                         want);
        }
    }

    void withoutPrinterTheUserMayWriteAPdf() {
        if (!QPrinterInfo::defaultPrinter().isNull()) QSKIP("a printer is installed here");
        Append(test::TypicalRow());
        int chooserCalls = 0;
        win->setPdfPathChooser([&] {
            ++chooserCalls;
            return QString();  // the user cancels the file choice
        });
        win->printCommand();
        QVERIFY(LastText().contains(QStringLiteral("使用できるプリンターがありません")));
        QCOMPARE(chooserCalls, 1);
        QCOMPARE(ctx->prints, 0);
        const QString pdf = tmp.filePath(QStringLiteral("chosen.pdf"));
        win->setPdfPathChooser([&] { return pdf; });
        win->printCommand();
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(ctx->prints, 1);
        rec.answer = false;  // declining the PDF changes nothing
        win->printCommand();
        QCOMPARE(ctx->prints, 1);
    }

    void renderedPageHasFrameBandsAndItems() {
        const double k = 6;  // pixels per millimetre
        for (int rows : {1, 15}) {
            ResultsTable t;
            for (int i = 1; i <= rows; ++i) {
                ResultRow r = test::TypicalRow();
                r.effectiveDose = i % 2 ? 0.1234 : 0;
                t.rows[i] = r;
            }
            t.nextRow = rows + 1;
            QImage img(int(297 * k), int(210 * k), QImage::Format_RGB32);
            img.fill(Qt::white);
            {
                QPainter p(&img);
                RenderResultsPage(p, k, t, 33.97, QStringLiteral("山田"));
            }
            // The frame and the heading rule run across the page; every row separator too.
            QVERIFY(InkAlong(img, k, 1, 284, 20) > 0.95);
            QVERIFY(InkAlong(img, k, 1, 284, 40) > 0.95);
            QVERIFY(InkAlong(img, k, 1, 284, 190) > 0.95);
            for (int y = 50; y <= 180; y += 10) QVERIFY(InkAlong(img, k, 1, 284, y) > 0.95);
            QVERIFY(InkAlong(img, k, 1, 284, 45) < 0.5);  // inside a band, only text and verticals
            // Row 1's exam part and doses are printed in its band, later bands only when
            // the rows exist.
            QVERIFY(InkIn(img, k, QRectF(3, 41.5, 16, 3)) > 20);
            QVERIFY(InkIn(img, k, QRectF(241.5, 43.5, 9, 3)) > 10);
            const int row2 = InkIn(img, k, QRectF(241.5, 53.5, 9, 3));
            const int row15 = InkIn(img, k, QRectF(241.5, 183.5, 9, 3));
            if (rows == 1) {
                QCOMPARE(row2, 0);
                QCOMPARE(row15, 0);
            } else {
                QVERIFY(row2 > 10);
                QVERIFY(row15 > 10);
            }
            // The title line above the frame.
            QVERIFY(InkIn(img, k, QRectF(50, 12.5, 40, 4)) > 50);
            if (qEnvironmentVariableIsSet("DOVEX_SHOT_DIR"))
                img.save(QDir(qEnvironmentVariable("DOVEX_SHOT_DIR"))
                             .filePath(QStringLiteral("page-%1.png").arg(rows)));
        }
    }

    void enterInTheSaveDialogSaves() {
        // Enter in the name box moves on to OK; Enter on OK saves.
        Append(test::TypicalRow());
        win->saveCommand();
        DataSaveDialog* d = win->saveDialog();
        d->browser()->setFolder(tmp.path());
        QVERIFY(QTest::qWaitForWindowActive(d));
        QTest::keyClicks(d->commentBox(), "c");
        QTest::keyClick(d->commentBox(), Qt::Key_Return);
        QTest::keyClicks(d->nameBox(), "enter");
        QTest::keyClick(d->nameBox(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), d->okButton());
        QTest::keyClick(d->okButton(), Qt::Key_Return);
        QVERIFY(QFile::exists(tmp.filePath(QStringLiteral("enter.csv"))));
        QVERIFY(!d->isVisible());
    }

    void hugeValuesStayInTheirCells() {
        // A file may hold any number; a 300-digit voltage changes nothing outside its cell, in
        // the window and on the page. Rendered twice, the pictures differ only inside the cell.
        ResultRow usual = test::TypicalRow(), huge = usual;
        huge.tubeVoltage = 1e300;
        auto window = [&](const ResultRow& r) {
            win->resize(1200, 720);
            win->eraseCommand();
            Append(r);
            return win->surface()->grab().toImage();
        };
        const QImage a = window(usual), b = window(huge);
        const double ux = a.width() / kSurfaceWidth;
        QRect changed;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) changed |= QRect(x, y, 1, 1);
        QVERIFY(!changed.isEmpty());
        QVERIFY2(changed.left() >= 156.6 * ux && changed.right() <= 219 * ux,
                 qPrintable(QStringLiteral("%1..%2").arg(changed.left()).arg(changed.right())));

        const double k = 6;
        auto page = [&](const ResultRow& r) {
            ResultsTable t;
            t.rows[1] = r;
            t.nextRow = 2;
            QImage img(int(297 * k), int(210 * k), QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            RenderResultsPage(p, k, t, 33.97, QStringLiteral("山田"));
            return img;
        };
        const QImage pa = page(usual), pb = page(huge);
        changed = QRect();
        for (int y = 0; y < pa.height(); ++y)
            for (int x = 0; x < pa.width(); ++x)
                if (pa.pixel(x, y) != pb.pixel(x, y)) changed |= QRect(x, y, 1, 1);
        QVERIFY(!changed.isEmpty());
        QVERIFY(changed.left() >= (45 + kPageOriginXMm) * k &&
                changed.right() <= (55 + kPageOriginXMm) * k);
    }

    void screenshotOfTheWindow() {
        if (!qEnvironmentVariableIsSet("DOVEX_SHOT_DIR")) QSKIP("no screenshot folder given");
        for (int i = 1; i <= 4; ++i) {
            ResultRow r = test::TypicalRow();
            r.tubeVoltage = 60 + 10 * i;
            r.esdSoft *= i;
            if (i == 2) {
                r.arbitraryFilterName = "モリブデン Mo";
                r.arbitraryFilterThickness = 0.003;
                r.effectiveDose = 0;
                r.examPart = "胸部正面";
            }
            if (i == 3) {
                r.surfaceShape = SurfaceShape::EllipticCylinder;
                r.ellipseHRadius = 15;
                r.ellipseVRadius = 10;
            }
            Append(r);
        }
        win->totalsCommand();
        win->setUserNameLabel(ctx->name);
        QDir out(qEnvironmentVariable("DOVEX_SHOT_DIR"));
        win->resize(1200, 720);
        QTest::qWait(50);
        win->grab().save(out.filePath(QStringLiteral("window.png")));
        win->resize(800, 420);
        QTest::qWait(50);
        win->grab().save(out.filePath(QStringLiteral("window-small.png")));
        win->resize(1200, 720);
        win->eraseCommand();
        QTest::qWait(50);
        win->grab().save(out.filePath(QStringLiteral("window-empty.png")));
        win->saveCommand();
        Append(test::TypicalRow());
        win->saveCommand();
        QTest::qWait(50);
        win->saveDialog()->grab().save(out.filePath(QStringLiteral("save-dialog.png")));
        win->saveDialog()->cancel();
        win->readCommand();
        QTest::qWait(50);
        win->readDialog()->grab().save(out.filePath(QStringLiteral("read-dialog.png")));
    }
};

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
