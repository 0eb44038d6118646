// SPDX-License-Identifier: MIT
#include "app/helpwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

namespace dovex::app {

namespace {
constexpr const char* kIndexFile = "index.md";
constexpr const char* kUsage = "02-usage.md";
}  // namespace

const std::vector<HelpTopic>& HelpTopics() {
    static const std::vector<HelpTopic> topics = {
        {"", kIndexFile, ""},
        {"dovex::app::MainWindow", kUsage, "2.2 メインウィンドウ"},
        {"dovex::ui::ResultsWindow", kUsage, "2.4 計算結果一覧表"},
        {"dovex::ui::DataSaveDialog", kUsage, "2.4 計算結果一覧表"},
        {"dovex::ui::DataReadDialog", kUsage, "2.4 計算結果一覧表"},
        {"dovex::app::OrganListWindow", kUsage, "2.5 臓器線量と実効線量"},
        {"dovex::app::DepthDoseWindow", kUsage, "2.6 線質・スペクトル・深部線量のグラフとレポート"},
        {"dovex::app::SpectrumWindow", kUsage, "2.6 線質・スペクトル・深部線量のグラフとレポート"},
        {"dovex::ui::ArbitraryFilterDialog", kUsage, "2.3 補助ダイアログ"},
        {"dovex::ui::MeasuredExposureDialog", kUsage, "2.3 補助ダイアログ"},
        {"dovex::ui::FluoroscopyDialog", kUsage, "2.3 補助ダイアログ"},
        {"dovex::ui::UserNameDialog", kUsage, "2.1 起動と利用者名"},
        {"dovex::ui::EffectiveDosePrompt", kUsage, "2.5 臓器線量と実効線量"},
        {"dovex::ui::ExitDialog", kUsage, "2.3 補助ダイアログ"},
        {"dovex::ui::RecordsWindow", kUsage, "2.9 線量記録（DICOM）の読込と線量調査"},
        {"dovex::ui::SurveyWindow", kUsage, "調査集計"},
        {"dovex::ui::ProfileDialog", kUsage, "装置設定"},
    };
    return topics;
}

const HelpTopic& TopicForWindow(const QWidget* w) {
    const auto& topics = HelpTopics();
    for (const QWidget* p = w ? w->window() : nullptr; p; p = p->parentWidget()) {
        const QByteArray name = p->metaObject()->className();
        for (const HelpTopic& t : topics)
            if (*t.windowClass && name == t.windowClass) return t;
    }
    return topics.front();
}

QString FindManualDir(const QString& applicationDir, const QString& sourceDir) {
    const QStringList candidates = {
        QDir(applicationDir).absoluteFilePath(QStringLiteral("../share/doc/dovex/manual")),
        sourceDir};
    for (const QString& dir : candidates) {
        if (dir.isEmpty()) continue;
        if (QFileInfo(QDir(dir).filePath(QString::fromLatin1(kIndexFile))).isFile())
            return QDir(dir).absolutePath();
    }
    return {};
}

HelpWindow::HelpWindow(QString manualDir, QWidget* parent)
    : QWidget(parent, Qt::Window), dir_(std::move(manualDir)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Dovex 取扱説明書"));
    auto* contents = new QPushButton(QStringLiteral("目次"), this);
    auto* back = new QPushButton(QStringLiteral("戻る"), this);
    auto* forward = new QPushButton(QStringLiteral("進む"), this);
    contents->setObjectName(QStringLiteral("ContentsButton"));
    back->setObjectName(QStringLiteral("BackButton"));
    forward->setObjectName(QStringLiteral("ForwardButton"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("ManualBrowser"));
    browser_->setOpenExternalLinks(true);
    missing_ = new QLabel(this);
    missing_->setObjectName(QStringLiteral("ManualMissing"));
    missing_->setWordWrap(true);
    missing_->hide();
    auto* bar = new QHBoxLayout;
    bar->addWidget(contents);
    bar->addWidget(back);
    bar->addWidget(forward);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(missing_);
    layout->addWidget(browser_, 1);
    connect(contents, &QPushButton::clicked, this,
            [this] { showTopic(QString::fromLatin1(kIndexFile)); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    resize(960, 720);
}

bool HelpWindow::showTopic(const QString& file, const QString& heading) {
    const QString path = dir_.isEmpty() ? QString() : QDir(dir_).filePath(file);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        missing_->setText(QStringLiteral("取扱説明書が見つかりません：%1\n"
                                         "（インストール先 /usr/share/doc/dovex/manual）")
                              .arg(path.isEmpty() ? file : path));
        missing_->show();
        return false;
    }
    missing_->hide();
    file_ = file;
    heading_ = heading;
    const QUrl url = QUrl::fromLocalFile(path);
    if (browser_->source() == url)
        browser_->reload();
    else
        browser_->setSource(url, QTextDocument::MarkdownResource);
    if (heading.isEmpty()) {
        browser_->verticalScrollBar()->setValue(0);
        return true;
    }
    return scrollToHeading(heading);
}

bool HelpWindow::scrollToHeading(const QString& heading) {
    QTextDocument* doc = browser_->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0 || b.text().trimmed() != heading) continue;
        QTextCursor c(b);
        browser_->setTextCursor(c);
        // The heading at the top of the view, not merely somewhere in it.
        const QRectF r = doc->documentLayout()->blockBoundingRect(b);
        browser_->verticalScrollBar()->setValue(static_cast<int>(r.top()));
        return true;
    }
    return false;
}

HelpController::HelpController(QString manualDir, QObject* parent)
    : QObject(parent), dir_(std::move(manualDir)) {
    qApp->installEventFilter(this);
}

HelpController::~HelpController() { delete window_.data(); }

void HelpController::helpFor(const QWidget* from) {
    const HelpTopic& topic = TopicForWindow(from);
    if (!window_) window_ = new HelpWindow(dir_);
    window_->show();
    window_->showTopic(QString::fromLatin1(topic.file), QString::fromUtf8(topic.heading));
    window_->raise();
    window_->activateWindow();
}

bool HelpController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        auto* w = qobject_cast<QWidget*>(watched);
        // Delivered to the focus widget first and then up its parents: act once, on the widget
        // that got it first, and not inside the manual itself.
        if (w && w->window() != window_.data()) {
            helpFor(w);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dovex::app
