// SPDX-License-Identifier: MIT
#include "records/gui/surveywindow.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBoxPlotSeries>
#include <QtCharts/QBoxSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <exception>
#include <memory>

#include "engine/numtext.h"
#include "engine/platform.h"
#include "engine/textio.h"
#include "ui/enterkey.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/pdfpage.h"
#include "ui/soledialog.h"

namespace dovex::ui {

using records::SurveyRow;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Num(double v, const char* pattern) { return Q(FormatPattern(v, pattern)); }
QString Spread(const records::Spread& s, double records::Spread::*m, const char* pattern) {
    return s.n > 0 ? Num(s.*m, pattern) : QStringLiteral("―");
}

const QColor kLevelColour(0xc0, 0x10, 0x10);
const QString kQuantity = QStringLiteral("入射表面空気カーマ mGy");

// The category of a row on the chart: the exam part, and the unit below it.
QString Category(const SurveyRow& r) { return Q(r.examPart) + QStringLiteral("\n") + Q(r.unit); }

}  // namespace

const std::vector<SurveyColumn>& SurveyColumns() {
    static const std::vector<SurveyColumn> k = {
        {"装置", [](const SurveyRow& r) { return Q(r.unit); }, false},
        {"撮影部位", [](const SurveyRow& r) { return Q(r.examPart); }, false},
        {"件数", [](const SurveyRow& r) { return QString::number(r.events); }},
        {"第1四分位 mGy",
         [](const SurveyRow& r) { return Spread(r.esdAir, &records::Spread::q1, "0.00"); }},
        {"中央値 mGy",
         [](const SurveyRow& r) { return Spread(r.esdAir, &records::Spread::median, "0.00"); }},
        {"第3四分位 mGy",
         [](const SurveyRow& r) { return Spread(r.esdAir, &records::Spread::q3, "0.00"); }},
        {"診断参考レベル mGy",
         [](const SurveyRow& r) {
             return r.drl.hasLevel ? Num(r.drl.valueMGy, "0.00") : QStringLiteral("―");
         }},
        {"中央値/参考レベル %",
         [](const SurveyRow& r) {
             return r.drl.hasLevel ? Num(r.drl.percent, "0") : QStringLiteral("―");
         }},
        {"実効線量 中央値 mSv",
         [](const SurveyRow& r) {
             return Spread(r.effectiveDose, &records::Spread::median, "0.000");
         }},
        {"記録/計算 中央値",
         [](const SurveyRow& r) {
             return Spread(r.recordRatio, &records::Spread::median, "0.00");
         }},
    };
    return k;
}

QChart* MakeSurveyChart(const std::vector<SurveyRow>& rows) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("撮影部位・装置ごとの入射表面空気カーマと診断参考レベル"));
    chart->setTitleFont(MappedFont(kFontMeiryo, 11));
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* boxes = new QBoxPlotSeries;
    boxes->setName(QStringLiteral("入射表面空気カーマ（箱：四分位、ひげ：最小～最大）"));
    boxes->setBoxWidth(0.45);
    QStringList categories;
    double top = 0;
    for (const SurveyRow& r : rows) {
        const records::Spread& s = r.esdAir;
        auto* set = new QBoxSet(s.min, s.q1, s.median, s.q3, s.max, Category(r));
        set->setBrush(QColor(0x9c, 0xc3, 0xe6));
        boxes->append(set);
        categories << Category(r);
        top = std::max({top, s.max, r.drl.hasLevel ? r.drl.valueMGy : 0.0});
    }
    chart->addSeries(boxes);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(MappedFont(kFontMeiryo, 8));
    auto* y = new QValueAxis;
    y->setTitleText(kQuantity);
    y->setTitleFont(MappedFont(kFontMeiryo, 9));
    y->setLabelsFont(MappedFont(kFontMeiryo, 8));
    y->setRange(0, top > 0 ? top * 1.1 : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.2g"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    boxes->attachAxis(x);
    boxes->attachAxis(y);
    // The reference level of each box: a red bar across it.
    bool named = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].drl.hasLevel) continue;
        auto* level = new QLineSeries;
        const double c = static_cast<double>(i), v = rows[i].drl.valueMGy;
        level->append(c - 0.35, v);
        level->append(c + 0.35, v);
        level->setPen(QPen(kLevelColour, 3));
        level->setName(QStringLiteral("診断参考レベル"));
        chart->addSeries(level);
        level->attachAxis(x);
        level->attachAxis(y);
        // One entry of the legend names all of them.
        for (QLegendMarker* m : chart->legend()->markers(level)) m->setVisible(!named);
        named = true;
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(MappedFont(kFontMeiryo, 8));
    return chart;
}

