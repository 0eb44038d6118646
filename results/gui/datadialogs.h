// SPDX-License-Identifier: MIT
#pragma once
// The Data Save and Data Read dialogs of the results window. Both are windows of their own, not
// modal; their buttons hide them, so the folder lists keep their place from one use to the next.
#include <QString>
#include <QWidget>

#include "results/csvfile.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dovex::ui {

class ResultsContext;
class ResultsWindow;

// Drive, directory and "*.csv" file lists over one current folder.
class FolderBrowser : public QWidget {
    Q_OBJECT
  public:
    explicit FolderBrowser(const QString& filesCaption, QWidget* parent = nullptr);
    QString folder() const { return folder_; }
    void setFolder(const QString& path);  // ignored when the folder cannot be listed
    void refresh();
    QString selectedFile() const;  // file name in the folder, or empty
    QListWidget* files() const { return files_; }
    QListWidget* dirs() const { return dirs_; }
    QComboBox* drives() const { return drives_; }

  signals:
    void fileClicked(const QString& name);

  private:
    QComboBox* drives_;
    QLabel* path_;
    QListWidget* dirs_;
    QListWidget* files_;
    QString folder_;
};

class DataSaveDialog : public QWidget {
    Q_OBJECT
  public:
    DataSaveDialog(ResultsContext& ctx, QWidget* parent = nullptr);
    // The save command: refreshed list, empty boxes, shown, focus in the comment box.
    void open();
    void accept();  // OK
    void cancel();  // Cancel

    QLineEdit* commentBox() const { return comment_; }
    QLineEdit* nameBox() const { return name_; }
    QPushButton* okButton() const { return ok_; }
    FolderBrowser* browser() const { return browser_; }

  private:
    ResultsContext& ctx_;
    QLineEdit* comment_;
    QLineEdit* name_;
    FolderBrowser* browser_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

class DataReadDialog : public QWidget {
    Q_OBJECT
  public:
    DataReadDialog(ResultsWindow& window, QWidget* parent = nullptr);
    // The read command after its question: refreshed list, empty preview, shown.
    void open();
    void accept();  // OK
    void cancel();  // Cancel

    QLineEdit* preview() const { return preview_; }
    FolderBrowser* browser() const { return browser_; }

  private:
    void showPreview(const QString& name);

    ResultsWindow& window_;
    FolderBrowser* browser_;
    QLineEdit* preview_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace dovex::ui
