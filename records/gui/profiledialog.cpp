// SPDX-License-Identifier: MIT
#include "records/gui/profiledialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <exception>
#include <set>

#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/platform.h"
#include "engine/textio.h"
#include "ui/fonts.h"
#include "ui/messenger.h"

namespace dovex::ui {

namespace fs = std::filesystem;
using records::DeviceProfile;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The identification columns: a unit's row is known by them, the others are its settings.
constexpr int kIdentification = 6;

const char* kRectificationCaption = "整流方式";
const char* kOutputFactorCaption = "出力係数";

}  // namespace

int ProfileDialog::ColumnOf(const char* caption) {
    const auto& cols = records::ProfileColumns();
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (cols[i] == caption) return static_cast<int>(i);
    return -1;
}

int ProfileDialog::HintColumn() { return static_cast<int>(records::ProfileColumns().size()); }

ProfileDialog::ProfileDialog(fs::path file, QWidget* parent)
    : QDialog(parent), file_(std::move(file)) {
    setObjectName("ProfileDialog");
    setWindowTitle(QStringLiteral("装置設定"));
    setFont(MappedFont(kFontMeiryo, 9));
    auto* intro = new QLabel(
        QStringLiteral(
            "記録に書かれない装置の条件を設定します。空欄は記録または標準の値を使います。"
            "「記録/計算」は記録の空気カーマと計算値の比の中央値（出力係数の目安）です。"),
        this);
    intro->setWordWrap(true);
    QStringList headings;
    // The unit under the name: the columns stay narrow enough to show the hint on the screen.
    for (const std::string& c : records::ProfileColumns()) headings << Q(c).replace(' ', '\n');
    headings << QStringLiteral("記録/計算\n中央値 (件数)");
    table_ = new QTableWidget(0, static_cast<int>(headings.size()), this);
    table_->setObjectName("ProfileTable");
    table_->setWordWrap(false);
    table_->setHorizontalHeaderLabels(headings);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    note_ = new QLabel(QStringLiteral("保存先: ") + Q(platform::PathToUtf8(file_)), this);
    note_->setObjectName("ProfileFile");
    auto* hint = new QPushButton(QStringLiteral("比を出力係数に(&H)"), this);
    hint->setObjectName("TakeHint");
    hint->setAutoDefault(false);
    hint->setToolTip(
        QStringLiteral("選んだ行の出力係数を「今の出力係数 × 記録/計算の中央値」にします"));
    auto* saveButton = new QPushButton(QStringLiteral("保存"), this);
    saveButton->setObjectName("SaveProfiles");
    saveButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName("CancelProfiles");
    cancel->setAutoDefault(false);
    auto* commands = new QHBoxLayout;
    commands->addWidget(hint);
    commands->addStretch();
    commands->addWidget(saveButton);
    commands->addWidget(cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(intro);
    outer->addWidget(table_, 1);
    outer->addWidget(note_);
    outer->addLayout(commands);
    connect(hint, &QPushButton::clicked, this, [this] { takeHint(); });
    connect(saveButton, &QPushButton::clicked, this, [this] {
        if (save()) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(1340, 420);
}

void ProfileDialog::present(const std::vector<DeviceProfile>& profiles,
                            const std::vector<records::EventOutcome>& events) {
    ratios_ = records::RecordRatioByUnit(events);
    std::vector<DeviceProfile> rows = profiles;
    existing_.assign(rows.size(), true);
    // A new row for each unit of the events that no profile matches.
    std::set<std::string> seen;
    for (const records::EventOutcome& o : events) {
        if (!o.mapped.profile.empty() || !seen.insert(o.mapped.unit).second) continue;
        DeviceProfile p = records::ProfileOfDevice(o.event.device);
        if (records::MatchProfile(rows, o.event.device)) continue;
        rows.push_back(std::move(p));
        existing_.push_back(false);
    }
    const int rect = ColumnOf(kRectificationCaption);
    table_->setRowCount(0);
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const DeviceProfile& p = rows[static_cast<std::size_t>(r)];
        const std::vector<std::string> cells = records::ProfileCells(p);
        for (int c = 0; c < HintColumn(); ++c) {
            if (c == rect) {
                auto* box = new QComboBox(table_);
                box->addItem(QString());
                for (auto k : {Rectification::ConstantPotential, Rectification::ThreePhase12Pulse,
                               Rectification::SinglePhaseFullWave})
                    box->addItem(Q(std::string(FileText(k))));
                box->setCurrentText(Q(cells[static_cast<std::size_t>(c)]));
                table_->setCellWidget(r, c, box);
                continue;
            }
            table_->setItem(r, c, new QTableWidgetItem(Q(cells[static_cast<std::size_t>(c)])));
        }
        const auto it = ratios_.find(p.name);
        auto* hint = new QTableWidgetItem(it == ratios_.end()
                                              ? QStringLiteral("―")
                                              : Q(FormatPattern(it->second.median, "0.000")) +
                                                    QStringLiteral(" (%1)").arg(it->second.n));
        hint->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        hint->setBackground(QColor(0xf0, 0xf0, 0xf0));
        hint->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(r, HintColumn(), hint);
    }
    table_->resizeColumnsToContents();
    // A device UID is long and seldom read: narrow, its whole text in the cell's tooltip.
    const int uid = ColumnOf("装置UID");
    table_->setColumnWidth(uid, std::min(table_->columnWidth(uid), 110));
    for (int r = 0; r < table_->rowCount(); ++r)
        if (QTableWidgetItem* item = table_->item(r, uid)) item->setToolTip(item->text());
    if (table_->rowCount() > 0) table_->setCurrentCell(0, ColumnOf(kOutputFactorCaption));
    show();
    raise();
    activateWindow();
}

std::vector<std::string> ProfileDialog::rowCells(int row) const {
    std::vector<std::string> cells;
    for (int c = 0; c < HintColumn(); ++c) {
        if (auto* box = qobject_cast<QComboBox*>(table_->cellWidget(row, c))) {
            cells.push_back(box->currentText().toStdString());
            continue;
        }
        const QTableWidgetItem* item = table_->item(row, c);
        cells.push_back(item ? item->text().trimmed().toStdString() : std::string());
    }
    return cells;
}

bool ProfileDialog::rowHasSettings(int row) const {
    const auto cells = rowCells(row);
    for (std::size_t c = kIdentification; c < cells.size(); ++c)
        if (!cells[c].empty()) return true;
    return false;
}

void ProfileDialog::takeHint() {
    const int row = table_->currentRow();
    const QTableWidgetItem* name = row >= 0 ? table_->item(row, 0) : nullptr;
    const auto it = name ? ratios_.find(name->text().toStdString()) : ratios_.end();
    if (it == ratios_.end() || !(it->second.median > 0)) {
        messenger().beep();
        messenger().show(
            this, QStringLiteral("この装置の事象には記録の線量がないため、比を求められません"),
            Icon::Exclamation);
        return;
    }
    const int col = ColumnOf(kOutputFactorCaption);
    QTableWidgetItem* factor = table_->item(row, col);
    const double now = ParseLenient(factor ? factor->text().toStdString() : std::string());
    const double taken = (now > 0 ? now : 1.0) * it->second.median;
    table_->setItem(row, col, new QTableWidgetItem(QString::number(taken, 'g', 3)));
}

bool ProfileDialog::save() {
    // Each row read by the profile file's own reader: a faulty cell is named by its row.
    const auto& captions = records::ProfileColumns();
    std::string header;
    for (const std::string& c : captions) header += (header.empty() ? "" : ",") + c;
    std::vector<DeviceProfile> profiles;
    for (int r = 0; r < table_->rowCount(); ++r) {
        if (!existing_[static_cast<std::size_t>(r)] && !rowHasSettings(r)) continue;
        std::string line;
        for (const std::string& cell : rowCells(r))
            line += (line.empty() ? "" : ",") + records::CsvCell(cell);
        try {
            const auto encoded = Utf8ToCp932(header + "\r\n" + line + "\r\n");
            if (!encoded)
                throw DataFileError(records::kProfileFile, "a character that cp932 cannot hold");
            for (DeviceProfile& p : records::ParseProfiles(*encoded, records::kProfileFile))
                profiles.push_back(std::move(p));
        } catch (const std::exception& e) {
            std::string why = e.what();
            const std::string prefix = std::string(records::kProfileFile) + ": line 2: ";
            if (why.rfind(prefix, 0) == 0) why.erase(0, prefix.size());
            messenger().beep();
            messenger().show(this, QStringLiteral("%1 行目を保存できません\n").arg(r + 1) + Q(why),
                             Icon::Exclamation);
            table_->setCurrentCell(r, 0);
            return false;
        }
    }
    try {
        records::WriteProfiles(file_, profiles);
    } catch (const std::exception& e) {
        messenger().beep();
        messenger().show(this, QStringLiteral("装置設定を保存できませんでした\n") + Q(e.what()),
                         Icon::Exclamation);
        return false;
    }
    emit saved(profiles);
    return true;
}

}  // namespace dovex::ui
