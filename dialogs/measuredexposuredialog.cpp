// SPDX-License-Identifier: MIT
#include "dialogs/measuredexposuredialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "engine/constants.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/numberentry.h"
#include "ui/soledialog.h"

namespace dovex::ui {

MeasuredExposureDialog::MeasuredExposureDialog(std::function<double()> airWOverE, QWidget* parent)
    : DialogWindow(parent), airWOverE_(std::move(airWOverE)) {
    setWindowTitle(QStringLiteral("  実測照射線量入力"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* heading = new QLabel(QStringLiteral("焦点から１ｍの距離の実測線量"), this);
    heading->setObjectName("Label1");
    value_ = new QLineEdit(this);
    value_->setObjectName("Text1");
    value_->setFont(MappedFont(kFontMeiryo, 12));
    value_->setMinimumWidth(180);

    auto* unitBox = new QGroupBox(QStringLiteral("入力単位"), this);
    unitBox->setObjectName("Frame1");
    unitC_ = new QRadioButton(QStringLiteral("照射線量 [ C/kg ]"), unitBox);
    unitC_->setObjectName("Option1");
    unitR_ = new QRadioButton(QStringLiteral("照射線量   [ R ]"), unitBox);
    unitR_->setObjectName("Option2");
    unitGy_ = new QRadioButton(QStringLiteral("空気カーマ [ Gy ]"), unitBox);
    unitGy_->setObjectName("Option3");
    unitC_->setChecked(true);
    auto* unitLayout = new QVBoxLayout(unitBox);
    unitLayout->addWidget(unitC_);
    unitLayout->addWidget(unitR_);
    unitLayout->addWidget(unitGy_);

    auto* examples = new QGroupBox(this);
    auto* exLayout = new QVBoxLayout(examples);
    auto* exHead = new QLabel(QStringLiteral("入力例"), examples);
    exHead->setObjectName("Label4");
    exLayout->addWidget(exHead);
    const char* names[] = {"Label2", "Label3", "Label5"};
    const char* texts[] = {"2.58E-04", "0.000258", "25.8e-5"};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromLatin1(texts[i]), examples);
        l->setObjectName(names[i]);
        exLayout->addWidget(l);
    }

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName("Command1");
    ok_->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("Command2");
    cancel->setToolTip(QStringLiteral(" やめます "));
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(heading, 0, 0, 1, 2);
    grid->addWidget(value_, 1, 0, 1, 2);
    grid->addWidget(unitBox, 2, 0);
    grid->addWidget(examples, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);

    OnEnterKey(value_, [this] { ok_->setFocus(); });
    connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        emit defaultOutputRequested();
        hide();
    });
    EscapeCancels(this, [cancel] { cancel->click(); });
}

void MeasuredExposureDialog::openForEntry() {
    value_->clear();
    present();
    value_->setFocus();
}

ExposureUnit MeasuredExposureDialog::unit() const {
    if (unitR_->isChecked()) return ExposureUnit::Roentgen;
    if (unitGy_->isChecked()) return ExposureUnit::Gray;
    return ExposureUnit::CoulombPerKg;
}

void MeasuredExposureDialog::accept() {
    // A text that is no number is refused here, with the dialog left open; only Cancel or the
    // close box go back to the default output data.
    const QString name = QStringLiteral("実測線量");
    const NumberEntry e = ReadNumberEntry(value_->text());
    const QByteArray text = e.text.toUtf8();
    const auto v = e.ok() ? MeasuredExposureCPerKg(std::string_view(text.constData(), text.size()),
                                                   unit(), airWOverE_ ? airWOverE_() : kAirWOverE)
                          : std::nullopt;
    if (!v) {
        messenger().beep();
        messenger().show(this,
                         e.ok() ? QStringLiteral("　") + name +
                                      QStringLiteral("には 0 より大きい値を入力して下さい　")
                                : NumberEntryMessage(e, name),
                         Icon::Exclamation);
        value_->setFocus();
        value_->selectAll();
        return;
    }
    emit measuredAccepted(*v);
    hide();
}

void MeasuredExposureDialog::closeEvent(QCloseEvent* e) {
    // The close box: back to the default output data; the window is dropped, so the next
    // opening starts again with the unit C/kg.
    emit defaultOutputRequested();
    e->accept();
}

}  // namespace dovex::ui
