// SPDX-License-Identifier: MIT
#include "results/gui/datadialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "engine/textio.h"
#include "results/gui/resultscontext.h"
#include "results/gui/resultswindow.h"
#include "ui/enterkey.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/soledialog.h"

namespace dovex::ui {
namespace {

std::filesystem::path ToPath(const QString& s) { return std::filesystem::path(s.toStdU16String()); }

QFont DialogFont(double pt = 10) { return MappedFont(kFontMeiryo, pt); }

QLabel* Caption(const QString& text, QWidget* parent, double pt = 10) {
    auto* l = new QLabel(text, parent);
    l->setFont(DialogFont(pt));
    return l;
}

}  // namespace

// ---- FolderBrowser ----

FolderBrowser::FolderBrowser(const QString& filesCaption, QWidget* parent) : QWidget(parent) {
    drives_ = new QComboBox(this);
    path_ = new QLabel(this);
    path_->setWordWrap(true);
    dirs_ = new QListWidget(this);
    files_ = new QListWidget(this);
    for (QWidget* w : {static_cast<QWidget*>(drives_), static_cast<QWidget*>(path_),
                       static_cast<QWidget*>(dirs_), static_cast<QWidget*>(files_)})
        w->setFont(DialogFont());

    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && drives_->findText(v.rootPath()) < 0)
            drives_->addItem(v.rootPath());
    if (drives_->findText(QDir::homePath()) < 0) drives_->addItem(QDir::homePath());

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(drives_, 0, 0);
    grid->addWidget(Caption(filesCaption, this), 0, 1);
    grid->addWidget(path_, 1, 0);
    grid->addWidget(dirs_, 2, 0);
    grid->addWidget(files_, 1, 1, 2, 1);
    grid->setRowStretch(2, 1);

    // Drive change: errors are ignored and the lists stay as they were.
    connect(drives_, &QComboBox::activated, this,
            [this](int i) { setFolder(drives_->itemText(i)); });
    connect(dirs_, &QListWidget::itemActivated, this, [this](QListWidgetItem* it) {
        if (it) setFolder(QDir(folder_).absoluteFilePath(it->text()));
    });
    connect(files_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* it) { emit fileClicked(it->text()); });
    setFolder(QDir::currentPath());
}

void FolderBrowser::setFolder(const QString& path) {
    QDir d(path);
    if (!d.exists() || !d.isReadable()) return;
    folder_ = QDir::cleanPath(d.absolutePath());
    // The drive list shows the volume that holds the folder.
    const int drive = drives_->findText(QStorageInfo(folder_).rootPath());
    if (drive >= 0) drives_->setCurrentIndex(drive);
    refresh();
}

void FolderBrowser::refresh() {
    QDir d(folder_);
    path_->setText(QDir::toNativeSeparators(folder_));
    dirs_->clear();
    if (!d.isRoot()) dirs_->addItem(QStringLiteral(".."));
    dirs_->addItems(d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    files_->clear();
    files_->addItems(d.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name));
}

QString FolderBrowser::selectedFile() const {
    QListWidgetItem* it = files_->currentItem();
    return it && it->isSelected() ? it->text() : QString();
}

// ---- Data Save ----

