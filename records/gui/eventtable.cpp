// SPDX-License-Identifier: MIT
#include "records/gui/eventtable.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "calculation/resultfields.h"
#include "engine/numtext.h"

namespace dovex::ui {
namespace {

using records::EventOutcome;
using Number = std::optional<double>;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The quantities of a calculated event.
const ExposureConditions& Cond(const EventOutcome& o) { return o.result->conditions; }
const DoseResult& Dose(const EventOutcome& o) { return o.result->dose; }

QString Sex(const EventOutcome& o) {
    const std::string& s = o.event.patient.sex;
    if (s == "M") return QStringLiteral("男");
    if (s == "F") return QStringLiteral("女");
    if (s == "O") return QStringLiteral("その他");
    return {};
}

QString View(const EventOutcome& o) {
    const auto& e = o.event;
    if (!e.view.meaning.empty()) return Q(e.view.meaning);
    return Q(e.viewPosition);
}

QString FieldText(const EventOutcome& o) {
    const ExposureConditions& c = Cond(o);
    return Q(FormatPattern(c.fieldLong, "0.0")) + QStringLiteral(" × ") +
           Q(FormatPattern(c.fieldShort, "0.0"));
}

QString FilterText(const EventOutcome& o) {
    const ExposureConditions& c = Cond(o);
    QStringList parts;
    if (c.addedAl > 0) parts << QStringLiteral("Al ") + Q(PlainNumber(c.addedAl * 10));
    if (c.addedCu > 0) parts << QStringLiteral("Cu ") + Q(PlainNumber(c.addedCu * 10));
    if (!c.arbitraryFilterName.empty())
        parts << Q(c.arbitraryFilterName) + QStringLiteral(" ") +
                     Q(PlainNumber(c.arbitraryFilterThickness * 10));
    return parts.isEmpty() ? QStringLiteral("なし") : parts.join(QStringLiteral(" + "));
}

const char* DosePattern(const char* json) { return calc::ResultQuantityOf(json).pattern; }

// The dose model's assumptions about the unit: every dose of the event rests on them.
const std::vector<const char*> kUnitModel = {"inherentFilter", "targetAngle", "rectification",
                                             "exposureAt1m"};

}  // namespace

const std::vector<EventColumn>& EventColumns() {
    static const std::vector<EventColumn> k = {
        {"ファイル",
         {},
         [](const EventOutcome& o) { return QFileInfo(Q(o.event.file)).fileName(); }},
        {"事象", [](const EventOutcome& o) -> Number { return o.event.index; }, {}, "0"},
        {"装置", {}, [](const EventOutcome& o) { return Q(o.mapped.unit); }},
        {"日付", {}, [](const EventOutcome& o) { return Q(o.event.date); }},
        {"撮影部位", {}, [](const EventOutcome& o) { return Q(Cond(o).examPart); }, "", {"view"}},
        {"方向", {}, View},
        {"性別", {}, Sex},
        {"年齢", [](const EventOutcome& o) { return o.event.patient.ageYears; }, {}, "0"},
        {"管電圧 kV",
         [](const EventOutcome& o) -> Number { return Cond(o).tubeVoltage; },
         {},
         "0.0"},
        {"管電流 mA",
         [](const EventOutcome& o) -> Number { return Cond(o).tubeCurrent; },
         {},
         "0.0",
         {"tubeCurrent"}},
        {"時間 ms",
         [](const EventOutcome& o) -> Number { return Cond(o).exposureTime * 1000; },
         {},
         "0.0",
         {"exposureTime"}},
        {"mAs",
         [](const EventOutcome& o) -> Number { return Cond(o).tubeCurrent * Cond(o).exposureTime; },
         {},
         "0.00",
         {"exposureMAs"}},
        {"SID cm", [](const EventOutcome& o) -> Number { return Cond(o).ffd; }, {}, "0.0", {"ffd"}},
        {"DAP Gy·cm²",
         [](const EventOutcome& o) -> Number {
             if (!o.event.dapGym2) return std::nullopt;
             return *o.event.dapGym2 * 1e4;
         },
         {},
         "0.000"},
        {"表面線量 空気 mGy",
         [](const EventOutcome& o) -> Number { return Dose(o).esdAir; },
         {},
         DosePattern("esdAir"),
         kUnitModel},
        {"表面線量 軟部組織 mGy",
         [](const EventOutcome& o) -> Number { return Dose(o).esdSoft; },
         {},
         DosePattern("esdSoft"),
         kUnitModel},
        {"実効線量 mSv",
         [](const EventOutcome& o) -> Number {
             if (o.result->estimate != calc::EstimateStatus::Made) return std::nullopt;
             return Dose(o).effectiveDose;
         },
         {},
         DosePattern("effectiveDose"),
         kUnitModel},
        {"DRL mGy",
         [](const EventOutcome& o) -> Number {
             if (!o.result->drl.hasLevel) return std::nullopt;
             return o.result->drl.valueMGy;
         },
         {},
         "0.00"},
        {"DRL比 %",
         [](const EventOutcome& o) -> Number {
             if (!o.result->drl.hasLevel) return std::nullopt;
             return o.result->drl.percent;
         },
         {},
         "0"},
        {"記録/計算",
         [](const EventOutcome& o) -> Number {
             if (!o.recordDose || !(o.recordDose->ratio > 0)) return std::nullopt;
             return o.recordDose->ratio;
         },
         {},
         "0.00"},
        {"FSD cm", [](const EventOutcome& o) -> Number { return Cond(o).fsd; }, {}, "0.0", {"fsd"}},
        {"厚さ cm",
         [](const EventOutcome& o) -> Number { return Cond(o).subjectThickness; },
         {},
         "0.0",
         {"subjectThickness"}},
        {"照射野 cm", {}, FieldText, "", {"field"}},
        {"付加フィルタ mm", {}, FilterText, "", {"addedFilter", "filter"}},
    };
    return k;
}

int EventColumnOf(const char* caption) {
    const auto& cols = EventColumns();
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (std::strcmp(cols[i].caption, caption) == 0) return static_cast<int>(i);
    return -1;
}

QString AssumptionText(const records::EventOutcome& o, const std::vector<const char*>& items) {
    QStringList lines;
    for (const records::Assumption& a : o.mapped.assumptions)
        if (std::any_of(items.begin(), items.end(), [&](const char* i) { return a.item == i; }))
            lines << (a.textJa.empty() ? Q(a.value) + QStringLiteral(" ― ") + Q(a.why)
                                       : Q(a.textJa));
    if (lines.isEmpty()) return {};
    return QStringLiteral("記録にない値を仮定しました:\n") + lines.join('\n');
}

void EventTableModel::setEvents(const std::vector<const records::EventOutcome*>& events) {
    beginResetModel();
    events_ = events;
    endResetModel();
}

int EventTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

int EventTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(EventColumns().size());
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const EventColumn& c = EventColumns()[static_cast<std::size_t>(index.column())];
    const EventOutcome& o = *events_[static_cast<std::size_t>(index.row())];
    const Number n = c.number ? c.number(o) : std::nullopt;
    switch (role) {
        case Qt::DisplayRole: {
            QString t =
                c.number ? (n ? Q(FormatPattern(*n, c.pattern)) : QStringLiteral("―")) : c.text(o);
            if (!c.assumed.empty() && !AssumptionText(o, c.assumed).isEmpty()) t += kAssumedMark;
            return t;
        }
        case Qt::UserRole:  // what the column sorts by
            if (c.number) return n ? QVariant(*n) : QVariant(-1e300);
            return c.text(o);
        case Qt::ToolTipRole: {
            QString tip = AssumptionText(o, c.assumed);
            if (index.column() == 0)
                tip = Q(o.event.file) + (tip.isEmpty() ? QString() : QStringLiteral("\n") + tip);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::Alignment((c.number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        case Qt::ForegroundRole:
            if (std::strcmp(c.caption, "DRL比 %") == 0 && o.result->drl.exceeds())
                return QBrush(QColor(0xc0, 0, 0));
            return {};
        case Qt::BackgroundRole:
            if (!c.assumed.empty() && !AssumptionText(o, c.assumed).isEmpty())
                return QBrush(QColor(0xff, 0xf4, 0xc8));
            return {};
        default:
            return {};
    }
}

QVariant EventTableModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::ToolTipRole && section >= 0 && section < columnCount()) {
        const QString c =
            QString::fromUtf8(EventColumns()[static_cast<std::size_t>(section)].caption);
        if (c.startsWith(QStringLiteral("表面線量")))
            return QStringLiteral("入射表面線量（後方散乱を含む）");
        if (c.startsWith(QStringLiteral("DRL")))
            return QStringLiteral("診断参考レベル（DRL）とその中での割合");
        if (c.startsWith(QStringLiteral("記録/計算")))
            return QStringLiteral("記録の線量から求めた入射空気カーマ ÷ 計算の入射空気カーマ");
        return {};
    }
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, o, role);
    // The unit under the name: narrow columns for the numbers.
    return QString::fromUtf8(EventColumns()[static_cast<std::size_t>(section)].caption)
        .replace(' ', '\n');
}

void EventFilter::setChoice(const QString& unit, const QString& examPart) {
    unit_ = unit;
    examPart_ = examPart;
    invalidateFilter();
}

bool EventFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
    auto* m = qobject_cast<EventTableModel*>(sourceModel());
    if (!m || parent.isValid()) return true;
    const EventOutcome& o = m->event(row);
    return (unit_.isEmpty() || Q(o.mapped.unit) == unit_) &&
           (examPart_.isEmpty() || Q(o.result->conditions.examPart) == examPart_);
}

}  // namespace dovex::ui
