// SPDX-License-Identifier: MIT
#include "dialogs/fluoroscopydialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/conversions.h"
#include "engine/numtext.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/numberentry.h"
#include "ui/soledialog.h"

namespace dovex::ui {
namespace {

// The compute button's picture: an arrow pointing down to the average box.
QIcon ComputeIcon() {
    QPixmap pm(28, 28);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 180));
    const QPointF arrow[] = {{10, 3}, {18, 3}, {18, 14}, {24, 14}, {14, 25}, {4, 14}, {10, 14}};
    p.drawPolygon(arrow, 7);
    return QIcon(pm);
}

QLineEdit* NumberBox(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFont(MappedFont(kFontMeiryo, 12));
    e->setFixedWidth(110);
    e->setAlignment(Qt::AlignRight);
    return e;
}

}  // namespace

FluoroscopyDialog::FluoroscopyDialog(QWidget* parent) : DialogWindow(parent) {
    setWindowTitle(QStringLiteral("  透視モード設定"));

    auto* mode = new QGroupBox(QStringLiteral("  透視モード  "), this);
    mode->setObjectName("Frame1");
    continuous_ = new QRadioButton(QStringLiteral("連続透視"), mode);
    continuous_->setObjectName("Option1");
    pulsed_ = new QRadioButton(QStringLiteral("パルス透視"), mode);
    pulsed_->setObjectName("Option2");
    continuous_->setChecked(true);
    auto* modeLayout = new QHBoxLayout(mode);
    modeLayout->addWidget(continuous_);
    modeLayout->addWidget(pulsed_);

    current_ = NumberBox(this, "Text1");
    rate_ = NumberBox(this, "Text2");
    width_ = NumberBox(this, "Text3");
    average_ = NumberBox(this, "Text4");

    auto* compute = new QPushButton(this);
    compute->setObjectName("Command3");
    compute->setIcon(ComputeIcon());
    compute->setIconSize(QSize(28, 28));
    compute->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("Command1");
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("Command2");
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& caption, QLineEdit* box, const QString& unit) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(new QLabel(unit, this), row, 2);
        ++row;
    };
    addRow(QStringLiteral("透視管電流"), current_, QStringLiteral("mA"));
    addRow(QStringLiteral("パルスレート"), rate_, QStringLiteral("pps"));
    addRow(QStringLiteral("パルス幅"), width_, QStringLiteral("msec"));
    grid->addWidget(compute, row++, 1, Qt::AlignHCenter);
    addRow(QStringLiteral("平均管電流"), average_, QStringLiteral("mA"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(mode);
    outer->addLayout(grid);
    outer->addLayout(buttons);

    connect(continuous_, &QRadioButton::toggled, this, [this] { modeChanged(); });
    connect(compute, &QPushButton::clicked, this, [this] { computeAverage(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        double mA = 0;
        if (!ReadNumberField(this, average_->text(), QStringLiteral("平均管電流"), &mA)) {
            average_->setFocus();
            return;
        }
        emit tubeCurrentChosen(mA);
        hide();
    });
    connect(cancel, &QPushButton::clicked, this, [this] { hide(); });
    EscapeCancels(this, [cancel] { cancel->click(); });
    modeChanged();
}

void FluoroscopyDialog::openFresh() {
    continuous_->setChecked(true);
    current_->clear();
    rate_->clear();
    width_->clear();
    average_->clear();
    modeChanged();
    present();
}

void FluoroscopyDialog::modeChanged() {
    const bool pulsed = pulsed_->isChecked();
    rate_->setEnabled(pulsed);
    width_->setEnabled(pulsed);
}

void FluoroscopyDialog::computeAverage() {
    if (continuous_->isChecked()) {
        if (current_->text().isEmpty()) {
            messenger().beep();
            messenger().show(this, QStringLiteral("　管電流を入力してください　"),
                             Icon::Exclamation);
            return;
        }
        double mA = 0;
        if (ReadNumberField(this, current_->text(), QStringLiteral("透視管電流"), &mA))
            average_->setText(ReadNumberEntry(current_->text()).text);
        return;
    }
    // Each box holds one number; an empty one is the missing data of the message below.
    const std::pair<QLineEdit*, QString> boxes[] = {{current_, QStringLiteral("透視管電流")},
                                                    {rate_, QStringLiteral("パルスレート")},
                                                    {width_, QStringLiteral("パルス幅")}};
    for (const auto& [box, name] : boxes) {
        double v = 0;
        if (!box->text().trimmed().isEmpty() && !ReadNumberField(this, box->text(), name, &v))
            return;
    }
    const QByteArray i = ReadNumberEntry(current_->text()).text.toUtf8();
    const QByteArray f = ReadNumberEntry(rate_->text()).text.toUtf8();
    const QByteArray w = ReadNumberEntry(width_->text()).text.toUtf8();
    const auto avg = PulsedAverageCurrent(std::string_view(i.constData(), i.size()),
                                          std::string_view(f.constData(), f.size()),
                                          std::string_view(w.constData(), w.size()));
    if (!avg) {
        messenger().beep();
        messenger().show(this, QStringLiteral("　データを入力してください　"), Icon::Exclamation);
        return;
    }
    average_->setText(QString::fromStdString(PlainNumber(*avg)));
}

}  // namespace dovex::ui
