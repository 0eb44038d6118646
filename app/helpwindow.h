// SPDX-License-Identifier: MIT
#pragma once
// The user's manual in a window of its own: the Japanese Markdown chapters of docs/manual
// (installed in share/doc/dovex/manual), opened by F1 from any of the program's windows at the
// chapter and section that describe that window.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QTextBrowser;
class QLabel;

namespace dovex::app {

// Where F1 in a window leads: the chapter file of the manual and the heading of its section.
struct HelpTopic {
    const char* windowClass;  // class name of the window (QMetaObject::className)
    const char* file;         // chapter file in the manual folder
    const char* heading;      // text of the section's heading; empty: the chapter's top
};

// One row per window of the program; the first row is the manual's table of contents, used for
// a window without a row of its own.
const std::vector<HelpTopic>& HelpTopics();

// The row of the window that holds `w` (its top-level window, or the nearest window up its
// parents that has a row), else the table of contents.
const HelpTopic& TopicForWindow(const QWidget* w);

// The manual folder: share/doc/dovex/manual beside the program's bin/ when installed, else the
// source tree's docs/manual (`sourceDir`) for a program run from its build folder. Empty when
// neither holds the manual's index.md.
QString FindManualDir(const QString& applicationDir, const QString& sourceDir);

class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QString manualDir, QWidget* parent = nullptr);

    // Shows `file` of the manual, scrolled to the heading `heading` (empty: the top). False,
    // with the reason in the window, when the manual or the chapter is missing.
    bool showTopic(const QString& file, const QString& heading = {});

    QTextBrowser* browser() const { return browser_; }
    // The chapter shown (file name) and the heading scrolled to.
    QString currentFile() const { return file_; }
    QString currentHeading() const { return heading_; }

  private:
    bool scrollToHeading(const QString& heading);

    QString dir_;
    QString file_;
    QString heading_;
    QTextBrowser* browser_ = nullptr;
    QLabel* missing_ = nullptr;
};

// Opens the manual on F1: an application-wide event filter that shows the help window at the
// topic of the window in which F1 was pressed. The help window is created on first use.
class HelpController : public QObject {
    Q_OBJECT
  public:
    explicit HelpController(QString manualDir, QObject* parent = nullptr);
    ~HelpController() override;

    // Shows the help window at the topic of `from`'s window and raises it.
    void helpFor(const QWidget* from);
    HelpWindow* window() const { return window_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QString dir_;
    QPointer<HelpWindow> window_;
};

}  // namespace dovex::app
