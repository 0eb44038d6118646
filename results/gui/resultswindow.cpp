// SPDX-License-Identifier: MIT
#include "results/gui/resultswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "results/gui/datadialogs.h"
#include "results/gui/printpage.h"
#include "results/gui/resultssurface.h"
#include "results/layout.h"
#include "ui/enterkey.h"
#include "ui/fonts.h"
#include "ui/messenger.h"

namespace dovex::ui {
namespace {

constexpr double kTablePt = 12;
constexpr double kBannerPt = 28;
const QColor kBannerGrey(192, 192, 192);

QColor ButtonTextColor() { return QApplication::palette().color(QPalette::ButtonText); }

// Keeps the totals button beside the totals line of the surface, whatever its size.
class TotalsButtonPlacer : public QObject {
  public:
    TotalsButtonPlacer(ResultsSurface* s, QPushButton* b) : QObject(s), s_(s), b_(b) {
        s->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == s_ && (e->type() == QEvent::Resize || e->type() == QEvent::Show)) Place();
        return false;
    }
    void Place() {
        QPointF a = s_->toWidget(775, 858), b = s_->toWidget(880, 906);
        b_->setGeometry(QRectF(a, b).toRect());
    }

  private:
    ResultsSurface* s_;
    QPushButton* b_;
};

}  // namespace

