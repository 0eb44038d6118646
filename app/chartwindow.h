// SPDX-License-Identifier: MIT
#pragma once
// A window holding one chart, with "画像をコピー" (the chart as an image to the clipboard) and
// "PNG で保存" (the chart as a PNG file).
#include <QWidget>

class QChart;
class QChartView;
class QLabel;

namespace dovex::app {

class ChartWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ChartWindow(const QString& title, QWidget* parent = nullptr);

    // Replaces the chart shown (the window owns it).
    void setChart(QChart* chart);
    QChartView* view() const { return view_; }
    // The chart drawn at the view's size, as the copy and save commands produce it.
    QImage image() const;
    // Writes the image as PNG through a temporary file; false with `error` set on failure.
    bool savePng(const QString& path, QString* error) const;

  private:
    QChartView* view_ = nullptr;
};

// Fonts of every chart: Japanese captions in the mapped CJK face, sized for reading at 100 %.
void StyleChart(QChart* chart);

}  // namespace dovex::app
