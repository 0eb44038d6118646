// SPDX-License-Identifier: MIT
#include "records/gui/recordswindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <set>

#include "engine/platform.h"
#include "records/gui/eventtable.h"
#include "records/gui/profiledialog.h"
#include "records/gui/surveywindow.h"
#include "results/model.h"
#include "ui/enterkey.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/soledialog.h"

namespace dovex::ui {

namespace fs = std::filesystem;
using records::EventOutcome;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const QString kAll = QStringLiteral("（すべて）");

// The items a refusal names, as the window calls them.
QString ItemName(const std::string& check) {
    static const std::pair<const char*, const char*> k[] = {
        {"kvp", "管電圧"},
        {"kv", "管電圧"},
        {"exposure", "mAs"},
        {"sid", "SID"},
        {"fsd", "FSD"},
        {"field", "照射野"},
        {"filter", "フィルタ"},
        {"geometry", "距離と厚さ"},
        {"rectification", "整流方式"},
        {"phantom", "ファントム"},
        {"calculation", "計算"},
    };
    for (const auto& [word, name] : k)
        if (check == word) return QString::fromUtf8(name);
    return Q(check);
}

// The event table, whose columns the window sizes from their values.
class EventView : public QTableView {
  public:
    using QTableView::QTableView;
    using QTableView::sizeHintForColumn;
};

QTableWidget* ListTable(QWidget* parent, const QStringList& headings) {
    auto* t = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    t->setHorizontalHeaderLabels(headings);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

void AddRow(QTableWidget* t, const QStringList& cells) {
    const int r = t->rowCount();
    t->insertRow(r);
    for (int c = 0; c < cells.size(); ++c) t->setItem(r, c, new QTableWidgetItem(cells[c]));
}

}  // namespace

// One run: what it reads or calculates again, and what it leaves. The worker thread writes the
// counters and, before it ends, the outcome; the window reads the counters while it runs and the
// outcome once the thread has finished.
struct RecordsWindow::Job {
    bool read = true;
    std::vector<fs::path> paths;             // read when `read`
    std::vector<records::DoseEvent> events;  // calculated again otherwise
    records::ProcessOptions options;
    fs::path dataDir;
    std::shared_ptr<records::RecordData> data;  // null: the run loads it first
    std::atomic<bool> cancel{false};
    std::atomic<int> stage{0};  // 0 loading the data, 1 reading files, 2 calculating events
    std::atomic<std::size_t> done{0}, total{0};
    records::RunOutcome run;
    std::string error;  // the data could not be loaded

    void work() {
        try {
            if (!data) {
                auto d = std::make_shared<records::RecordData>();
                records::LoadRecordData(*d, dataDir);
                data = std::move(d);
            }
            auto progress = [this](records::Stage s, std::size_t n, std::size_t all) {
                stage = s == records::Stage::Reading ? 1 : 2;
                total = all;
                done = n;
            };
            if (read) {
                run = records::ProcessRecords(paths, *data, dataDir, options, progress, &cancel);
            } else {
                run.events =
                    records::ProcessEvents(events, *data, dataDir, options, progress, &cancel);
                run.cancelled = cancel.load();
            }
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
};

RecordsWindow::RecordsWindow(RecordsContext& ctx, fs::path dataDir, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), dataDir_(std::move(dataDir)) {
    setObjectName("RecordsWindow");
    setWindowTitle(QStringLiteral("線量記録 ― Dovex-SE"));
    setFont(MappedFont(kFontMeiryo, 9));

    filesButton_ = new QPushButton(QStringLiteral("ファイルを開く(&F)…"), this);
    filesButton_->setObjectName("OpenFiles");
    folderButton_ = new QPushButton(QStringLiteral("フォルダを開く(&D)…"), this);
    folderButton_->setObjectName("OpenFolder");
    stopButton_ = new QPushButton(QStringLiteral("中止(&S)"), this);
    stopButton_->setObjectName("Stop");
    estimateBox_ = new QCheckBox(QStringLiteral("実効線量も推定する(&E)"), this);
    estimateBox_->setObjectName("Estimate");
    estimateBox_->setChecked(estimate_);
    estimateBox_->setToolTip(
        QStringLiteral("外すと入射表面線量だけを計算します（多数の記録の調査が速くなります）"));
    profilesButton_ = new QPushButton(QStringLiteral("装置設定(&P)…"), this);
    profilesButton_->setObjectName("Profiles");
    auto* top = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(filesButton_), static_cast<QWidget*>(folderButton_),
                       static_cast<QWidget*>(stopButton_)})
        top->addWidget(w);
    top->addSpacing(16);
    top->addWidget(estimateBox_);
    top->addStretch();
    top->addWidget(profilesButton_);

