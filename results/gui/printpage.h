// SPDX-License-Identifier: MIT
#pragma once
// The printed results page: one landscape A4 page in millimetre coordinates, ruled grid, two
// heading lines, one 10 mm band per row and the title line with the user's name.
#include <QString>

#include "results/model.h"

class QPainter;
class QPrinter;

namespace dovex::ui {

// Where the page's millimetre origin lies on the paper: the 285 x 190 mm layout (title from
// y = 12) centred across an A4 landscape sheet and clear of the printers' unprintable edges.
inline constexpr double kPageOriginXMm = 6;
inline constexpr double kPageOriginYMm = 8;

// Draws the page on a painter whose device has `dotsPerMm` pixels per millimetre, the paper's
// top-left corner at the device origin.
void RenderResultsPage(QPainter& p, double dotsPerMm, const ResultsTable& table, double airWOverE,
                       const QString& userName);

// Landscape A4 without margins (the layout keeps its own).
void SetUpResultsPage(QPrinter& printer);

// Prints the page on a set-up printer and ends the document. Returns an empty text when the
// page was sent, otherwise the reason.
QString SendResultsPage(QPrinter& printer, const ResultsTable& table, double airWOverE,
                        const QString& userName);

}  // namespace dovex::ui
