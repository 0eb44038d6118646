// SPDX-License-Identifier: MIT
#pragma once
// The device-profile dialog: the units' profiles (records/mapping.h) as a table to edit, one row
// per profile and one new row for each unit of the events that has none, with the median
// record-to-program kerma ratio of each unit's events beside its output factor as a hint and a
// command that takes it. Saving checks every row with the profile reader, writes the file
// through a temporary file renamed into place and hands the profiles to the window, which
// calculates its events again.
#include <QDialog>
#include <filesystem>
#include <map>
#include <vector>

#include "records/process.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace dovex::ui {

class ProfileDialog : public QDialog {
    Q_OBJECT
  public:
    ProfileDialog(std::filesystem::path file, QWidget* parent = nullptr);

    // Fills the table and shows the dialog.
    void present(const std::vector<records::DeviceProfile>& profiles,
                 const std::vector<records::EventOutcome>& events);
    // The commands: "比を出力係数に" for the current row, and "保存" (false, after a message,
    // when a row cannot be read or the file cannot be written; nothing is changed then).
    void takeHint();
    bool save();

    QTableWidget* table() const { return table_; }
    const std::filesystem::path& file() const { return file_; }
    // The table's column of a profile caption; the hint column follows the last one.
    static int ColumnOf(const char* caption);
    static int HintColumn();

  signals:
    void saved(const std::vector<records::DeviceProfile>& profiles);

  private:
    std::vector<std::string> rowCells(int row) const;
    bool rowHasSettings(int row) const;

    std::filesystem::path file_;
    QTableWidget* table_ = nullptr;
    QLabel* note_ = nullptr;
    std::vector<bool> existing_;  // the row holds a profile of the file
    std::map<std::string, records::Spread> ratios_;
};

}  // namespace dovex::ui
