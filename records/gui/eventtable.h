// SPDX-License-Identifier: MIT
#pragma once
// The table of calculated dose-record events: one column per value a radiographer checks, each
// described once (caption, value, number pattern and the assumptions that stand behind it). A
// value the record did not give is marked, and its tooltip says what was assumed and why.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "records/process.h"

namespace dovex::ui {

struct EventColumn {
    const char* caption;
    // The number the column sorts by and shows through `pattern`, or nothing.
    std::function<std::optional<double>(const records::EventOutcome&)> number;
    // The text of a text column (`number` empty).
    std::function<QString(const records::EventOutcome&)> text;
    const char* pattern = "";
    // The assumption items (records::Assumption::item) this value rests on.
    std::vector<const char*> assumed = {};
};
const std::vector<EventColumn>& EventColumns();
// The column of a caption; -1 for none.
int EventColumnOf(const char* caption);

// The mark of a value that was assumed rather than read.
inline const QString kAssumedMark = QStringLiteral(" *");

class EventTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;
    void setEvents(const std::vector<const records::EventOutcome*>& events);
    const records::EventOutcome& event(int row) const { return *events_[row]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

  private:
    std::vector<const records::EventOutcome*> events_;
};

// The rows of one unit and one exam part (an empty choice passes all).
class EventFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setChoice(const QString& unit, const QString& examPart);

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

  private:
    QString unit_, examPart_;
};

// Assumptions of an event on the items given, as the tooltip lists them; empty for none.
QString AssumptionText(const records::EventOutcome& o, const std::vector<const char*>& items);

}  // namespace dovex::ui