DataSaveDialog::DataSaveDialog(ResultsContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle(QStringLiteral("  Data Save"));
    comment_ = new QLineEdit(this);
    name_ = new QLineEdit(this);
    comment_->setFont(DialogFont());
    name_->setFont(DialogFont());
    browser_ = new FolderBrowser(QStringLiteral("既存ファイル名"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* v = new QVBoxLayout(this);
    v->addWidget(Caption(QStringLiteral("計算結果表を保存します"), this, 12));
    v->addWidget(Caption(QStringLiteral("エクセル csv フォーマットで"), this, 12));
    v->addWidget(Caption(QStringLiteral("コメントを入力して下さい"), this));
    v->addWidget(comment_);
    v->addWidget(Caption(QStringLiteral("ファイル名を拡張子なしで入力して下さい"), this));
    v->addWidget(name_);
    v->addWidget(browser_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    v->addLayout(buttons);
    resize(560, 480);
    EnterPressesFocusedButtons(this);

    connect(ok_, &QPushButton::clicked, this, &DataSaveDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &DataSaveDialog::cancel);
    EscapeCancels(this, [this] { cancel(); });
    JoinSoleDialogs(this);
    connect(comment_, &QLineEdit::returnPressed, this, [this] {
        if (!comment_->text().isEmpty()) name_->setFocus();
    });
    connect(name_, &QLineEdit::returnPressed, this, [this] {
        if (!name_->text().isEmpty()) ok_->setFocus();
    });
    // Clicking an existing file puts its name without ".csv" into the name box.
    connect(browser_, &FolderBrowser::fileClicked, this, [this](const QString& f) {
        name_->setText(f.left(std::max<qsizetype>(0, f.size() - 4)));
    });
}

void DataSaveDialog::open() {
    if (!MayOpenSoleDialog(this)) return;
    browser_->refresh();
    comment_->clear();
    name_->clear();
    show();
    raise();
    activateWindow();
    comment_->setFocus();
}

void DataSaveDialog::accept() {
    Messenger& m = messenger();
    if (comment_->text().isEmpty() || name_->text().isEmpty()) {
        m.beep();
        m.show(this, QStringLiteral("　コメントおよびファイル名を入力して下さい　"), Icon::Warning);
        return;
    }
    // The table may have been erased while the dialog stood open.
    if (ctx_.table().empty()) {
        m.show(this, QStringLiteral("保存するデータがありません"), Icon::Warning);
        return;
    }
    const QString stem = name_->text();
    if (CheckResultsFileStem(stem.toStdString())) {
        m.beep();
        m.show(this,
               QStringLiteral("　ファイル名に使えない文字が含まれています　\n"
                              "（\\ / : * ? \" < > | や、末尾の空白・ピリオドなど）\n"
                              "別のファイル名を入力して下さい"),
               Icon::Warning);
        return;
    }
    const ResultsTable& table = ctx_.table();
    std::string bytes;
    try {
        bytes = ResultsFileBytes(table, comment_->text().toStdString(), ctx_.airWOverE());
    } catch (const ResultsFileError&) {
        m.beep();
        m.show(this,
               QStringLiteral("　コメントまたは計算結果に、保存できない文字（シフトJIS "
                              "にない文字）が含まれています　"),
               Icon::Warning);
        return;
    }
    const std::filesystem::path path = ToPath(browser_->folder()) / ToPath(stem + ".csv");
    // An existing file is replaced only when the user says so.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) &&
        !m.askYesNo(this,
                    QStringLiteral("　「") + stem +
                        QStringLiteral(".csv」は既にあります。　\n　置き換えますか？　"),
                    Icon::Question))
        return;
    try {
        WriteFileAtomic(path, bytes);
    } catch (const std::exception& e) {
        m.beep();
        m.show(this,
               QStringLiteral("　ファイルを保存できませんでした　\n") +
                   QString::fromStdString(e.what()),
               Icon::Warning);
        return;
    }
    browser_->refresh();
    m.beep();
    m.show(this, QStringLiteral("　計算結果を エクセル csv形式 で保存しました　"), Icon::None);
    hide();
}

void DataSaveDialog::cancel() { hide(); }

// ---- Data Read ----

DataReadDialog::DataReadDialog(ResultsWindow& window, QWidget* parent)
    : QWidget(parent, Qt::Window), window_(window) {
    setWindowTitle(QStringLiteral("  Data Read"));
    browser_ = new FolderBrowser(QString(), this);
    preview_ = new QLineEdit(this);
    preview_->setReadOnly(true);
    preview_->setFont(DialogFont());
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* v = new QVBoxLayout(this);
    v->addWidget(Caption(QStringLiteral("計算結果表を読み込みます"), this, 12));
    v->addWidget(Caption(QStringLiteral("ファイルを選択して下さい"), this));
    v->addWidget(browser_, 1);
    v->addWidget(Caption(QStringLiteral("このファイルのコメント"), this));
    v->addWidget(preview_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    v->addLayout(buttons);
    resize(560, 440);
    EnterPressesFocusedButtons(this);

    connect(ok_, &QPushButton::clicked, this, &DataReadDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &DataReadDialog::cancel);
    EscapeCancels(this, [this] { cancel(); });
    JoinSoleDialogs(this);
    connect(browser_, &FolderBrowser::fileClicked, this, &DataReadDialog::showPreview);
}

void DataReadDialog::showPreview(const QString& name) {
    auto line = ReadResultsComment(ToPath(QDir(browser_->folder()).absoluteFilePath(name)));
    preview_->setText(line ? QString::fromStdString(*line) : QString());
}

void DataReadDialog::open() {
    if (!MayOpenSoleDialog(this)) return;
    browser_->refresh();
    preview_->clear();
    show();
    raise();
    activateWindow();
}

void DataReadDialog::accept() {
    Messenger& m = messenger();
    const QString name = browser_->selectedFile();
    if (name.isEmpty()) {
        m.beep();
        m.show(this, QStringLiteral("　ファイルを選択して下さい　"), Icon::Warning);
        return;
    }
    ResultsFileContents contents;
    try {
        contents = ReadResultsFile(ToPath(QDir(browser_->folder()).absoluteFilePath(name)));
    } catch (const ResultsFileError& e) {
        // The table, its drawing and the current values stay as they were. The file and the
        // reason (with the line where the reading stopped) tell the user what is wrong.
        m.beep();
        m.show(this,
               QStringLiteral("　*** このファイルは正しく読み込めません　***  \n") + name +
                   QStringLiteral("：") + QString::fromStdString(e.what()),
               Icon::Warning);
        return;
    }
    window_.adoptReadTable(contents.table, contents.airWOverE.value_or(0),
                           contents.airWOverE.has_value());
    hide();
}

void DataReadDialog::cancel() { hide(); }

}  // namespace dovex::ui
