// SPDX-License-Identifier: MIT
#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <exception>

#include "app/qualitypanel.h"
#include "app/username.h"
#include "calculation/calculation.h"
#include "calculation/resultfields.h"
#include "dialogs/arbitraryfilterdialog.h"
#include "dialogs/dialogbase.h"
#include "dialogs/fluoroscopydialog.h"
#include "dialogs/mascot.h"
#include "dialogs/measuredexposuredialog.h"
#include "dialogs/usernamedialog.h"
#include "effdose/estimate.h"
#include "engine/constants.h"
#include "engine/dose.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/presets.h"
#include "engine/textio.h"
#include "results/gui/resultswindow.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/numberentry.h"
#include "ui/resultfield.h"

namespace dovex::app {
namespace {

using ui::kFontMeiryo;
using ui::MappedFont;

const QString kOther = QStringLiteral("その他");
const QString kLongCaption = QStringLiteral("　長軸方向サイズ");
const QString kDiameterCaption = QStringLiteral("  照射野サイズ（直径）");

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(std::string_view s) { return Q(std::string(s)); }
QString Fmt(double v, const char* pattern) { return Q(FormatPattern(v, pattern)); }

QLabel* Caption(QWidget* parent, const QString& text) { return new QLabel(text, parent); }

QLineEdit* Entry(QWidget* parent, const char* name, double points) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFont(MappedFont(kFontMeiryo, points));
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(86);
    return e;
}

QLabel* ResultField(QWidget* parent, const char* name) {
    return ui::ResultField(parent, name, 14.25, 120);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QRadioButton* Option(QWidget* parent, const char* name, const QString& caption) {
    auto* r = new QRadioButton(caption, parent);
    r->setObjectName(name);
    return r;
}

// The conditions and results. They ask for their whole size, but scroll on a screen too small
// to show them whole, so that the command row below them always stays in view.
class BodyArea : public QScrollArea {
  public:
    explicit BodyArea(QWidget* parent) : QScrollArea(parent) {
        // The field that gets the keyboard, as the Enter chain moves it, is scrolled into view.
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now && widget() && widget()->isAncestorOf(now)) ensureWidgetVisible(now);
        });
    }
    // The whole contents, and room for the scroll bar that a short screen adds beside them.
    QSize sizeHint() const override {
        const int f = 2 * frameWidth();
        const int bar = verticalScrollBar()->sizeHint().width();
        return (widget() ? widget()->sizeHint() : QSize()) + QSize(f + bar, f);
    }
};

}  // namespace

