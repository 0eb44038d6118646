// SPDX-License-Identifier: MIT
#include "app/chartwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>

#include "ui/fonts.h"
#include "ui/messenger.h"

namespace dovex::app {

void StyleChart(QChart* chart) {
    chart->setTitleFont(ui::MappedFont(ui::kFontMeiryo, 10));
    chart->legend()->setFont(ui::MappedFont(ui::kFontMeiryo, 9));
    for (QAbstractAxis* a : chart->axes()) {
        a->setTitleFont(ui::MappedFont(ui::kFontMeiryo, 9.5));
        a->setLabelsFont(ui::MappedFont(ui::kFontMeiryo, 8.5));
    }
    chart->setMargins(QMargins(6, 6, 6, 6));
}

ChartWindow::ChartWindow(const QString& title, QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(title);
    setFont(ui::MappedFont(ui::kFontMeiryo, 10));
    view_ = new QChartView(this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(560, 380);
    auto* copy = new QPushButton(QStringLiteral("画像をコピー"), this);
    copy->setObjectName("CopyImage");
    auto* save = new QPushButton(QStringLiteral("PNG で保存..."), this);
    save->setObjectName("SavePng");
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setImage(image()); });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("PNG で保存"),
                                                          QString(), QStringLiteral("PNG (*.png)"));
        if (path.isEmpty()) return;
        QString error;
        if (!savePng(path, &error))
            ui::messenger().show(this, QStringLiteral("　保存できませんでした：") + error,
                                 ui::Icon::Exclamation);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* v = new QVBoxLayout(this);
    v->addWidget(view_, 1);
    v->addLayout(buttons);
    resize(760, 520);
}

void ChartWindow::setChart(QChart* chart) {
    QChart* old = view_->chart();
    view_->setChart(chart);
    if (old && old != chart) delete old;
}

QImage ChartWindow::image() const { return view_->grab().toImage(); }

bool ChartWindow::savePng(const QString& path, QString* error) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !image().save(&f, "PNG") || !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

}  // namespace dovex::app
