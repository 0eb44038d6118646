// SPDX-License-Identifier: MIT
#pragma once
// What the results table window needs from the rest of the program. The application implements
// it over its program-wide state and its main window; the tests implement it with a fake.
#include <QString>

#include "results/model.h"

namespace dovex::ui {

class ResultsContext {
  public:
    virtual ~ResultsContext() = default;

    // The program-wide results table (the window draws it; save, read, erase and print use it).
    virtual ResultsTable& table() = 0;
    // The user's display name for the banner and the printed title line.
    virtual QString userName() const = 0;
    // The W value of air (PhysicsTables::airWOverE): written in every column of the results
    // file and the printout; a file read stores the file's value into it.
    virtual double& airWOverE() = 0;
    // Makes a stored row the current calculation's values (conditions, entrance surface and its
    // dimensions, beam-quality values, results, effective dose). Called for each row in turn by
    // a successful file read and by printing; LoadRowIntoCurrent (results/model.h) does the
    // copying. The main window's entry boxes and result fields are not updated.
    virtual void loadRowAsCurrent(const ResultRow& row) = 0;
    // The main window's part of the erase command: empty the exposure display and the eight
    // result fields (backscatter, conversion, entrance doses; the effective dose field keeps its
    // text), remove the arbitrary filter (name empty, thickness 0, off, its two labels empty)
    // and hide the arbitrary filter window, select "デフォルト出力データを利用"
    // (exposureSource 2), disable the add command and put the focus on the calculate command.
    virtual void resetMainAfterErase() = 0;
    // The main window's part of printing, after the page was sent: empty the exposure display,
    // the eight result fields and the two arbitrary-filter labels, set arbitraryFilterOn to 0
    // (name and thickness stay, the filter window stays), select "デフォルト出力データを利用".
    virtual void resetMainAfterPrint() = 0;
    // "結果表を背面へ": shows the main window and brings it in front of the table window.
    virtual void showMainWindow() = 0;
};

}  // namespace dovex::ui