ResultsWindow::ResultsWindow(ResultsContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle(QStringLiteral("  Calculation Results by Dovex"));
    surface_ = new ResultsSurface(this);
    surface_->setFont(MappedFont(kFontMeiryo, kTablePt));

    totals_ = new QPushButton(QStringLiteral("合 計 ⇒"), surface_);
    totals_->setFont(MappedFont(kFontMeiryo, 10));
    totals_->hide();
    auto* placer = new TotalsButtonPlacer(surface_, totals_);
    placer->Place();

    auto* signature = new QLabel(QStringLiteral("Calculated by Dovex"), this);
    signature->setFont(MappedFont(kFontTimes, 11));
    nameLabel_ = new QLabel(this);
    nameLabel_->setFont(MappedFont(kFontMeiryo, 11));

    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setFont(MappedFont(kFontMeiryo, 10));
        b->setMinimumHeight(32);
        return b;
    };
    QPushButton* save = button(QStringLiteral("データ保存"));
    QPushButton* read = button(QStringLiteral("データ読込"));
    QPushButton* erase = button(QStringLiteral("データ消去"));
    QPushButton* print = button(QStringLiteral("印 刷"));
    QPushButton* back = button(QStringLiteral("結果表を背面へ"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(signature);
    bottom->addSpacing(12);
    bottom->addWidget(nameLabel_, 1);
    for (QPushButton* b : {save, read, erase, print}) bottom->addWidget(b);
    bottom->addSpacing(16);
    bottom->addWidget(back);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(8, 8, 8, 8);
    v->addWidget(surface_, 1);
    v->addLayout(bottom);
    resize(1200, 720);
    EnterPressesFocusedButtons(this);

    connect(totals_, &QPushButton::clicked, this, &ResultsWindow::totalsCommand);
    connect(save, &QPushButton::clicked, this, &ResultsWindow::saveCommand);
    connect(read, &QPushButton::clicked, this, &ResultsWindow::readCommand);
    connect(erase, &QPushButton::clicked, this, &ResultsWindow::eraseCommand);
    connect(print, &QPushButton::clicked, this, &ResultsWindow::printCommand);
    connect(back, &QPushButton::clicked, this, &ResultsWindow::sendToBackCommand);
}

ResultsWindow::~ResultsWindow() = default;

DataSaveDialog* ResultsWindow::saveDialog() {
    if (!saveDialog_) saveDialog_ = new DataSaveDialog(ctx_, this);
    return saveDialog_;
}

DataReadDialog* ResultsWindow::readDialog() {
    if (!readDialog_) readDialog_ = new DataReadDialog(*this, this);
    return readDialog_;
}

void ResultsWindow::setPdfPathChooser(std::function<QString()> chooser) {
    pdfChooser_ = std::move(chooser);
}

void ResultsWindow::setPrinterOverride(const QString& target) { printerOverride_ = target; }

void ResultsWindow::showFrame(bool on) {
    if (!on) totalsShown_ = false;  // the surface is cleared with the frame
    surface_->setFrameVisible(on);
    totals_->setVisible(on);
}

void ResultsWindow::drawBanner(const QString& editionLabel) {
    // Edition label in Times New Roman 28 points, the name below it in Meiryo at the same size.
    surface_->drawText({500, 350, editionLabel.toStdString()}, kFontTimes, kBannerPt, kBannerGrey);
    surface_->drawText({500, 500, ctx_.userName().toStdString()}, kFontMeiryo, kBannerPt,
                       kBannerGrey);
}

void ResultsWindow::resetForStartup() {
    surface_->clear();
    ClearResultsTable(ctx_.table());
    showFrame(false);
    drawBanner(QStringLiteral("Dovex-SE"));
}

void ResultsWindow::redrawBanner(const QString& editionLabel) {
    // Only an empty table shows the banner: the rows of a table holding rows stay drawn.
    if (!ctx_.table().empty()) return;
    surface_->clear();
    surface_->drawText({500, 200, editionLabel.toStdString()}, kFontTimes, kBannerPt, kBannerGrey);
    surface_->drawText({500, 350, ctx_.userName().toStdString()}, kFontMeiryo, kBannerPt,
                       kBannerGrey);
}

void ResultsWindow::setUserNameLabel(const QString& name) { nameLabel_->setText(name); }

bool ResultsWindow::appendCurrent(const ExposureConditions& c, const DoseResult& d,
                                  const CurrentSurface& s) {
    ResultsTable& t = ctx_.table();
    if (t.full() || t.nextRow < 1) return false;
    const int n = t.nextRow;
    if (n == 1) {
        surface_->clear();
        showFrame(true);
        for (const PlacedText& h : SurfaceHeadings())
            surface_->drawText(h, kFontMeiryo, kTablePt, ButtonTextColor());
    }
    for (const PlacedText& item : SurfaceRowTexts(MakeResultRow(c, d, s, t.row(n)), n))
        surface_->drawText(item, kFontMeiryo, kTablePt, ButtonTextColor());
    // A window closed by its close box comes back with the row just kept.
    if (!isVisible()) show();
    const AppendOutcome outcome = AppendCurrentResult(t, c, d, s);
    // Totals on view follow the table: they are always the sums of the rows it holds.
    if (totalsShown_) totalsCommand();
    if (outcome == AppendOutcome::StoredAndFull) {
        Messenger& m = messenger();
        m.beep();
        m.show(this,
               QStringLiteral("　これ以上の計算結果は保存できません。現在の結果表を一旦保存し、"
                              "データ消去後、新たな結果表に保存して下さい。"),
               Icon::Warning);
    }
    return true;
}

void ResultsWindow::drawAllRows() {
    surface_->clear();
    totalsShown_ = false;
    showFrame(true);
    for (const PlacedText& h : SurfaceHeadings())
        surface_->drawText(h, kFontMeiryo, kTablePt, ButtonTextColor());
    const ResultsTable& t = ctx_.table();
    for (int n = 1; n <= std::min(t.count(), ResultsTable::kCapacity); ++n) {
        ctx_.loadRowAsCurrent(t.row(n));
        for (const PlacedText& item : SurfaceRowTexts(t.row(n), n))
            surface_->drawText(item, kFontMeiryo, kTablePt, ButtonTextColor());
    }
}

void ResultsWindow::adoptReadTable(const ResultsTable& table, double airWOverE, bool airSet) {
    ctx_.table() = table;
    if (airSet) ctx_.airWOverE() = airWOverE;
    drawAllRows();
}

void ResultsWindow::totalsCommand() {
    totalsShown_ = true;
    TotalsBox box;
    surface_->fillWhiteBox(box.x1, box.y1, box.x2, box.y2);
    for (const PlacedText& t : SurfaceTotalsTexts(ComputeColumnTotals(ctx_.table())))
        surface_->drawText(t, kFontMeiryo, kTablePt, ButtonTextColor());
}

void ResultsWindow::saveCommand() {
    if (ctx_.table().empty()) {
        messenger().show(this, QStringLiteral("保存するデータがありません"), Icon::Warning);
        return;
    }
    saveDialog()->open();
}

void ResultsWindow::readCommand() {
    if (!ctx_.table().empty()) {
        Messenger& m = messenger();
        m.beep();
        if (!m.askOkCancel(this,
                           QStringLiteral("　ファイル読出を行うと、現在表示されている計算結果は"
                                          "削除されます。"),
                           Icon::Warning))
            return;
    }
    readDialog()->open();
}

void ResultsWindow::eraseCommand() {
    Messenger& m = messenger();
    if (ctx_.table().empty()) {
        m.show(this, QStringLiteral("消去するデータがありません"), Icon::Warning);
        return;
    }
    m.beep();
    if (!m.askOkCancel(this, QStringLiteral("　現在表示されている計算結果は削除されます　"),
                       Icon::Warning))
        return;
    ctx_.resetMainAfterErase();
    surface_->clear();
    ClearResultsTable(ctx_.table());
    showFrame(false);
    drawBanner(QStringLiteral("Dovex-FV"));
}

void ResultsWindow::printCommand() {
    Messenger& m = messenger();
    const ResultsTable& t = ctx_.table();
    if (t.empty()) {
        m.show(this, QStringLiteral("印刷するデータがありません"), Icon::Warning);
        return;
    }
    if (!m.askYesNo(this, QStringLiteral("　プリンターは準備できていますか？　"), Icon::Question))
        return;

    QString pdfPath;
    QString printerName;
    if (printerOverride_.startsWith(QStringLiteral("pdf:"))) {
        pdfPath = printerOverride_.mid(4);
    } else if (!printerOverride_.isEmpty()) {
        printerName = printerOverride_;
    } else {
        QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (!info.isNull()) printerName = info.printerName();
    }
    if (pdfPath.isEmpty() && printerName.isEmpty()) {
        m.beep();
        if (!m.askOkCancel(this,
                           QStringLiteral("　使用できるプリンターがありません　\n"
                                          "印刷ページを PDF ファイルに保存しますか？"),
                           Icon::Warning))
            return;
        pdfPath = pdfChooser_ ? pdfChooser_()
                              : QFileDialog::getSaveFileName(
                                    this, QStringLiteral("PDF ファイルに保存"),
                                    QStringLiteral("結果表.pdf"), QStringLiteral("PDF (*.pdf)"));
        if (pdfPath.isEmpty()) return;
    }

    QPrinter printer(QPrinter::HighResolution);
    if (!pdfPath.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
    } else {
        printer.setPrinterName(printerName);
        if (!printer.isValid()) {
            m.beep();
            m.show(this, QStringLiteral("　プリンターを使用できません。何も変更していません　"),
                   Icon::Warning);
            return;
        }
    }
    printer.setDocName(QStringLiteral("Dovex results"));
    SetUpResultsPage(printer);
    const QString error = SendResultsPage(printer, t, ctx_.airWOverE(), ctx_.userName());
    if (!error.isEmpty()) {
        m.beep();
        m.show(this, QStringLiteral("　印刷できませんでした。何も変更していません　\n") + error,
               Icon::Warning);
        return;
    }
    // The page was sent: each row became the current values in turn, then the main window
    // empties its results.
    for (int n = 1; n <= std::min(t.count(), ResultsTable::kCapacity); ++n)
        ctx_.loadRowAsCurrent(t.row(n));
    ctx_.resetMainAfterPrint();
}

void ResultsWindow::sendToBackCommand() { ctx_.showMainWindow(); }

void ResultsWindow::closeEvent(QCloseEvent* e) {
    // The table lives on; the window is only hidden and shows the same surface when it is
    // opened again.
    hide();
    e->ignore();
    emit closedByCloseBox();
}

}  // namespace dovex::ui