void PaintSurveyPage(QPainter& p, const QRectF& page, const std::vector<SurveyRow>& rows,
                     const SurveyHeading& h) {
    const double unit = page.width() / 180.0;  // one millimetre of an A4 width inside margins
    auto font = [&](double mm) {
        QFont f = MappedFont(kFontMeiryo, 10);
        f.setPixelSize(std::max(1, static_cast<int>(mm * unit)));
        return f;
    };
    double y = page.top();
    p.setPen(Qt::black);
    p.setFont(font(6));
    p.drawText(QRectF(page.left(), y, page.width(), 9 * unit), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("線量調査集計 ― 診断参考レベルとの比較"));
    y += 11 * unit;
    p.setFont(font(3.2));
    const QString scope = h.scope.isEmpty() ? QStringLiteral("表示したすべての事象") : h.scope;
    p.drawText(QRectF(page.left(), y, page.width(), 5 * unit), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("作成日 %1　　作成者 %2　　対象 %3（%4 事象）")
                   .arg(h.date.toString(QStringLiteral("yyyy年MM月dd日")),
                        h.user.isEmpty() ? QStringLiteral("―") : h.user, scope)
                   .arg(h.events));
    y += 8 * unit;

    const double chartHeight = 105 * unit;
    DrawChart(p, MakeSurveyChart(rows), QRectF(page.left(), y, page.width(), chartHeight),
              QSizeF(900, 900 * chartHeight / page.width()));
    y += chartHeight + 4 * unit;

    // The table: as many rows as the page holds, the rest counted.
    const auto& cols = SurveyColumns();
    double rowHeight = 5.2 * unit;
    const double widths[] = {40, 22, 10, 15, 15, 15, 16, 16, 16, 15};
    double total = 0;
    for (double w : widths) total += w;
    const double scale = page.width() / total;
    const double footer = 16 * unit;
    const long room = static_cast<long>((page.bottom() - footer - y - 8.5 * unit) / rowHeight);
    const long shown = std::min<long>(static_cast<long>(rows.size()), std::max(room, 0L));
    auto drawRow = [&](const std::function<QString(std::size_t)>& cell, bool heading,
                       const std::function<QColor(std::size_t)>& colour) {
        double x = page.left();
        for (std::size_t c = 0; c < cols.size(); ++c) {
            const QRectF box(x, y, widths[c] * scale, rowHeight);
            if (heading) p.fillRect(box, QColor(0xe4, 0xec, 0xf4));
            p.setPen(QColor(0x90, 0x90, 0x90));
            p.drawRect(box);
            p.setPen(colour(c));
            const int align =
                (heading || !cols[c].number ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            p.drawText(box.adjusted(unit, 0, -unit, 0), align | Qt::TextWordWrap, cell(c));
            x += widths[c] * scale;
        }
        y += rowHeight;
    };
    p.setFont(font(2.4));
    const double bodyHeight = rowHeight;
    rowHeight = 8.5 * unit;  // two lines of the captions
    drawRow([&](std::size_t c) { return QString::fromUtf8(cols[c].caption); }, true,
            [](std::size_t) { return QColor(Qt::black); });
    rowHeight = bodyHeight;
    p.setFont(font(2.8));
    for (long i = 0; i < shown; ++i) {
        const SurveyRow& r = rows[static_cast<std::size_t>(i)];
        drawRow([&](std::size_t c) { return cols[c].text(r); }, false,
                [&](std::size_t c) {
                    return c == 7 && r.drl.exceeds() ? kLevelColour : QColor(Qt::black);
                });
    }
    p.setPen(Qt::black);
    p.setFont(font(2.8));
    QString notes;
    if (shown < static_cast<long>(rows.size()))
        notes += QStringLiteral("ほか %1 行は CSV 保存で全行を出力できます。\n")
                     .arg(static_cast<long>(rows.size()) - shown);
    notes += QStringLiteral(
        "入射表面空気カーマは後方散乱を含み、撮影条件から Dovex-SE が計算した値です。"
        "箱は四分位範囲、ひげは最小～最大、赤線は診断参考レベル。四分位は順位間の線形補間。");
    p.drawText(QRectF(page.left(), page.bottom() - footer, page.width(), footer),
               Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, notes);
}

QByteArray SurveyPdf(const std::vector<SurveyRow>& rows, const SurveyHeading& heading) {
    return PdfPage(QStringLiteral("線量調査集計"), QStringLiteral("Dovex-SE"), 15,
                   [&](QPainter& painter, QPaintDevice&, const QRectF& page) {
                       PaintSurveyPage(painter, page, rows, heading);
                   });
}

QByteArray SurveyChartPng(const std::vector<SurveyRow>& rows, int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawChart(painter, MakeSurveyChart(rows), QRectF(0, 0, width, height),
                  QSizeF(width / 1.6, height / 1.6));
    }
    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    image.save(&file, "PNG");
    return bytes;
}