    unitChoice_ = new QComboBox(this);
    unitChoice_->setObjectName("UnitChoice");
    unitChoice_->setMinimumWidth(220);
    unitChoice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    partChoice_ = new QComboBox(this);
    partChoice_->setObjectName("PartChoice");
    partChoice_->setMinimumWidth(140);
    count_ = new QLabel(this);
    count_->setObjectName("Count");
    auto* unitCaption = new QLabel(QStringLiteral("装置(&U)"), this);
    unitCaption->setBuddy(unitChoice_);
    auto* partCaption = new QLabel(QStringLiteral("撮影部位(&B)"), this);
    partCaption->setBuddy(partChoice_);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(unitCaption);
    filterRow->addWidget(unitChoice_);
    filterRow->addSpacing(12);
    filterRow->addWidget(partCaption);
    filterRow->addWidget(partChoice_);
    filterRow->addStretch();
    filterRow->addWidget(count_);

    model_ = new EventTableModel(this);
    filter_ = new EventFilter(this);
    filter_->setSourceModel(model_);
    filter_->setSortRole(Qt::UserRole);
    view_ = new EventView(this);
    view_->setObjectName("Events");
    view_->setModel(filter_);
    view_->setSortingEnabled(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->setDefaultSectionSize(20);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view_->installEventFilter(this);

    refused_ = ListTable(this, {QStringLiteral("ファイル"), QStringLiteral("事象"),
                                QStringLiteral("項目"), QStringLiteral("理由")});
    refused_->setObjectName("Refused");
    skipped_ = ListTable(this, {QStringLiteral("ファイル"), QStringLiteral("理由")});
    skipped_->setObjectName("Skipped");
    tabs_ = new QTabWidget(this);
    tabs_->addTab(view_, QString());
    tabs_->addTab(refused_, QString());
    tabs_->addTab(skipped_, QString());

    progress_ = new QProgressBar(this);
    progress_->setObjectName("Progress");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setMaximumWidth(320);
    status_ = new QLabel(this);
    status_->setObjectName("Status");
    auto* note = new QLabel(
        QStringLiteral(
            "* 記録にない値（仮定した値）：ポインタを置くと何をなぜ仮定したかを表示します"),
        this);
    note->setStyleSheet("color: #705000;");
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(progress_);
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(note);

    applyButton_ = new QPushButton(QStringLiteral("条件に反映(&A)"), this);
    applyButton_->setObjectName("Apply");
    applyButton_->setToolTip(
        QStringLiteral("選んだ事象の条件をメイン画面に設定します（ダブルクリックでも同じ）"));
    addButton_ = new QPushButton(QStringLiteral("結果表に追加(&R)"), this);
    addButton_->setObjectName("AddToTable");
    surveyButton_ = new QPushButton(QStringLiteral("調査集計(&T)…"), this);
    surveyButton_->setObjectName("Survey");
    auto* closeButton = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    closeButton->setObjectName("Close");
    auto* commands = new QHBoxLayout;
    commands->addWidget(applyButton_);
    commands->addWidget(addButton_);
    commands->addWidget(surveyButton_);
    commands->addStretch();
    commands->addWidget(closeButton);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(filterRow);
    outer->addWidget(tabs_, 1);
    outer->addLayout(statusRow);
    outer->addLayout(commands);

    connect(filesButton_, &QPushButton::clicked, this, [this] { chooseFiles(); });
    connect(folderButton_, &QPushButton::clicked, this, [this] { chooseFolder(); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { stopRun(); });
    connect(estimateBox_, &QCheckBox::toggled, this, [this](bool on) { setEstimate(on); });
    connect(profilesButton_, &QPushButton::clicked, this, [this] { openProfiles(); });
    connect(applyButton_, &QPushButton::clicked, this, [this] { applySelected(); });
    connect(addButton_, &QPushButton::clicked, this, [this] { addSelected(); });
    connect(surveyButton_, &QPushButton::clicked, this, [this] { openSurvey(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    connect(view_, &QTableView::doubleClicked, this, [this] { applySelected(); });
    connect(view_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this] { fitColumns(); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateCommands(); });
    connect(unitChoice_, &QComboBox::currentIndexChanged, this, [this] { choiceChanged(); });
    connect(partChoice_, &QComboBox::currentIndexChanged, this, [this] { choiceChanged(); });
    EnterPressesFocusedButtons(this);
    EscapeCancels(this, [this] {
        if (running())
            stopRun();
        else
            close();
    });

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, [this] { showProgress(); });

    chooseFiles_ = [this] {
        return QFileDialog::getOpenFileNames(this, QStringLiteral("線量記録（DICOM）を開く"), {},
                                             QStringLiteral("DICOM (*.dcm *.DCM *);;すべて (*)"));
    };
    chooseFolder_ = [this] {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("線量記録のフォルダを開く"));
    };
    chooseSave_ = [this](const QString& caption, const QString& filter, const QString& proposed) {
        return QFileDialog::getSaveFileName(this, caption, proposed, filter);
    };
    showRun();
    resize(1300, 660);
}

RecordsWindow::~RecordsWindow() {
    // A run going on is stopped between two files or events and waited for.
    if (job_) {
        job_->cancel = true;
        thread_->disconnect(this);
        thread_->wait();
        delete thread_;
    }
}

void RecordsWindow::setSaveChooser(SaveChooser f) { chooseSave_ = std::move(f); }

SurveyWindow* RecordsWindow::surveyWindow() const { return survey_; }
ProfileDialog* RecordsWindow::profileDialog() const { return profiles_; }

bool RecordsWindow::eventFilter(QObject* watched, QEvent* e) {
    // Enter on an event of the table sets the main window's conditions from it, as a double
    // click does.
    if (watched == view_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            applySelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void RecordsWindow::chooseFiles() {
    const QStringList files = chooseFiles_();
    if (!files.isEmpty()) readPaths(files);
}

void RecordsWindow::chooseFolder() {
    const QString dir = chooseFolder_();
    if (!dir.isEmpty()) readPaths({dir});
}

bool RecordsWindow::readPaths(const QStringList& paths) {
    if (running()) {
        messenger().beep();
        messenger().show(this, QStringLiteral("読込中です。終わるまで待つか、中止して下さい"),
                         Icon::Exclamation);
        return false;
    }
    auto job = std::make_shared<Job>();
    for (const QString& p : paths) job->paths.push_back(platform::PathFromUtf8(p.toStdString()));
    job->read = true;
    start(std::move(job));
    return true;
}

void RecordsWindow::recalculate() {
    if (running() || run_.read.events.empty()) return;
    auto job = std::make_shared<Job>();
    job->read = false;
    job->events = run_.read.events;
    start(std::move(job));
}

void RecordsWindow::start(std::shared_ptr<Job> job) {
    job->options.estimate = estimate_;
    job->dataDir = dataDir_;
    job->data = data_;
    job_ = job;
    thread_ = QThread::create([job] { job->work(); });
    connect(thread_, &QThread::finished, this, [this] { finish(); });
    status_->setText(job->data ? QString() : QStringLiteral("データを読み込んでいます…"));
    progress_->setRange(0, 0);  // busy until the first count
    updateCommands();
    poll_->start();
    thread_->start();
}

void RecordsWindow::stopRun() {
    if (job_) job_->cancel = true;
}

void RecordsWindow::showProgress() {
    if (!job_) return;
    const std::size_t total = job_->total, done = job_->done;
    const int stage = job_->stage;
    if (stage == 0 || total == 0) return;
    progress_->setRange(0, static_cast<int>(total));
    progress_->setValue(static_cast<int>(done));
    status_->setText(stage == 1 ? QStringLiteral("読込中 %1 / %2 ファイル").arg(done).arg(total)
                                : QStringLiteral("計算中 %1 / %2 事象").arg(done).arg(total));
}

void RecordsWindow::finish() {
    poll_->stop();
    std::shared_ptr<Job> job = std::move(job_);
    job_.reset();
    thread_->wait();
    thread_->deleteLater();
    thread_ = nullptr;
    progress_->setRange(0, 1);
    progress_->setValue(job->error.empty() && !job->cancel.load() ? 1 : 0);
    if (!job->error.empty()) {
        status_->setText(QStringLiteral("読み込めませんでした"));
        updateCommands();
        messenger().beep();
        messenger().show(this, QStringLiteral("データファイルを読み込めません\n") + Q(job->error),
                         Icon::Exclamation);
        emit runFinished();
        return;
    }
    data_ = job->data;
    const bool cancelled = job->run.cancelled;
    // The table lets go of the events before they are replaced.
    model_->setEvents({});
    if (job->read) {
        run_ = std::move(job->run);
        paths_ = std::move(job->paths);
    } else if (!job->run.cancelled) {
        run_.events = std::move(job->run.events);
    }
    showRun();
    if (cancelled)
        status_->setText(job->read
                             ? QStringLiteral("中止しました（中止までに読んだ %1 事象を表示）")
                                   .arg(run_.events.size())
                             : QStringLiteral("再計算を中止しました（前の結果を表示）"));
    else
        status_->setText(QStringLiteral("%1 ファイルから %2 事象を計算しました")
                             .arg(run_.read.filesRead)
                             .arg(run_.computed()));
    emit runFinished();
}

void RecordsWindow::showRun() {
    std::vector<const EventOutcome*> computed;
    refused_->setRowCount(0);
    for (const EventOutcome& o : run_.events) {
        if (o.result) {
            computed.push_back(&o);
        } else if (o.refusal) {
            // The file and the event have their own cells; the reason in Japanese where the
            // mapping or the calculation gives one.
            std::string why = o.refusal->messageJa;
            if (why.empty()) {
                why = o.refusal->message;
                const std::string where =
                    o.event.file + " event " + std::to_string(o.event.index) + ": ";
                if (why.rfind(where, 0) == 0) why.erase(0, where.size());
            }
            AddRow(refused_, {QFileInfo(Q(o.event.file)).fileName(), QString::number(o.event.index),
                              ItemName(o.refusal->check), Q(why)});
        }
    }
    skipped_->setRowCount(0);
    for (const records::SkippedFile& s : run_.read.skipped)
        AddRow(skipped_, {Q(s.file), Q(s.reason)});
    for (const records::OtherEvent& o : run_.read.others)
        AddRow(skipped_, {Q(o.file) + QStringLiteral(" 事象 ") + QString::number(o.index),
                          QStringLiteral("撮影ではない事象（") + Q(o.kindText) +
                              QStringLiteral("）：計算しません")});
    model_->setEvents(computed);
    tabs_->setTabText(0, QStringLiteral("計算した事象 (%1)").arg(computed.size()));
    tabs_->setTabText(1, QStringLiteral("計算できなかった事象 (%1)").arg(refused_->rowCount()));
    tabs_->setTabText(
        2, QStringLiteral("読まなかったファイル・撮影以外の事象 (%1)").arg(skipped_->rowCount()));
    refused_->resizeColumnsToContents();
    fillChoices();
    fitColumns();
    updateCommands();
}

void RecordsWindow::fitColumns() {
    // Each column as wide as its values or the longest line of its caption (and the sort mark),
    // so that the doses and the reference level stay in view on a laptop's screen.
    QHeaderView* header = view_->horizontalHeader();
    const QFontMetrics fm(header->font());
    for (int c = 0; c < model_->columnCount(); ++c) {
        int caption = 0;
        for (const QString& line :
             model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split('\n'))
            caption = std::max(caption, fm.horizontalAdvance(line));
        caption += c == header->sortIndicatorSection() ? 34 : 18;
        view_->setColumnWidth(
            c, std::max(static_cast<EventView*>(view_)->sizeHintForColumn(c), caption));
    }
}

void RecordsWindow::fillChoices() {
    std::set<QString> units, parts;
    for (const EventOutcome& o : run_.events)
        if (o.result) {
            units.insert(Q(o.mapped.unit));
            parts.insert(Q(o.result->conditions.examPart));
        }
    for (auto [box, values] : {std::pair{unitChoice_, &units}, std::pair{partChoice_, &parts}}) {
        const QString was = box->currentText();
        const QSignalBlocker block(box);
        box->clear();
        box->addItem(kAll);
        for (const QString& v : *values) box->addItem(v);
        const int i = box->findText(was);
        box->setCurrentIndex(i > 0 ? i : 0);
    }
    choiceChanged();
}

void RecordsWindow::choiceChanged() {
    auto chosen = [](QComboBox* b) { return b->currentIndex() > 0 ? b->currentText() : QString(); };
    filter_->setChoice(chosen(unitChoice_), chosen(partChoice_));
    count_->setText(
        QStringLiteral("表示 %1 / %2 事象").arg(filter_->rowCount()).arg(model_->rowCount()));
    updateCommands();
}

void RecordsWindow::updateCommands() {
    const bool busy = running();
    const int selected = static_cast<int>(selectedEvents().size());
    filesButton_->setEnabled(!busy);
    folderButton_->setEnabled(!busy);
    stopButton_->setEnabled(busy);
    estimateBox_->setEnabled(!busy);
    applyButton_->setEnabled(!busy && selected == 1);
    addButton_->setEnabled(!busy && selected > 0);
    surveyButton_->setEnabled(!busy && filter_->rowCount() > 0);
    profilesButton_->setEnabled(!busy && !run_.events.empty());
}

std::vector<const EventOutcome*> RecordsWindow::shownEvents() const {
    std::vector<const EventOutcome*> out;
    for (int r = 0; r < filter_->rowCount(); ++r)
        out.push_back(&model_->event(filter_->mapToSource(filter_->index(r, 0)).row()));
    return out;
}

std::vector<const EventOutcome*> RecordsWindow::selectedEvents() const {
    std::vector<const EventOutcome*> out;
    if (!view_->selectionModel()) return out;
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& i : rows) out.push_back(&model_->event(filter_->mapToSource(i).row()));
    return out;
}

void RecordsWindow::applySelected() {
    const auto chosen = selectedEvents();
    if (running() || chosen.size() != 1) {
        messenger().beep();
        messenger().show(this, QStringLiteral("条件に反映する事象を１つ選んで下さい"),
                         Icon::Exclamation);
        return;
    }
    const EventOutcome& o = *chosen.front();
    ctx_.applyRecordConditions(o.result->conditions, o.mapped.filter,
                               QFileInfo(Q(o.event.file)).fileName() + QStringLiteral(" 事象 ") +
                                   QString::number(o.event.index));
}

void RecordsWindow::addSelected() {
    const auto chosen = selectedEvents();
    if (running() || chosen.empty()) {
        messenger().beep();
        messenger().show(this, QStringLiteral("結果表に追加する事象を選んで下さい"),
                         Icon::Exclamation);
        return;
    }
    int added = 0;
    for (const EventOutcome* o : chosen) {
        if (ctx_.resultsRoom() <= 0) break;
        if (!ctx_.appendRecordResult(o->result->conditions, o->result->dose)) break;
        ++added;
    }
    const int left = static_cast<int>(chosen.size()) - added;
    if (left > 0) {
        messenger().beep();
        messenger().show(this,
                         QStringLiteral("結果表は %1 行までです。%2 件を追加し、残りの %3 "
                                        "件は追加しませんでした。\n"
                                        "結果表を保存してデータ消去した後、追加して下さい。")
                             .arg(ResultsTable::kCapacity)
                             .arg(added)
                             .arg(left),
                         Icon::Exclamation);
    } else {
        status_->setText(QStringLiteral("%1 件を結果表に追加しました").arg(added));
    }
}

void RecordsWindow::openSurvey() {
    const auto shown = shownEvents();
    if (running() || shown.empty()) return;
    std::vector<records::SurveyInput> inputs;
    for (const EventOutcome* o : shown) inputs.push_back(records::SurveyInputOf(*o));
    const auto rows = records::BuildSurvey(inputs, data_ ? data_->drlTable() : nullptr);
    QString scope;
    if (unitChoice_->currentIndex() > 0) scope += unitChoice_->currentText();
    if (partChoice_->currentIndex() > 0)
        scope += (scope.isEmpty() ? QString() : QStringLiteral("・")) + partChoice_->currentText();
    if (!survey_) {
        survey_ = new SurveyWindow(this);
        survey_->setSaveChooser(chooseSave_);
    }
    survey_->setSurvey(rows, static_cast<long>(shown.size()), scope, ctx_.recordsUserName());
    survey_->show();
    survey_->raise();
    survey_->activateWindow();
}

void RecordsWindow::openProfiles() {
    if (running() || !data_) return;
    if (!profiles_) {
        profiles_ = new ProfileDialog(dataDir_ / records::kProfileFile, this);
        connect(profiles_, &ProfileDialog::saved, this,
                [this](const std::vector<records::DeviceProfile>& p) {
                    data_->profiles = p;
                    recalculate();
                });
    }
    profiles_->present(data_->profiles, run_.events);
}

void RecordsWindow::setEstimate(bool on) {
    if (on == estimate_) return;
    estimate_ = on;
    recalculate();
}

void RecordsWindow::closeEvent(QCloseEvent* e) {
    stopRun();
    e->accept();
}

}  // namespace dovex::ui
