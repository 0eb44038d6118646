// SPDX-License-Identifier: MIT
#pragma once
// The department survey of the events shown: per unit and exam part the count and the quartiles
// of the entrance surface air kerma, a box per unit and exam part with the reference level drawn
// over it, the same table below; saved as the survey CSV of records/, as a PNG of the chart and
// as a one-page A4 PDF (the chart, the table, the date and the user's name).
#include <QDate>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "records/gui/recordscontext.h"
#include "records/process.h"

class QPainter;
class QRectF;
class QTableWidget;
class QLabel;

class QChart;
class QChartView;

namespace dovex::ui {

// A column of the survey table, on screen and on the page.
struct SurveyColumn {
    const char* caption;
    std::function<QString(const records::SurveyRow&)> text;
    bool number = true;
};
const std::vector<SurveyColumn>& SurveyColumns();

// What the survey covers and who made it.
struct SurveyHeading {
    long events = 0;
    QString scope;  // the unit and exam part chosen, empty for all events shown
    QString user;
    QDate date;
};

// The chart of a survey: one box per row (quartiles, whiskers to the smallest and largest
// value), the reference level as a red bar over each box that has one. The caller owns it.
QChart* MakeSurveyChart(const std::vector<records::SurveyRow>& rows);

// Draws the survey page into `page` (the painter's device coordinates of an A4 page).
void PaintSurveyPage(QPainter& p, const QRectF& page, const std::vector<records::SurveyRow>& rows,
                     const SurveyHeading& heading);

// The one-page PDF and the PNG of the chart, as bytes.
QByteArray SurveyPdf(const std::vector<records::SurveyRow>& rows, const SurveyHeading& heading);
QByteArray SurveyChartPng(const std::vector<records::SurveyRow>& rows, int width = 1600,
                          int height = 900);

class SurveyWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SurveyWindow(QWidget* parent = nullptr);
    void setSurvey(std::vector<records::SurveyRow> rows, long events, const QString& scope,
                   const QString& user);
    const std::vector<records::SurveyRow>& rows() const { return rows_; }
    const SurveyHeading& heading() const { return heading_; }
    QTableWidget* table() const { return table_; }
    QChartView* chartView() const { return chart_; }
    void setSaveChooser(SaveChooser f) { chooseSave_ = std::move(f); }

    // The save commands; with no path the user chooses one. False when nothing was written.
    bool saveCsv(const QString& path = {});
    bool savePng(const QString& path = {});
    bool savePdf(const QString& path = {});

  private:
    bool save(const QString& path, const QString& caption, const QString& filter,
              const QString& proposed, const std::function<std::string()>& bytes);

    std::vector<records::SurveyRow> rows_;
    SurveyHeading heading_;
    QLabel* title_ = nullptr;
    QChartView* chart_ = nullptr;
    QTableWidget* table_ = nullptr;
    SaveChooser chooseSave_;
};

}  // namespace dovex::ui
