// SPDX-License-Identifier: MIT
#pragma once
// "  任意フィルター設定": one extra filter of any element ("*.ele") or mixture ("*.mix") file of
// the data folder, with its thickness in mm.
#include <filesystem>
#include <functional>

#include "dialogs/dialogbase.h"
#include "engine/conditions.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace dovex::ui {

class ArbitraryFilterDialog : public DialogWindow {
    Q_OBJECT
  public:
    struct Choice {
        QString materialName;   // first line of the material file
        FineArray mu;           // linear attenuation coefficient per cm on the fine grid
        QString thicknessText;  // as typed, in mm
        double thicknessCm = 0;
    };
    ArbitraryFilterDialog(std::filesystem::path folder, QWidget* parent = nullptr);

    // "設 定" succeeded / "解 除" was used.
    std::function<void(const Choice&)> onSet;
    std::function<void()> onRemove;

    // Opening from the main window: material display and thickness emptied, list refreshed.
    void openFresh();
    void refreshList();

    void applyCommand();   // "設 定"
    void removeCommand();  // "解 除"

    QListWidget* fileList() const { return files_; }
    QLineEdit* thicknessBox() const { return thickness_; }
    QLabel* materialLabel() const { return material_; }

  private:
    void fileChosen();
    std::filesystem::path selectedFile() const;

    std::filesystem::path folder_;
    QListWidget* files_ = nullptr;
    QLabel* material_ = nullptr;
    QLineEdit* thickness_ = nullptr;
    QWidget* applyButton_ = nullptr;
};

}  // namespace dovex::ui