MainWindow::MainWindow(AppState& state, ui::ResultsWindow& results, QWidget* parent)
    : QWidget(parent), state_(state), results_(results) {
    setObjectName("MainWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitleUnnamed);
    setFont(MappedFont(kFontMeiryo, 10));
    buildUi();
    wireEntryChain();
    watchConditionChanges();
}

MainWindow::~MainWindow() { *alive_ = false; }

void MainWindow::buildUi() {
    // The window from top to bottom: the heading, the conditions beside the results, the
    // commands.
    QLayout* head = buildHeading();
    QGroupBox* cond = buildConditions();
    QGroupBox* res = buildResults();
    QLayout* commands = buildCommands();
    quality_ = new QualityPanel(this);
    staleNote_ = Caption(this, QStringLiteral("条件が変更されました。再計算して下さい"));
    staleNote_->setObjectName("StaleNote");
    staleNote_->setStyleSheet("color: #c00000; font-weight: bold;");
    staleNote_->setSizePolicy([] {
        QSizePolicy p(QSizePolicy::Preferred, QSizePolicy::Fixed);
        p.setRetainSizeWhenHidden(true);
        return p;
    }());
    staleNote_->hide();
    recordNote_ = Caption(this, QString());
    recordNote_->setObjectName("RecordNote");
    recordNote_->setStyleSheet("color: #005a32; font-weight: bold;");
    recordNote_->hide();
    auto* resultColumn = new QVBoxLayout;
    resultColumn->addWidget(staleNote_);
    resultColumn->addWidget(res, 1);
    resultColumn->addWidget(quality_);
    auto* bodyWidget = new QWidget;
    auto* body = new QHBoxLayout(bodyWidget);
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(cond, 3);
    body->addLayout(resultColumn, 2);
    auto* bodyArea = new BodyArea(this);
    bodyArea->setFrameShape(QFrame::NoFrame);
    bodyArea->setWidgetResizable(true);
    bodyArea->setWidget(bodyWidget);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(head);
    outer->addWidget(recordNote_);
    outer->addWidget(bodyArea, 1);
    outer->addLayout(commands);

    // Tab order as the screen reads: the left column, the centre column, the results, then the
    // commands from calculate to exit.
    QWidget* order[] = {text1_,
                        text2_,
                        text3_,
                        text4_,
                        command9_,
                        rect_[0],
                        rect_[1],
                        rect_[2],
                        phantom_[0],
                        phantom_[1],
                        combo2_,
                        text5_,
                        text6_,
                        command4_,
                        text7_,
                        text8_,
                        text23_,
                        text9_,
                        combo1_,
                        text10_,
                        text11_,
                        optDefault_,
                        optMeasured_,
                        command5_,
                        quality_->spectrumButton(),
                        quality_->reportButton(),
                        command2_,
                        command3_,
                        command6_,
                        command10_,
                        command1_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    // Fields whose text is stored on losing the focus.
    for (const calc::ConditionField& f : calc::ConditionFields())
        if (f.windowField) fields_.push_back({findChild<QLineEdit*>(f.windowField), &f});

    connectControls();
}

QLayout* MainWindow::buildHeading() {
    // Title, edition, greeting and the mascot at the right end; the registration prompt below.
    auto* title = Caption(this, QStringLiteral("診断X線の入射表面線量計算"));
    title->setFont(MappedFont(kFontMeiryo, 18));
    auto* edition = Caption(this, QStringLiteral("Dovex-SE   Simple Edition"));
    edition->setFont(MappedFont(ui::kFontTimes, 14));
    greeting_ = Caption(this, QString());
    greeting_->setObjectName("Label84");
    auto* updated = Caption(this, QStringLiteral("最終更新日 : " DOVEX_RELEASE_DATE));
    updated->setObjectName("Label85");
    updated->setFont(MappedFont(kFontMeiryo, 8));
    picture1_ = new ui::MascotLabel(76, this);
    picture1_->setObjectName("Picture1");
    picture1_->setToolTip(QStringLiteral(" ダブルクリック "));
    auto* titles = new QVBoxLayout;
    titles->addWidget(title);
    titles->addWidget(edition);
    auto* greet = new QVBoxLayout;
    greet->addStretch();
    greet->addWidget(greeting_, 0, Qt::AlignRight);
    greet->addWidget(updated, 0, Qt::AlignRight);
    auto* head = new QHBoxLayout;
    head->addLayout(titles);
    head->addStretch();
    head->addLayout(greet);
    head->addWidget(picture1_);

    command8_ =
        Button(this, "Command8",
               QStringLiteral("ようこそ Dovex_SE へ ： はじめにユーザー名を登録して下さい"));
    command8_->setFont(MappedFont(kFontMeiryo, 12));
    command8_->setStyleSheet("color: #b00000;");
    auto* box = new QVBoxLayout;
    box->addLayout(head);
    box->addWidget(command8_);
    return box;
}

QGroupBox* MainWindow::buildConditions() {
    // Conditions, left column: tube, filters and the option groups.
    auto* cond = new QGroupBox(QStringLiteral("照射 (撮影) 条件"), this);
    text1_ = Entry(cond, "Text1", 11.25);
    text2_ = Entry(cond, "Text2", 11.25);
    text3_ = Entry(cond, "Text3", 11.25);
    text4_ = Entry(cond, "Text4", 11.25);
    auto* left = new QGridLayout;
    int r = 0;
    auto addEntry = [&](QGridLayout* g, int& row, const QString& caption, QWidget* box,
                        const QString& unit) {
        g->addWidget(Caption(cond, caption), row, 0);
        g->addWidget(box, row, 1);
        g->addWidget(Caption(cond, unit), row, 2);
        ++row;
    };
    // An entry field with the captions of the condition it holds.
    auto addField = [&](QGridLayout* g, int& row, QLineEdit* box) {
        const calc::ConditionField& f = *calc::FindWindowField(box->objectName().toStdString());
        addEntry(g, row, QString::fromUtf8(f.windowCaption), box, QString::fromUtf8(f.windowUnit));
    };
    for (QLineEdit* box : {text1_, text2_, text3_, text4_}) addField(left, r, box);

    command9_ = Button(cond, "Command9", QStringLiteral("任意フィルタ"));
    command9_->setToolTip(QStringLiteral("アルミ・銅以外のフィルター設定"));
    filterName_ = Caption(cond, QString());
    filterName_->setObjectName("Label86");
    filterName_->setFrameShape(QFrame::Panel);
    filterName_->setFrameShadow(QFrame::Sunken);
    filterName_->setMinimumWidth(110);
    filterThickness_ = Caption(cond, QString());
    filterThickness_->setObjectName("Label87");
    filterThickness_->setFrameShape(QFrame::Panel);
    filterThickness_->setFrameShadow(QFrame::Sunken);
    filterThickness_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    filterThickness_->setFixedWidth(86);
    left->addWidget(command9_, r, 0);
    left->addWidget(filterThickness_, r, 1);
    left->addWidget(Caption(cond, QStringLiteral("mm")), r, 2);
    ++r;
    left->addWidget(filterName_, r, 0, 1, 3);
    ++r;

    auto* rectBox = new QGroupBox(QStringLiteral("  高電圧整流方式  "), cond);
    rect_[0] = Option(rectBox, "Option1", Q(WindowText(Rectification::ConstantPotential)));
    rect_[1] = Option(rectBox, "Option2", Q(WindowText(Rectification::ThreePhase12Pulse)));
    rect_[2] = Option(rectBox, "Option3", Q(WindowText(Rectification::SinglePhaseFullWave)));
    auto* rectLayout = new QVBoxLayout(rectBox);
    for (auto* o : rect_) rectLayout->addWidget(o);
    left->addWidget(rectBox, r++, 0, 1, 3);

    auto* phantomBox = new QGroupBox(QStringLiteral("後方散乱係数"), cond);
    phantom_[0] = Option(phantomBox, "Option6", Q(WindowText(Phantom::Body)));
    phantom_[1] = Option(phantomBox, "Option7", Q(WindowText(Phantom::Head)));
    auto* phantomLayout = new QVBoxLayout(phantomBox);
    phantomLayout->addWidget(phantom_[0]);
    phantomLayout->addWidget(phantom_[1]);
    auto* note = Caption(phantomBox, QStringLiteral("（微分後方散乱係数を用いて計算）"));
    note->setFont(MappedFont(kFontMeiryo, 9));
    phantomLayout->addWidget(note);
    left->addWidget(phantomBox, r++, 0, 1, 3);
    left->setRowStretch(r, 1);

    // Conditions, middle column: exam part, tube, distances, field, exposure at 1 m.
    combo2_ = new QComboBox(cond);
    combo2_->setObjectName("Combo2");
    combo2_->setEditable(true);
    combo2_->setInsertPolicy(QComboBox::NoInsert);
    combo2_->setFont(MappedFont(kFontMeiryo, 12));
    combo2_->setMinimumWidth(180);
    text5_ = Entry(cond, "Text5", 12);
    text6_ = Entry(cond, "Text6", 12);
    text7_ = Entry(cond, "Text7", 12);
    text8_ = Entry(cond, "Text8", 12);
    text23_ = Entry(cond, "Text23", 12);
    text9_ = Entry(cond, "Text9", 12);
    combo1_ = new QComboBox(cond);
    combo1_->setObjectName("Combo1");
    combo1_->setFont(MappedFont(kFontMeiryo, 11));
    for (const FieldPreset& p : FieldPresets()) combo1_->addItem(QString::fromUtf8(p.name));
    text10_ = Entry(cond, "Text10", 12);
    text11_ = Entry(cond, "Text11", 12);
    command4_ = Button(cond, "Command4", QStringLiteral("透視"));

    auto* mid = new QGridLayout;
    int m = 0;
    auto* partCaption = Caption(cond, QStringLiteral("照射 (撮影) 部位"));
    mid->addWidget(partCaption, m, 0);
    mid->addWidget(combo2_, m++, 1, 1, 3);
    addField(mid, m, text5_);
    mid->addWidget(command4_, m, 3);  // the fluoroscopy command beside the tube current
    for (QLineEdit* box : {text6_, text7_, text8_, text23_, text9_}) addField(mid, m, box);
    mid->addWidget(Caption(cond, QStringLiteral("受像面での照射野サイズ")), m, 0);
    mid->addWidget(combo1_, m++, 1, 1, 3);
    longCaption_ = Caption(cond, kLongCaption);
    longCaption_->setObjectName("Label10");
    mid->addWidget(longCaption_, m, 0);
    mid->addWidget(text10_, m, 1);
    mid->addWidget(Caption(cond, QString::fromUtf8(calc::FindWindowField("Text10")->windowUnit)),
                   m++, 2);
    addField(mid, m, text11_);

    auto* expoBox = new QGroupBox(QStringLiteral("焦点から１ｍの距離の照射線量  "), cond);
    optDefault_ = Option(expoBox, "Option4", QStringLiteral("デフォルト出力データを利用"));
    optMeasured_ = Option(expoBox, "Option5", QStringLiteral("実測値を直接入力"));
    auto* recommended = Caption(expoBox, QStringLiteral("( 推奨)"));
    recommended->setStyleSheet("color: #0050a0;");
    label78_ = ResultField(expoBox, "Label78");
    label78_->setFont(MappedFont(kFontMeiryo, 12));
    auto* expoLayout = new QGridLayout(expoBox);
    expoLayout->addWidget(optDefault_, 0, 0);
    expoLayout->addWidget(recommended, 0, 1);
    expoLayout->addWidget(optMeasured_, 1, 0, 1, 2);
    expoLayout->addWidget(Caption(expoBox, QStringLiteral("照射線量 at １ｍ")), 2, 0);
    auto* expoValue = new QHBoxLayout;
    expoValue->addWidget(label78_);
    expoValue->addWidget(Caption(expoBox, QStringLiteral("C/kg")));
    expoLayout->addLayout(expoValue, 3, 0, 1, 2);
    mid->addWidget(expoBox, m++, 0, 1, 4);
    mid->setRowStretch(m, 1);

    auto* condLayout = new QHBoxLayout(cond);
    condLayout->addLayout(left);
    condLayout->addSpacing(14);
    condLayout->addLayout(mid);
    return cond;
}

QGroupBox* MainWindow::buildResults() {
    auto* res = new QGroupBox(QStringLiteral("計 算 結 果"), this);
    res->setFont(MappedFont(kFontMeiryo, 11));
    label68_ = ResultField(res, "Label68");
    label69_ = ResultField(res, "Label69");
    label70_ = ResultField(res, "Label70");
    label71_ = ResultField(res, "Label71");
    label72_ = ResultField(res, "Label72");
    label73_ = ResultField(res, "Label73");
    label74_ = ResultField(res, "Label74");
    label75_ = ResultField(res, "Label75");
    label81_ = ResultField(res, "Label81");
    command5_ = Button(res, "Command5", QStringLiteral("詳細表示"));
    auto* rg = new QGridLayout(res);
    rg->setVerticalSpacing(3);
    int q = 0;
    auto heading = [&](const QString& text) {
        auto* h = Caption(res, text);
        h->setFont(MappedFont(kFontMeiryo, 11));
        h->setStyleSheet("color: #003c78;");
        rg->addWidget(h, q++, 0, 1, 3);
    };
    auto resultRow = [&](const QString& caption, QLabel* field, const QString& unit) {
        rg->addWidget(Caption(res, caption), q, 0);
        rg->addWidget(field, q, 1);
        if (!unit.isEmpty()) rg->addWidget(Caption(res, unit), q, 2);
        ++q;
    };
    // The doses under their headings, then the effective dose, as the table of results names them.
    std::string_view lastHeading;
    for (const calc::ResultQuantity& rq : calc::ResultQuantities()) {
        if (!rq.dose || !rq.windowField || rq.dose == &DoseResult::effectiveDose) continue;
        if (rq.heading != lastHeading) heading(QString::fromUtf8(rq.heading));
        lastHeading = rq.heading;
        resultRow(QString::fromUtf8(rq.caption), findChild<QLabel*>(rq.windowField),
                  QString::fromUtf8(rq.unit));
    }
    rg->addItem(new QSpacerItem(1, 8), q++, 0);
    const calc::ResultQuantity& effective = calc::ResultQuantityOf("effectiveDose");
    resultRow(QString::fromUtf8(effective.caption), label81_, QString::fromUtf8(effective.unit));
    // Why no estimate was made, when the exam part has no organ data.
    estimateNote_ = Caption(res, QString());
    estimateNote_->setObjectName("Label89");
    estimateNote_->setFont(MappedFont(kFontMeiryo, 8));
    estimateNote_->setWordWrap(true);
    rg->addWidget(estimateNote_, q++, 0, 1, 3);
    rg->addWidget(command5_, q++, 1);
    auto* wNote = new QHBoxLayout;
    wNote->setSpacing(10);
    for (const QString& t :
         {QStringLiteral("W値 ="), Q(FormatPattern(kAirWOverE, "0.00")) + QStringLiteral(" eV"),
          QStringLiteral("とする")})
        wNote->addWidget(Caption(res, t));
    wNote->addStretch();
    rg->addLayout(wNote, q++, 0, 1, 3);
    rg->setRowStretch(q, 1);
    return res;
}

QLayout* MainWindow::buildCommands() {
    command2_ = Button(this, "Command2", QStringLiteral("この条件で計算する"));
    command2_->setToolTip(QStringLiteral(" Go ! "));
    command2_->setFont(MappedFont(kFontMeiryo, 13));
    command2_->setMinimumHeight(44);
    command3_ = Button(this, "Command3", QStringLiteral("結果を表に追加する"));
    command6_ = Button(this, "Command6", QStringLiteral("計算結果をクリアする"));
    command1_ = Button(this, "Command1", QStringLiteral("終了する"));
    command10_ = Button(this, "Command10", QStringLiteral("線量記録読込(&D)"));
    command10_->setToolTip(QStringLiteral("装置の線量記録（DICOM）から条件と線量を読み込みます"));
    for (auto* b : {command3_, command6_, command10_, command1_}) b->setMinimumHeight(34);
    auto* commands = new QHBoxLayout;
    commands->addWidget(command2_, 2);
    commands->addSpacing(16);
    commands->addWidget(command3_, 1);
    commands->addWidget(command6_, 1);
    commands->addWidget(command10_, 1);
    commands->addSpacing(16);
    commands->addWidget(command1_, 1);
    return commands;
}

void MainWindow::connectControls() {
    // Commands.
    connect(command2_, &QPushButton::clicked, this, [this] { runCalculation(); });
    connect(command3_, &QPushButton::clicked, this, [this] { addToTable(); });
    connect(command6_, &QPushButton::clicked, this, [this] { clearResults(); });
    connect(command1_, &QPushButton::clicked, this, [this] { emit exitRequested(false); });
    connect(command10_, &QPushButton::clicked, this, [this] { emit recordsRequested(); });
    connect(command5_, &QPushButton::clicked, this, [this] { showDetails(); });
    connect(command4_, &QPushButton::clicked, this, [this] { openFluoroscopy(); });
    connect(command9_, &QPushButton::clicked, this, [this] { openArbitraryFilter(); });
    connect(quality_, &QualityPanel::spectrumRequested, this, [this] { openSpectrum(); });
    connect(quality_, &QualityPanel::reportRequested, this, [this] { saveReport(); });
    connect(command8_, &QPushButton::clicked, this, [this] { openRegistration(); });
    connect(picture1_, &ui::MascotLabel::doubleClicked, this, [this] { openNameChange(); });
    // Enter on a focused command presses it, as the Enter chain ends on the calculate button.
    for (QPushButton* b : {command1_, command2_, command3_, command4_, command5_, command6_,
                           command8_, command9_, command10_})
        ui::OnEnterKey(b, [b] {
            if (b->isEnabled()) b->click();
        });

    // Option groups.
    for (int i = 0; i < 3; ++i)
        connect(rect_[i], &QRadioButton::clicked, this,
                [this, i] { state_.conditions.rectification = *RectificationOf(i + 1); });
    for (int i = 0; i < 2; ++i)
        connect(phantom_[i], &QRadioButton::clicked, this,
                [this, i] { state_.conditions.phantom = *PhantomOf(i); });
    connect(optDefault_, &QRadioButton::clicked, this, [this] { selectDefaultOutput(); });
    connect(optMeasured_, &QRadioButton::clicked, this, [this] { openMeasuredExposure(); });
}

void MainWindow::wireEntryChain() {
    const std::pair<QWidget*, QWidget*> chain[] = {
        {text1_, text2_},  {text2_, text3_},  {text3_, text4_},   {text4_, combo2_},
        {text5_, text6_},  {text6_, text7_},  {text7_, text8_},   {text8_, text23_},
        {text23_, text9_}, {text9_, combo1_}, {text10_, text11_}, {text11_, command2_},
    };
    for (const auto& [from, to] : chain) {
        QWidget* target = to;
        ui::OnEnterKey(from, [target] { target->setFocus(Qt::OtherFocusReason); });
    }
    // The exam-part list: Enter in its text or choosing an entry goes on to the tube voltage.
    ui::OnEnterKey(combo2_, [this] { text5_->setFocus(Qt::OtherFocusReason); });
    ui::OnEnterKey(combo2_->lineEdit(), [this] { text5_->setFocus(Qt::OtherFocusReason); });
    connect(combo2_, &QComboBox::activated, this,
            [this] { text5_->setFocus(Qt::OtherFocusReason); });
    // The preset list is chosen with the mouse; any key only moves on to the long axis.
    ui::OnAnyKey(combo1_, [this] { text10_->setFocus(Qt::OtherFocusReason); });
    connect(combo1_, &QComboBox::activated, this, [this] { applyFieldPreset(); });
    for (const Field& f : fields_) {
        const Field field = f;
        ui::OnFocusOut(f.edit, [this, field, alive = alive_] {
            if (*alive) storeField(field);
        });
    }
}

void MainWindow::storeField(const Field& f) {
    // A value from a dose record, shown rounded, is read at the record's precision.
    if (const auto it = recordValues_.find(f.edit);
        it != recordValues_.end() && it->second.first == f.edit->text()) {
        state_.conditions.*(f.condition->member) = it->second.second;
        return;
    }
    // A number typed in full-width forms is shown in ASCII once read; a text that is no number
    // stays as typed, holds no value (0) and is reported when a calculation is asked for.
    const ui::NumberEntry e = ui::ReadNumberEntry(f.edit->text());
    if (e.ok() && e.text != f.edit->text()) f.edit->setText(e.text);
    state_.conditions.*(f.condition->member) =
        e.ok() ? calc::HeldValue(*f.condition, e.value) : 0.0;
}

bool MainWindow::readAllFields() {
    for (const Field& f : fields_) storeField(f);
    for (const Field& f : fields_) {
        const ui::NumberEntry e = ui::ReadNumberEntry(f.edit->text());
        if (!e.ok()) {
            ui::messenger().beep();
            ui::messenger().show(
                this,
                ui::NumberEntryMessage(
                    e, QString::fromUtf8(calc::BoundOf(*f.condition->check).nameJa)),
                ui::Icon::Exclamation);
            f.edit->setFocus(Qt::OtherFocusReason);
            f.edit->selectAll();
            return false;
        }
    }
    // The arbitrary filter's thickness, as its dialog shows it.
    const calc::ConditionField& filter = *calc::FindConditionField("filter-mm");
    const QByteArray t = filterThickness_->text().toUtf8();
    const auto it = recordValues_.find(filterThickness_);
    state_.conditions.*(filter.member) =
        it != recordValues_.end() && it->second.first == filterThickness_->text()
            ? it->second.second
            : calc::HeldValue(filter, ParseLenient(std::string_view(t.constData(), t.size())));
    return true;
}

void MainWindow::startup() {
    AppState& s = state_;
    greeting_->setText(QStringLiteral("今日は ") +
                       QDate::currentDate().toString(QStringLiteral("yyyy年MM月dd日")) +
                       QStringLiteral(" です"));

    combo2_->clear();
    for (const std::string& part : s.examParts) combo2_->addItem(Q(part));
    combo2_->setEditText(QStringLiteral("腹部正面"));

    // Default conditions: the texts into the fields, the numbers into the conditions.
    s.conditions = ExposureConditions{};
    for (const Field& f : fields_) f.edit->setText(QString::fromUtf8(f.condition->startText));
    filterThickness_->setText(QString::fromUtf8(calc::FindConditionField("filter-mm")->startText));
    filterName_->setText(QStringLiteral("―"));
    combo1_->setCurrentText(QStringLiteral("半切サイズ 縦"));
    longCaption_->setText(kLongCaption);
    s.conditions.fieldShape = FieldShape::Rectangle;
    emptyResultFields(true);

    s.filter.on = false;
    rect_[0]->setChecked(true);
    s.conditions.rectification = Rectification::ConstantPotential;
    optDefault_->setChecked(true);
    s.conditions.exposureSource = ExposureSource::DefaultOutput;
    phantom_[0]->setChecked(true);
    s.conditions.phantom = Phantom::Body;
    s.surface = CurrentSurface{};
    s.dose = DoseResult{};

    command3_->setEnabled(false);
    command5_->setEnabled(false);
    s.shown = ShownCalculation{};
    s.fluoroscopyCurrent = false;
    showResultState();
    if (s.named) {
        command8_->hide();
        command2_->setEnabled(true);
        setWindowTitle(kTitleNamedPrefix + Q(s.userName));
    } else {
        command8_->show();
        command2_->setEnabled(false);
        setWindowTitle(kTitleUnnamed);
    }
    text1_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::emptyResultFields(bool includingEffective) {
    for (QLabel* l :
         {label78_, label68_, label69_, label70_, label71_, label72_, label73_, label74_, label75_})
        l->clear();
    if (includingEffective) {
        label81_->clear();
        estimateNote_->clear();
    }
    quality_->clear();
}

void MainWindow::showDoseResult(const DoseResult& d) {
    for (const calc::ResultQuantity& q : calc::ResultQuantities())
        if (q.dose && q.windowField && q.dose != &DoseResult::effectiveDose)
            findChild<QLabel*>(q.windowField)->setText(Fmt(d.*q.dose, q.pattern));
    label81_->clear();
    estimateNote_->clear();
}

void MainWindow::pumpEvents() {
    // Repaint between the steps; user input waits until the calculation has ended.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::runCalculation() {
    if (calculating_) return;
    AppState& s = state_;
    if (!readAllFields()) {
        // Nothing was computed: the results shown are those of the conditions before.
        command3_->setEnabled(false);
        if (s.shown.present) s.shown.stale = true;
        showResultState();
        return;
    }
    calc::CalculationRequest req;
    req.conditions = s.conditions;
    req.conditions.examPart = combo2_->currentText().toStdString();
    req.filter = s.filter;
    req.spectrumFile = s.dataDir / files::kSpectrumOut;
    calculating_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{calculating_};

    // The window follows the steps: each shows its results and lets the window repaint.
    const bool measured = s.conditions.exposureSource == ExposureSource::Measured;
    auto progress = [&](calc::Step step, const calc::CalculationResult& r) {
        // From the first computed step on, the result fields show this calculation.
        if (step != calc::Step::Checked)
            s.shown = {true, false, r.conditions, s.fluoroscopyCurrent};
        switch (step) {
            case calc::Step::Checked:
                return;
            case calc::Step::Spectrum:
                s.spectrum = r.spectrum;
                break;
            case calc::Step::ExposureAt1m:
                s.conditions.exposureAt1m = r.conditions.exposureAt1m;
                if (!measured)
                    label78_->setText(Fmt(r.conditions.exposureAt1m,
                                          calc::ResultQuantityOf("exposureAt1m").pattern));
                break;
            case calc::Step::Doses: {
                s.dose = r.dose;
                s.quality = r.quality;
                showDoseResult(r.dose);
                break;
            }
            case calc::Step::ExamPart:
                s.conditions.examPart = r.conditions.examPart;
                // The reference levels are those of radiography: a fluoroscopy dose is not
                // compared with them.
                s.drl = s.fluoroscopyCurrent ? DrlComparison{} : r.drl;
                showBeamQuality();
                if (ExamPartHasEstimate(r.conditions.examPart) &&
                    r.estimate != calc::EstimateStatus::NoOrganData && !organ_)
                    organ_ = s.estimator.CreateOrganWindow(this);
                break;
            case calc::Step::DepthDose:
                break;
            case calc::Step::OrganData:
            case calc::Step::OrganDoses:
                refreshOrganWindow();
                break;
        }
        pumpEvents();
    };
    const calc::CalculationOutcome o =
        calc::Calculate(req,
                        {s.tables, s.dataDir, s.examParts, s.estimator.kernels(),
                         s.estimator.rows(), s.drlProblem.empty() ? &s.drlTable : nullptr},
                        progress);
    const calc::CalculationResult& r = o.result;

    if (o.refusal && !r.reached) {
        // A check refused the conditions: nothing was computed and the results shown stay. They
        // no longer belong to the conditions now entered, so they cannot be added.
        command3_->setEnabled(false);
        if (s.shown.present) s.shown.stale = true;
        showResultState();
        if (o.refusal->calculationFailed) ui::messenger().beep();  // as for any failed run
        ui::messenger().show(this, Q(o.refusal->messageJa), ui::Icon::Exclamation);
        return;
    }
    s.conditions = r.conditions;
    s.shown = {true, false, r.conditions, s.fluoroscopyCurrent};
    showResultState();
    s.estimator.recordRun(r.curve, r.conditions.subjectThickness, r.conditions.examPart,
                          !o.refusal && r.estimate == calc::EstimateStatus::Made);
    if (o.refusal) {
        // A failure during the run: the fields show this calculation's values as far as it came
        // and nothing of an earlier one; it cannot be added to the table.
        const auto reached = *r.reached;
        if (reached < calc::Step::ExposureAt1m && !measured) label78_->clear();
        if (reached < calc::Step::Doses)
            for (QLabel* l :
                 {label68_, label69_, label70_, label71_, label72_, label73_, label74_, label75_})
                l->clear();
        if (reached < calc::Step::ExamPart) quality_->clear();
        label81_->clear();
        s.dose.effectiveDose = 0;
        refreshOrganWindow();
        command3_->setEnabled(false);
        command5_->setEnabled(false);
        ui::messenger().beep();
        ui::messenger().show(this, Q(o.refusal->messageJa), ui::Icon::Exclamation);
        return;
    }
    s.dose.effectiveDose = r.dose.effectiveDose;
    switch (r.estimate) {
        case calc::EstimateStatus::NotAsked:
        case calc::EstimateStatus::NoOrganData:
            label81_->setText(QStringLiteral("---"));
            estimateNote_->setText(Q(r.estimateNoteJa));
            // No organ list belongs to this calculation: an open one is emptied.
            command5_->setEnabled(false);
            s.estimator.clearEstimate(r.conditions.examPart);
            refreshOrganWindow();
            if (!s.table.full()) {
                command3_->setEnabled(true);
                command3_->setFocus(Qt::OtherFocusReason);
            }
            return;
        case calc::EstimateStatus::Made:
            label81_->setText(
                Fmt(s.dose.effectiveDose, calc::ResultQuantityOf("effectiveDose").pattern));
            break;
        case calc::EstimateStatus::StoppedByRow:
            // A tissue row with unusable data: its message, and no estimate for this result.
            ui::messenger().show(this, Q(r.estimateNoteJa), ui::Icon::Warning);
            label81_->setText(QStringLiteral("---"));
            break;
    }
    if (!s.table.full()) command3_->setEnabled(true);
    command5_->setEnabled(true);
}

void MainWindow::refreshOrganWindow() {
    if (organ_) Estimator::RefreshOrganWindow(organ_);
}

void MainWindow::addToTable() {
    AppState& s = state_;
    if (!command3_->isEnabled() || !s.shown.present || s.shown.stale) return;
    results_.appendCurrent(s.shown.conditions, s.dose, s.surface);
    command3_->setEnabled(false);
}

void MainWindow::clearResults() {
    emptyResultFields(true);
    state_.shown = ShownCalculation{};
    showResultState();
    command3_->setEnabled(false);
    command2_->setEnabled(true);
}

void MainWindow::applyFieldPreset() {
    ExposureConditions& c = state_.conditions;
    const QString text = combo1_->currentText();
    const QByteArray name = text.toUtf8();
    const auto preset = FindFieldPreset(std::string_view(name.constData(), name.size()));
    if (text == kOther) {
        text10_->clear();
        text11_->clear();
        c.fieldLong = 0;
        c.fieldShort = 0;
    } else if (preset && preset->shape == FieldShape::Rectangle) {
        text10_->setText(QString::fromUtf8(preset->longText));
        text11_->setText(QString::fromUtf8(preset->shortText));
        c.fieldLong = ParseLenient(preset->longText);
        c.fieldShort = ParseLenient(preset->shortText);
    }
    longCaption_->setText(kLongCaption);
    c.fieldShape = FieldShape::Rectangle;
    if (text == QString::fromUtf8(kPresetCircle)) {
        longCaption_->setText(kDiameterCaption);
        text10_->setText(QStringLiteral("10.0"));
        c.fieldLong = 10;
        text11_->setText(QStringLiteral("0"));
        c.fieldShort = 0;
        c.fieldShape = FieldShape::Circle;
    }
    c.fieldPreset = name.toStdString();
    text10_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showDetails() {
    if (!organ_) return;
    refreshOrganWindow();
    organ_->show();
    organ_->raise();
    organ_->activateWindow();
}

void MainWindow::openFluoroscopy() {
    if (!fluoro_) {
        fluoro_ = new ui::FluoroscopyDialog(this);
        connect(fluoro_, &ui::FluoroscopyDialog::tubeCurrentChosen, this, [this](double mA) {
            state_.conditions.tubeCurrent = mA;
            text6_->setText(Q(PlainNumber(mA)));
            state_.fluoroscopyCurrent = true;
            conditionsChanged();
            fluoroscopyWithMeasuredExposure();
        });
    }
    fluoro_->openFresh();
}

void MainWindow::openArbitraryFilter() {
    if (!filterDlg_) {
        filterDlg_ = new ui::ArbitraryFilterDialog(state_.dataDir, this);
        filterDlg_->onSet = [this](const ui::ArbitraryFilterDialog::Choice& ch) {
            state_.conditions.arbitraryFilterName = ch.materialName.toStdString();
            state_.filter.mu = ch.mu;
            state_.conditions.arbitraryFilterThickness = ch.thicknessCm;
            filterName_->setText(ch.materialName);
            filterThickness_->setText(ch.thicknessText);
            state_.filter.on = true;
            conditionsChanged();
        };
        filterDlg_->onRemove = [this] {
            state_.conditions.arbitraryFilterName.clear();
            state_.conditions.arbitraryFilterThickness = 0;
            filterName_->clear();
            filterThickness_->clear();
            state_.filter.on = false;
            conditionsChanged();
        };
    }
    filterDlg_->openFresh();
}

void MainWindow::openMeasuredExposure() {
    if (!measured_) {
        measured_ =
            new ui::MeasuredExposureDialog([this] { return state_.tables.airWOverE; }, this);
        connect(measured_, &ui::MeasuredExposureDialog::measuredAccepted, this, [this](double v) {
            state_.conditions.exposureSource = ExposureSource::Measured;
            state_.conditions.exposureAt1m = v;
            optMeasured_->setChecked(true);
            label78_->setText(Fmt(v, calc::ResultQuantityOf("exposureAt1m").pattern));
            conditionsChanged();
            fluoroscopyWithMeasuredExposure();
        });
        connect(measured_, &ui::MeasuredExposureDialog::defaultOutputRequested, this,
                [this] { selectDefaultOutput(); });
    }
    measured_->openForEntry();
    // Another dialog was open and came to the front instead: the exposure source is unchanged.
    if (!measured_->isVisible()) {
        optDefault_->setChecked(state_.conditions.exposureSource != ExposureSource::Measured);
        optMeasured_->setChecked(state_.conditions.exposureSource == ExposureSource::Measured);
    }
}

void MainWindow::selectDefaultOutput() {
    optDefault_->setChecked(true);
    state_.conditions.exposureSource = ExposureSource::DefaultOutput;
    label78_->clear();
    conditionsChanged();
}

void MainWindow::openEffectiveDosePrompt() {
    if (!prompt_) {
        prompt_ = new ui::EffectiveDosePrompt(this);
        connect(prompt_, &ui::EffectiveDosePrompt::calculateChosen, this, [this] {
            command5_->setEnabled(true);
            command5_->setFocus(Qt::OtherFocusReason);
            if (!QProcess::startDetached(QStringLiteral("Dovex_SE_sub.exe"), {})) {
                ui::messenger().beep();
                ui::messenger().show(this, QStringLiteral("　Dovex_SE_sub.exe を起動できません　"),
                                     ui::Icon::Exclamation);
            }
        });
        connect(prompt_, &ui::EffectiveDosePrompt::notCalculatedChosen, this, [this] {
            state_.dose.effectiveDose = 0;
            label81_->setText(QStringLiteral("---"));
            if (!state_.table.full()) {
                command3_->setEnabled(true);
                command3_->setFocus(Qt::OtherFocusReason);
            }
        });
    }
    prompt_->present();
}

void MainWindow::openRegistration() {
    if (!registration_) {
        registration_ = new ui::UserNameDialog(
            ui::UserNameDialog::Mode::Registration,
            [this](const QString& name) { return acceptName(name, true); }, this);
        connect(registration_, &ui::UserNameDialog::guestChosen, this, [this] { chooseGuest(); });
    }
    registration_->present();
}

void MainWindow::openNameChange() {
    if (!nameChange_) {
        nameChange_ = new ui::UserNameDialog(
            ui::UserNameDialog::Mode::Change,
            [this](const QString& name) { return acceptName(name, false); }, this);
    }
    nameChange_->nameBox()->setText(Q(state_.userName));
    nameChange_->present();
}

bool MainWindow::acceptName(const QString& name, bool registration) {
    const SaveNameResult r = SaveUserName(state_.primaryFile(), name.toStdString());
    QString problem;
    switch (r.status) {
        case SaveNameStatus::Saved:
            break;
        case SaveNameStatus::NotRepresentable:
            problem = QStringLiteral(
                "　この名前には保存できない文字が含まれています　\n"
                "　別の文字で入力して下さい　");
            break;
        case SaveNameStatus::FileTooShort:
            problem =
                QStringLiteral("　Primary.dat を読み込めないため、ユーザー名を保存できません　");
            break;
        case SaveNameStatus::WriteFailed:
            problem = QStringLiteral("　Primary.dat に書き込めませんでした　\n") + Q(r.detail);
            break;
    }
    if (!problem.isEmpty()) {
        ui::messenger().beep();
        ui::messenger().show(this, problem, ui::Icon::Exclamation);
        return false;
    }
    state_.userName = name.toStdString();
    state_.named = true;
    results_.redrawBanner(registration ? QStringLiteral("Dovex-SE") : QStringLiteral("Dovex-V"));
    results_.setUserNameLabel(name);
    setWindowTitle(kTitleNamedPrefix + name);
    setNamedState();
    return true;
}

void MainWindow::chooseGuest() {
    state_.userName = ui::kGuestName.toStdString();
    state_.named = true;
    results_.redrawBanner(QStringLiteral("Dovex-SE"));
    setWindowTitle(windowTitle() + QStringLiteral("   :   ") + ui::kGuestName);
    setNamedState();
}

void MainWindow::setNamedState() {
    command8_->hide();
    command2_->setEnabled(true);
}

void MainWindow::resetAfterErase() {
    // The results shown are emptied whole: the effective dose and its organ list too.
    emptyResultFields(true);
    command5_->setEnabled(false);
    state_.shown = ShownCalculation{};
    showResultState();
    state_.conditions.arbitraryFilterName.clear();
    state_.conditions.arbitraryFilterThickness = 0;
    state_.filter.on = false;
    filterName_->clear();
    filterThickness_->clear();
    if (filterDlg_) filterDlg_->hide();
    selectDefaultOutput();
    command3_->setEnabled(false);
    command2_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::resetAfterPrint() {
    emptyResultFields(true);
    command5_->setEnabled(false);
    state_.shown = ShownCalculation{};
    showResultState();
    filterName_->clear();
    filterThickness_->clear();
    state_.filter.on = false;
    selectDefaultOutput();
}

void MainWindow::currentReplacedByRow() {
    command3_->setEnabled(false);
    if (state_.shown.present) state_.shown.stale = true;
    showResultState();
}

QRect MainWindow::commandRow() const { return command2_->geometry().united(command1_->geometry()); }

void MainWindow::closeEvent(QCloseEvent* e) {
    emit exitRequested(true);
    e->accept();
}

}  // namespace dovex::app
