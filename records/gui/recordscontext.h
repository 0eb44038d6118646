// SPDX-License-Identifier: MIT
#pragma once
// What the dose-record windows ask of the program around them: the main window's conditions set
// from an event, the results table filled with calculated events, and the user's name for the
// survey page. The application implements it; the windows hold no main window or table of their
// own.
#include <QString>
#include <functional>

#include "engine/conditions.h"
#include "engine/dose.h"

namespace dovex::ui {

// Chooses where a file is saved: the dialog's caption, its file filter and the name proposed;
// an empty answer cancels. Tests replace the file dialog with one.
using SaveChooser =
    std::function<QString(const QString& caption, const QString& filter, const QString& proposed)>;

class RecordsContext {
  public:
    virtual ~RecordsContext() = default;
    // Sets every condition of the main window from an event; `source` names the file and the
    // event, shown there until a condition is changed.
    virtual void applyRecordConditions(const ExposureConditions& c, const ArbitraryFilter& filter,
                                       const QString& source) = 0;
    // The rows still free in the results table.
    virtual int resultsRoom() const = 0;
    // Keeps a calculated event as the next row of the results table; false when it is full.
    virtual bool appendRecordResult(const ExposureConditions& c, const DoseResult& d) = 0;
    // The user's display name (empty in the unnamed state).
    virtual QString recordsUserName() const = 0;
};

}  // namespace dovex::ui
