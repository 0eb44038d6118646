// SPDX-License-Identifier: MIT
#include "app/report.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPainter>
#include <QTextDocument>
#include <QtCharts/QChart>
#include <memory>

#include "app/depthdosewindow.h"
#include "app/qualitypanel.h"
#include "app/spectrumwindow.h"
#include "calculation/conditionfields.h"
#include "calculation/resultfields.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/textio.h"
#include "ui/fonts.h"
#include "ui/pdfpage.h"

namespace dovex::app {
namespace {

QString Esc(const QString& s) { return s.toHtmlEscaped(); }
QString Esc(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }
QString Num(double v, const char* pattern) { return QualityText(v, pattern); }
// A result quantity with the report's pattern from the table of result quantities.
QString Result(double v, const char* json) {
    return QualityText(v, calc::ResultQuantityOf(json).patternAt(calc::ResultPlace::Report));
}
// A condition as the user typed it: the shortest decimal text.
QString Plain(double v) { return QString::fromStdString(PlainNumber(v)); }

struct Rows {
    QString html;
    void add(const QString& caption, const QString& value, const QString& unit = {}) {
        html += QStringLiteral("<tr><td>") + caption + QStringLiteral("</td><td align=right>") +
                value + QStringLiteral("</td><td>") + unit + QStringLiteral("</td></tr>");
    }
    void heading(const QString& text) {
        html += QStringLiteral("<tr><td colspan=3 class=h>") + text + QStringLiteral("</td></tr>");
    }
};

QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The organ list as a table: its rows in two halves side by side, each half under the same
// column headings, and the effective dose (the sum of the contributions) below.
QString OrganTableHtml(const OrganTable& t) {
    const QString headings[] = {QStringLiteral("組織・臓器"), QStringLiteral("組織荷重係数 W"),
                                QStringLiteral("深さ cm"), QStringLiteral("照射容積内 %"),
                                QStringLiteral("実効線量への寄与 μSv")};
    QString h = QStringLiteral(
                    "<p style='color:#003c78;font-weight:bold;margin-top:4px;'>臓器線量と実効線量"
                    "　") +
                Esc(t.examPart) + QStringLiteral("　") + Esc(t.thickness) +
                QStringLiteral(
                    "</p><table class=organs cellspacing=0 cellpadding=1 border=1 "
                    "style='border-collapse:collapse;border-color:#808080;'><tr>");
    for (int half = 0; half < 2; ++half)
        for (const QString& c : headings)
            h += QStringLiteral("<th bgcolor=#e8eef6>") + c + QStringLiteral("</th>");
    h += QStringLiteral("</tr>");
    const std::size_t n = t.rows.size(), rowsPerHalf = (n + 1) / 2;
    for (std::size_t i = 0; i < rowsPerHalf; ++i) {
        h += QStringLiteral("<tr>");
        for (std::size_t k : {i, i + rowsPerHalf}) {
            if (k >= n) {
                h += QStringLiteral("<td></td><td></td><td></td><td></td><td></td>");
                continue;
            }
            const OrganTable::Row& r = t.rows[k];
            const QString mark = r.ticked ? QStringLiteral("☑ ") : QStringLiteral("☐ ");
            h += QStringLiteral("<td>") + mark + Esc(r.name) +
                 QStringLiteral("</td><td align=center>") + Esc(r.weight) +
                 QStringLiteral("</td><td align=center>") + Esc(r.depth) +
                 QStringLiteral("</td><td align=right>") + Esc(r.percent) +
                 QStringLiteral("</td><td align=right>") + Esc(r.dose) + QStringLiteral("</td>");
        }
        h += QStringLiteral("</tr>");
    }
    h += QStringLiteral("</table><p>合計（実効線量）＝ ") +
         Esc(t.total.isEmpty() ? QStringLiteral("---") : t.total) + QStringLiteral(" mSv</p>");
    return h;
}

}  // namespace

QString ReportHtml(const ReportInputs& in) {
    const ExposureConditions& c = in.conditions;
    const DoseResult& d = in.dose;
    QString h = QStringLiteral(
        "<style>td{padding:0 4px;} td.h{color:#003c78;font-weight:bold;padding-top:4px;}"
        "h1{font-size:15pt;margin:0;} .small{font-size:7pt;}</style>");
    h += QStringLiteral("<h1>診断Ｘ線 入射表面線量 計算レポート</h1>");
    h += QStringLiteral("<p>") + Esc(in.when.toString(QStringLiteral("yyyy-MM-dd HH:mm"))) +
         QStringLiteral("　使用者：") +
         Esc(in.userName.isEmpty() ? QStringLiteral("-") : in.userName) +
         QStringLiteral("　Dovex-SE ") + Esc(in.version) + QStringLiteral("</p>");
    if (!in.comment.trimmed().isEmpty())
        h += QStringLiteral("<p>コメント：") + Esc(in.comment.trimmed()) + QStringLiteral("</p>");

    Rows cond;
    cond.heading(QStringLiteral("照射 (撮影) 条件"));
    cond.add(QStringLiteral("撮影部位"), Esc(c.examPart));
    // A condition typed as a number: its caption and unit from the table of conditions, its value
    // as typed.
    auto typed = [&](const char* option, const QString& more = {}) {
        const calc::ConditionField& f = *calc::FindConditionField(option);
        cond.add(QString::fromUtf8(f.reportCaption) + more, Plain(calc::TypedValue(f, c)),
                 QString::fromUtf8(f.unitTyped));
    };
    for (const char* option : {"kv", "ma", "time"}) typed(option);
    cond.add(QStringLiteral("整流方式"), Text(WindowText(c.rectification)));
    for (const char* option : {"target-angle", "inherent-al", "added-al", "added-cu"})
        typed(option);
    if (!c.arbitraryFilterName.empty())
        typed("filter-mm", QStringLiteral(" ") + Esc(c.arbitraryFilterName));
    for (const char* option : {"ffd", "fsd", "thickness"}) typed(option);
    const calc::ConditionField& longSide = *calc::FindWindowField("Text10");
    cond.add(QString::fromUtf8(longSide.reportCaption),
             IsCircularField(c)
                 ? QStringLiteral("直径 ") + Num(c.fieldLong, "#0.0")
                 : Num(c.fieldLong, "#0.0") + QStringLiteral(" × ") + Num(c.fieldShort, "#0.0"),
             QString::fromUtf8(longSide.unitTyped));
    cond.add(QStringLiteral("後方散乱ファントム"),
             c.phantom == Phantom::Head ? QStringLiteral("頭部") : QStringLiteral("頭部以外"));
    cond.add(
        QStringLiteral("照射線量 at 1 m") +
            (c.exposureSource == ExposureSource::Measured ? QStringLiteral(" (実測)") : QString()),
        Result(c.exposureAt1m, "exposureAt1m"), QStringLiteral("C/kg"));

    Rows res;
    res.heading(QStringLiteral("計算結果"));
    res.add(QStringLiteral("後方散乱係数 軟部組織 / 皮膚 / 空気"),
            Result(d.bsfSoft, "bsfSoft") + QStringLiteral(" / ") + Result(d.bsfSkin, "bsfSkin") +
                QStringLiteral(" / ") + Result(d.bsfAir, "bsfAir"));
    res.add(QStringLiteral("変換係数 軟部組織 / 皮膚"),
            Result(d.convSoft, "convSoft") + QStringLiteral(" / ") + Result(d.convSkin, "convSkin"),
            QStringLiteral("Gy/C/kg"));
    res.add(QStringLiteral("入射表面線量 軟部組織"), Result(d.esdSoft, "esdSoft"),
            QStringLiteral("mGy"));
    res.add(QStringLiteral("入射表面線量 皮膚組織"), Result(d.esdSkin, "esdSkin"),
            QStringLiteral("mGy"));
    res.add(QStringLiteral("入射表面線量 空気カーマ"), Result(d.esdAir, "esdAir"),
            QStringLiteral("mGy"));
    res.add(QStringLiteral("実効線量"),
            d.effectiveDose > 0 ? Result(d.effectiveDose, "effectiveDose") : QStringLiteral("---"),
            QStringLiteral("mSv"));
    res.heading(QStringLiteral("線質"));
    const BeamQuality& q = in.quality;
    res.add(QStringLiteral("第１半価層 / 第２半価層"),
            Result(q.hvl1MmAl, "hvl1MmAl") + QStringLiteral(" / ") + Result(q.hvl2MmAl, "hvl2MmAl"),
            QStringLiteral("mmAl"));
    res.add(QStringLiteral("均等度 (HVL1/HVL2)"), Result(q.homogeneity, "homogeneity"));
    res.add(QStringLiteral("平均エネルギー (フルエンス)"), Result(q.meanEnergyKeV, "meanEnergyKeV"),
            QStringLiteral("keV"));
    res.add(QStringLiteral("実効エネルギー"), Result(q.effectiveEnergyKeV, "effectiveEnergyKeV"),
            QStringLiteral("keV"));
    res.add(QStringLiteral("線質指標 QI"), Result(q.qualityIndex, "qualityIndex"));
    res.heading(QStringLiteral("診断参考レベル (DRLs 2020)"));
    if (!in.drlNote.isEmpty()) {
        res.add(Esc(in.drlNote), QString());
    } else if (in.drl.hasLevel) {
        res.add(Esc(in.drl.item), Plain(in.drl.valueMGy), QStringLiteral("mGy"));
        QString pct = DrlPercentText(in.drl);
        if (in.drl.exceeds())
            pct = QStringLiteral("<b><font color=#c00000>") + pct + QStringLiteral("</font></b>");
        res.add(QStringLiteral("入射表面線量 (空気カーマ) / DRL"), pct);
    } else {
        res.add(Esc(c.examPart) + QStringLiteral("：DRL なし"), QString());
    }

    h += QStringLiteral("<table width=100%><tr><td valign=top width=48%><table>") + cond.html +
         QStringLiteral("</table></td><td valign=top><table>") + res.html +
         QStringLiteral("</table></td></tr></table>");

    if (!in.organs.empty()) h += OrganTableHtml(in.organs);
    return h;
}

bool WriteReportPdf(const QString& path, const ReportInputs& in, QString* error) {
    // The page is made in memory and written by the program's one file writer, which replaces
    // only a regular file (a link to one is written through) and never leaves half a file.
    const QSizeF chartSize(480, 380);
    const QByteArray bytes = ui::PdfPage(
        QStringLiteral("計算レポート"), QStringLiteral("Dovex-SE ") + in.version, 12,
        [&](QPainter& painter, QPaintDevice& device, const QRectF& page) {
            QTextDocument doc;
            doc.documentLayout()->setPaintDevice(&device);
            doc.setDefaultFont(ui::MappedFont(ui::kFontMeiryo, 8));
            doc.setDocumentMargin(0);
            doc.setHtml(ReportHtml(in));
            doc.setTextWidth(page.width());
            doc.drawContents(&painter);
            const double textHeight = doc.size().height();

            // The two charts side by side in the rest of the page.
            const double gap = page.width() * 0.02;
            const double w = (page.width() - gap) / 2;
            const double h = std::min(w * 380 / 480, page.height() - textHeight - gap);
            const double top = textHeight + gap;
            if (h > 0) {
                ui::DrawChart(painter, MakeSpectrumChart(in.spectrum, in.conditions, in.quality),
                              QRectF(0, top, w, h), chartSize);
                // Without an estimate there is no depth dose to draw, and no empty frame for it.
                if (!in.depthDose.empty())
                    ui::DrawChart(painter, MakeDepthDoseChart(in.depthDose),
                                  QRectF(w + gap, top, w, h), chartSize);
            }
        });
    try {
        WriteFileAtomic(
            QFile::encodeName(path).toStdString(),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const std::exception& e) {
        if (error) *error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

}  // namespace dovex::app
