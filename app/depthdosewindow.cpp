// SPDX-License-Identifier: MIT
#include "app/depthdosewindow.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/fonts.h"

namespace dovex::app {

QChart* MakeDepthDoseChart(const DepthDosePlot& p) {
    auto* chart = new QChart;
    chart->setTitle(p.empty() ? QStringLiteral("深部線量 (実効線量の概算の後に表示)")
                              : p.examPart + QStringLiteral("　被写体厚 ") +
                                    QString::number(p.thicknessCm, 'g', 4) +
                                    QStringLiteral(" cm　中心軸深部線量"));
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("深さ (cm)"));
    const double depth = p.empty() ? 20 : std::max(p.thicknessCm, p.depthCm.back() + 0.25);
    x->setRange(0, std::ceil(depth / 5) * 5);
    x->setLabelFormat("%.0f");
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(5);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("深部線量 (%)"));
    y->setRange(0, 110);
    y->setLabelFormat("%.0f");
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(20);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    auto attach = [&](QAbstractSeries* s) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    };

    // Tissue depth ranges first, so that the curves are drawn over them: one shaded strip per
    // tissue, top to bottom in the order of the organ list. The names stand on an axis of their
    // own at the right, each level with its strip: one name to a row, so that no two names and
    // no name and strip overlap, however many tissues there are.
    auto* names = new QCategoryAxis;
    names->setRange(y->min(), y->max());
    names->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    names->setGridLineVisible(false);
    std::vector<std::pair<double, QString>> rows;
    const QColor shades[] = {QColor(60, 140, 60), QColor(130, 80, 180), QColor(190, 130, 30),
                             QColor(40, 130, 180)};
    const int n = static_cast<int>(p.bands.size());
    const double pitch = n > 0 ? std::min(12.0, 96.0 / n) : 0;
    const double xMax = x->max();
    // A row of the report's chart is about two pixels per per cent high: the names get smaller
    // with more tissues so that one line of text fits its row.
    const double namesPt = std::min(7.5, 0.75 * pitch);
    for (int i = 0; i < n; ++i) {
        const DepthDosePlot::Band& b = p.bands[std::size_t(i)];
        QColor c = shades[i % 4];
        // A tissue at one depth (the skin) is drawn 0.3 cm wide so that it can be seen.
        double from = b.fromCm, to = b.toCm;
        if (to - from < 0.3) {
            from = std::max(0.0, std::min(from, xMax - 0.3));
            to = from + 0.3;
        }
        const double level = 104 - pitch * (i + 0.5);
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        upper->append(from, level + pitch * 0.2);
        upper->append(to, level + pitch * 0.2);
        lower->append(from, level - pitch * 0.2);
        lower->append(to, level - pitch * 0.2);
        auto* area = new QAreaSeries(upper, lower);
        area->setName(b.name);
        c.setAlpha(70);
        area->setBrush(c);
        c.setAlpha(200);
        area->setPen(QPen(c, 1));
        attach(area);
        rows.emplace_back(level, b.name);
    }
    if (!rows.empty()) {
        // The category axis takes its labels from the bottom up.
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) names->append(it->second, it->first);
        chart->addAxis(names, Qt::AlignRight);
        auto* anchor = new QLineSeries;  // an axis is drawn only with a series on it
        anchor->append(0, y->min());
        anchor->setPen(Qt::NoPen);
        chart->addSeries(anchor);
        anchor->attachAxis(x);
        anchor->attachAxis(names);
    } else {
        delete names;
    }

    const struct {
        const std::vector<double>* values;
        QString name;
        QColor color;
        Qt::PenStyle style;
    } curves[] = {
        {&p.total, QStringLiteral("全線量"), QColor(0, 0, 0), Qt::SolidLine},
        {&p.primary, QStringLiteral("一次線"), QColor(0, 80, 170), Qt::DashLine},
        {&p.scatter, QStringLiteral("散乱線"), QColor(200, 70, 0), Qt::DotLine},
    };
    for (const auto& cv : curves) {
        auto* s = new QLineSeries;
        s->setName(cv.name);
        for (std::size_t k = 0; k < p.depthCm.size() && k < cv.values->size(); ++k)
            s->append(p.depthCm[k], (*cv.values)[k]);
        QPen pen(cv.color);
        pen.setWidthF(1.8);
        pen.setStyle(cv.style);
        s->setPen(pen);
        attach(s);
    }
    // Only the three curves in the legend; the tissues carry their own labels.
    for (QLegendMarker* m : chart->legend()->markers())
        if (m->series()->type() != QAbstractSeries::SeriesTypeLine || m->series()->name().isEmpty())
            m->setVisible(false);
    chart->legend()->setAlignment(Qt::AlignTop);
    StyleChart(chart);
    for (QAbstractAxis* a : chart->axes())
        if (auto* c = qobject_cast<QCategoryAxis*>(a))
            c->setLabelsFont(ui::MappedFont(ui::kFontMeiryo, namesPt));
    return chart;
}

DepthDoseWindow::DepthDoseWindow(QWidget* parent)
    : ChartWindow(QStringLiteral("深部線量"), parent) {
    setObjectName("DepthDoseWindow");
}

void DepthDoseWindow::setPlot(const DepthDosePlot& p) { setChart(MakeDepthDoseChart(p)); }

}  // namespace dovex::app
