// SPDX-License-Identifier: MIT
#pragma once
// The table surface of the results window. Like a picture box that keeps what was printed on it,
// it holds a list of what has been drawn since it was last cleared (texts with their font and
// colour, white boxes) and replays it, scaled from its 1160 x 909 unit coordinate system to the
// widget, whenever it repaints. The grid lines are separate: shown or hidden as a whole.
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <vector>

#include "results/layout.h"

namespace dovex::ui {

class ResultsSurface : public QWidget {
    Q_OBJECT
  public:
    struct TextItem {
        double x = 0, y = 0;
        QString text;
        QString face;
        double pointSize = 12;
        QColor color;
        double maxWidth = 0;  // surface units, 0 = no limit
    };
    struct BoxItem {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };

    explicit ResultsSurface(QWidget* parent = nullptr);

    // Removes everything drawn (the grid keeps its visibility).
    void clear();
    void drawText(const PlacedText& t, const QString& face, double pointSize, const QColor& color);
    void fillWhiteBox(double x1, double y1, double x2, double y2);
    void setFrameVisible(bool on);
    bool frameVisible() const { return frame_; }

    // What is on the surface, for the tests: the last text drawn at (x, y), or a null string.
    QString textAt(double x, double y) const;
    const std::vector<TextItem>& texts() const { return texts_; }
    int drawCount() const { return static_cast<int>(order_.size()); }

    // Surface units to widget pixels.
    QPointF toWidget(double x, double y) const;

    QSize sizeHint() const override { return {1180, 545}; }
    QSize minimumSizeHint() const override { return {590, 272}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    struct Op {
        bool box = false;
        std::size_t index = 0;
    };
    std::vector<TextItem> texts_;
    std::vector<BoxItem> boxes_;
    std::vector<Op> order_;
    bool frame_ = false;
};

// Font size in pixels for a point size on a surface of the given widget size.
double SurfaceFontPixels(double pointSize, const QSizeF& widgetSize);

}  // namespace dovex::ui