SurveyWindow::SurveyWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("SurveyWindow");
    setWindowTitle(QStringLiteral("調査集計 ― 線量記録"));
    setFont(MappedFont(kFontMeiryo, 9));
    title_ = new QLabel(this);
    title_->setObjectName("SurveyTitle");
    chart_ = new QChartView(this);
    chart_->setObjectName("SurveyChart");
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(300);
    const auto& cols = SurveyColumns();
    table_ = new QTableWidget(0, static_cast<int>(cols.size()), this);
    table_->setObjectName("SurveyTable");
    QStringList headings;
    for (const SurveyColumn& c : cols) headings << QString::fromUtf8(c.caption);
    table_->setHorizontalHeaderLabels(headings);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setMinimumHeight(140);

    auto* csv = new QPushButton(QStringLiteral("CSV 保存(&C)…"), this);
    csv->setObjectName("SaveCsv");
    auto* png = new QPushButton(QStringLiteral("PNG 保存(&G)…"), this);
    png->setObjectName("SavePng");
    auto* pdf = new QPushButton(QStringLiteral("PDF 保存(&P)…"), this);
    pdf->setObjectName("SavePdf");
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName("CloseSurvey");
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {csv, png, pdf}) commands->addWidget(b);
    commands->addStretch();
    commands->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(title_);
    outer->addWidget(chart_, 3);
    outer->addWidget(table_, 2);
    outer->addLayout(commands);
    connect(csv, &QPushButton::clicked, this, [this] { saveCsv(); });
    connect(png, &QPushButton::clicked, this, [this] { savePng(); });
    connect(pdf, &QPushButton::clicked, this, [this] { savePdf(); });
    connect(close, &QPushButton::clicked, this, [this] { this->close(); });
    EnterPressesFocusedButtons(this);
    EscapeCancels(this, [this] { this->close(); });
    resize(1180, 680);
}

void SurveyWindow::setSurvey(std::vector<SurveyRow> rows, long events, const QString& scope,
                             const QString& user) {
    rows_ = std::move(rows);
    heading_ = SurveyHeading{events, scope, user, QDate::currentDate()};
    title_->setText(QStringLiteral("対象：%1（%2 事象、%3 グループ）")
                        .arg(scope.isEmpty() ? QStringLiteral("表示したすべての事象") : scope)
                        .arg(events)
                        .arg(rows_.size()));
    QChart* old = chart_->chart();
    chart_->setChart(MakeSurveyChart(rows_));
    delete old;
    const auto& cols = SurveyColumns();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < table_->rowCount(); ++r)
        for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
            const SurveyRow& row = rows_[static_cast<std::size_t>(r)];
            auto* item = new QTableWidgetItem(cols[static_cast<std::size_t>(c)].text(row));
            if (cols[static_cast<std::size_t>(c)].number)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 7 && row.drl.exceeds()) item->setForeground(kLevelColour);
            table_->setItem(r, c, item);
        }
    table_->resizeColumnsToContents();
}

bool SurveyWindow::save(const QString& path, const QString& caption, const QString& filter,
                        const QString& proposed, const std::function<std::string()>& bytes) {
    const QString target = !path.isEmpty() ? path
                           : chooseSave_   ? chooseSave_(caption, filter, proposed)
                                           : QString();
    if (target.isEmpty()) return false;
    try {
        WriteFileAtomic(platform::PathFromUtf8(target.toStdString()), bytes());
    } catch (const std::exception& e) {
        messenger().beep();
        messenger().show(this, QStringLiteral("保存できませんでした\n") + Q(e.what()),
                         Icon::Exclamation);
        return false;
    }
    return true;
}

bool SurveyWindow::saveCsv(const QString& path) {
    return save(path, QStringLiteral("調査集計を CSV で保存"), QStringLiteral("CSV (*.csv)"),
                QStringLiteral("線量調査集計.csv"),
                [this] { return records::SurveyFileBytes(rows_); });
}

bool SurveyWindow::savePng(const QString& path) {
    return save(path, QStringLiteral("調査集計の図を PNG で保存"), QStringLiteral("PNG (*.png)"),
                QStringLiteral("線量調査集計.png"), [this] {
                    const QByteArray b = SurveyChartPng(rows_);
                    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
                });
}

bool SurveyWindow::savePdf(const QString& path) {
    return save(path, QStringLiteral("調査集計を PDF で保存"), QStringLiteral("PDF (*.pdf)"),
                QStringLiteral("線量調査集計.pdf"), [this] {
                    const QByteArray b = SurveyPdf(rows_, heading_);
                    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
                });
}

}  // namespace dovex::ui
