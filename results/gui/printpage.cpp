// SPDX-License-Identifier: MIT
#include "results/gui/printpage.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <algorithm>

#include "results/gui/fittext.h"
#include "results/layout.h"
#include "ui/fonts.h"

namespace dovex::ui {
namespace {

constexpr double kMmPerPt = 25.4 / 72.0;
// Baseline of a text line below its top, as a fraction of the em (a Mincho face's ascent).
constexpr double kBaselineEm = 0.88;
// Pen widths: the frame and the thin rules.
constexpr double kThickMm = 0.3;
constexpr double kThinMm = 0.1;

class PageDrawer {
  public:
    PageDrawer(QPainter& p, double dotsPerMm) : p_(p), k_(dotsPerMm) {}

    QPointF At(double x, double y) const {
        return {(x + kPageOriginXMm) * k_, (y + kPageOriginYMm) * k_};
    }
    void SetFontPt(double pt) {
        QFont f = MappedFont(kFontMsMincho, pt);
        f.setPixelSize(std::max(1, static_cast<int>(pt * kMmPerPt * k_ + 0.5)));
        p_.setFont(f);
        em_ = f.pixelSize();
    }
    void Text(const PlacedText& t) {
        const QPointF a = At(t.x, t.y);
        const QPointF base(a.x(), a.y() + kBaselineEm * em_);
        // Narrower, or cut, rather than over the next column's rule.
        DrawFittedText(p_, base, QString::fromStdString(t.text), t.maxWidth * k_);
    }
    void Line(const PlacedLine& l) {
        QPen pen(Qt::black);
        pen.setWidthF(std::max(1.0, (l.width >= 5 ? kThickMm : kThinMm) * k_));
        pen.setCapStyle(Qt::SquareCap);
        p_.setPen(pen);
        p_.drawLine(At(l.x1, l.y1), At(l.x2, l.y2));
    }

  private:
    QPainter& p_;
    double k_;
    double em_ = 1;
};

}  // namespace

void RenderResultsPage(QPainter& p, double dotsPerMm, const ResultsTable& table, double airWOverE,
                       const QString& userName) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    PageDrawer d(p, dotsPerMm);
    for (const PlacedLine& l : PrintRuling()) d.Line(l);
    p.setPen(Qt::black);
    d.SetFontPt(9);
    for (const PlacedText& t : PrintHeadings()) d.Text(t);
    const int n = std::clamp(table.count(), 0, ResultsTable::kCapacity);
    for (int i = 1; i <= n; ++i)
        for (const PlacedText& t : PrintRowTexts(table.row(i), i, airWOverE)) d.Text(t);
    d.SetFontPt(12);
    for (const PlacedText& t : PrintTitle(userName.toStdString())) d.Text(t);
    p.restore();
}

void SetUpResultsPage(QPrinter& printer) {
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    printer.setPageLayout(layout);
    printer.setFullPage(true);
}

QString SendResultsPage(QPrinter& printer, const ResultsTable& table, double airWOverE,
                        const QString& userName) {
    QPainter p;
    if (!p.begin(&printer)) return QStringLiteral("プリンターを開けません");
    // Device pixels per millimetre, from the paper size as the device sees it.
    const QRectF paperPx = printer.paperRect(QPrinter::DevicePixel);
    const QRectF paperMm = printer.paperRect(QPrinter::Millimeter);
    const double k =
        paperMm.width() > 0 ? paperPx.width() / paperMm.width() : printer.resolution() / 25.4;
    // Full-page mode: the device origin is the paper's corner.
    RenderResultsPage(p, k, table, airWOverE, userName);
    if (!p.end()) return QStringLiteral("ページを送れませんでした");
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return QStringLiteral("プリンターがエラーを返しました");
    return {};
}

}  // namespace dovex::ui
