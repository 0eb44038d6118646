// SPDX-License-Identifier: MIT
#include "app/spectrumwindow.h"

#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/qualitypanel.h"

namespace dovex::app {
namespace {

QLineSeries* Normalised(const FineArray& values, double kv, const QString& name) {
    auto* series = new QLineSeries;
    series->setName(name);
    double top = 0;
    for (long i = 1; i <= 300; ++i) top = std::max(top, values[i]);
    const long last = std::min<long>(300, static_cast<long>(std::floor(2 * kv)));
    for (long i = 1; i <= last; ++i) series->append(FineEnergy(i), top > 0 ? values[i] / top : 0.0);
    return series;
}

}  // namespace

QString SpectrumTitle(const ExposureConditions& c, const BeamQuality& q) {
    QString t = QualityText(c.tubeVoltage, "##0") + QStringLiteral(" kV　総ろ過 ") +
                QualityText(10 * (c.inherentFilter + c.addedAl), "#0.0#") + QStringLiteral(" mmAl");
    if (c.addedCu > 0)
        t += QStringLiteral(" + ") + QualityText(10 * c.addedCu, "#0.0#") + QStringLiteral(" mmCu");
    if (!c.arbitraryFilterName.empty() && c.arbitraryFilterThickness > 0)
        t += QStringLiteral(" + ") + QualityText(10 * c.arbitraryFilterThickness, "#0.0#") +
             QStringLiteral(" mm ") + QString::fromStdString(c.arbitraryFilterName);
    t += QStringLiteral("　HVL1 ") + QualityText(q.hvl1MmAl, "#0.00") +
         QStringLiteral(" mmAl　実効エネルギー ") + QualityText(q.effectiveEnergyKeV, "#0.0") +
         QStringLiteral(" keV");
    return t;
}

QChart* MakeSpectrumChart(const XraySpectrum& s, const ExposureConditions& c,
                          const BeamQuality& q) {
    auto* chart = new QChart;
    chart->setTitle(SpectrumTitle(c, q));
    QLineSeries* fluence =
        Normalised(s.fluence, c.tubeVoltage, QStringLiteral("光子フルエンス (0.5 keV 毎)"));
    QLineSeries* kerma = Normalised(s.airKerma, c.tubeVoltage, QStringLiteral("空気カーマ"));
    QPen pf(QColor(0, 80, 170));
    pf.setWidthF(1.6);
    fluence->setPen(pf);
    QPen pk(QColor(200, 70, 0));
    pk.setWidthF(1.6);
    pk.setStyle(Qt::DashLine);
    kerma->setPen(pk);
    chart->addSeries(fluence);
    chart->addSeries(kerma);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("光子エネルギー (keV)"));
    x->setRange(0, std::max(10.0, std::ceil(c.tubeVoltage / 10) * 10));
    x->setLabelFormat("%.0f");
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(c.tubeVoltage > 80 ? 20 : 10);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("相対値 (最大 = 1)"));
    y->setRange(0, 1.1);
    y->setLabelFormat("%.1f");
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(0.2);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* l : {fluence, kerma}) {
        l->attachAxis(x);
        l->attachAxis(y);
    }
    chart->legend()->setAlignment(Qt::AlignTop);
    StyleChart(chart);
    return chart;
}

SpectrumWindow::SpectrumWindow(QWidget* parent)
    : ChartWindow(QStringLiteral("Ｘ線スペクトル"), parent) {
    setObjectName("SpectrumWindow");
}

void SpectrumWindow::setSpectrum(const XraySpectrum& s, const ExposureConditions& c,
                                 const BeamQuality& q) {
    setChart(MakeSpectrumChart(s, c, q));
}

}  // namespace dovex::app
