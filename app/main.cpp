// SPDX-License-Identifier: MIT
// dovex: the desktop dose calculator. Its data folder becomes the current directory: the folder
// given by "--data-dir DIR", else DOVEX_DATA_DIR, else the user's own data folder
// (~/.local/share/dovex), which is filled from the shipped data on the first start and after an
// update of the package.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/datadir.h"
#include "ui/messenger.h"
#include "ui/translation.h"

#ifndef DOVEX_DATA_DIR
#define DOVEX_DATA_DIR "data"
#endif
// Version and digest of the source tree's data/, for a program run from its build folder.
#ifndef DOVEX_DATA_STAMP
#define DOVEX_DATA_STAMP "0"
#endif

namespace {

// The user's data folder, made ready from the shipped data; empty (after a message) on failure.
QString UserDataDir() {
    const QString shipped = dovex::app::ShippedDataDir(QCoreApplication::applicationDirPath(),
                                                       QString::fromUtf8(DOVEX_DATA_DIR));
    const dovex::UserDataFolderChoice choice = dovex::UserDataFolderFromEnvironment();
    if (choice.dir.empty()) {
        dovex::ui::messenger().show(
            nullptr,
            QString::fromStdString(choice.problemJa) + QStringLiteral("\nプログラムを終了します。"),
            dovex::ui::Icon::Exclamation);
        return {};
    }
    const QString user = QFile::decodeName(choice.dir.string().c_str());
    const dovex::DataFolderResult r = dovex::PrepareUserDataFolder(
        QFile::encodeName(shipped).toStdString(), choice.dir, DOVEX_DATA_STAMP);
    if (r.ok) {
        if (!r.keptCopies.empty()) {
            QString list;
            for (const auto& [file, copy] : r.keptCopies)
                list += QStringLiteral("\n") + QFile::decodeName(file.string().c_str()) +
                        QStringLiteral(" → ") + QFile::decodeName(copy.filename().string().c_str());
            dovex::ui::messenger().show(
                nullptr,
                QStringLiteral("　新しい版のデータと同じ名前のファイルがありました。"
                               "元のファイルは次の名前で残してあります：") +
                    list,
                dovex::ui::Icon::Information);
        }
        return user;
    }
    dovex::ui::messenger().show(nullptr,
                                QStringLiteral("　データフォルダを用意できません：") +
                                    QFile::decodeName(r.file.c_str()) + QStringLiteral("　\n") +
                                    QString::fromStdString(r.reason) +
                                    QStringLiteral("\nプログラムを終了します。"),
                                dovex::ui::Icon::Exclamation);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dovex"));
    dovex::ui::InstallToolkitTranslation(qapp);
    // No display name: the platform would append it to every window title, and the titles are
    // the program's own texts. The program ends only through the exit confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    QString dir = dovex::app::ResolveDataDir(QApplication::arguments(),
                                             qEnvironmentVariable("DOVEX_DATA_DIR"), QString());
    if (dir.isEmpty()) {
        dir = UserDataDir();
        if (dir.isEmpty()) return 1;
    }
    const QString absolute = QDir(dir).absolutePath();
    if (!QDir(absolute).exists() || !QDir::setCurrent(absolute)) {
        dovex::ui::messenger().show(
            nullptr,
            dovex::app::DataFileMessage(absolute, QStringLiteral("データフォルダがありません")),
            dovex::ui::Icon::Exclamation);
        return 1;
    }
    const QByteArray local = QFile::encodeName(absolute);
    dovex::app::Application app{std::filesystem::path(local.toStdString())};
    QObject::connect(
        &app, &dovex::app::Application::quitRequested, &qapp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    const qint64 beforeStart = clock.elapsed();
    if (!app.start()) return 1;
    if (qEnvironmentVariableIsSet("DOVEX_STARTUP_TIMING")) {
        // Printed once the event loop has shown the windows.
        const qint64 started = clock.elapsed();
        QTimer::singleShot(0, &qapp, [&clock, beforeStart, started] {
            std::fprintf(stderr,
                         "dovex: toolkit %lld ms, data and windows %lld ms, main window ready "
                         "after %lld ms\n",
                         static_cast<long long>(beforeStart),
                         static_cast<long long>(started - beforeStart),
                         static_cast<long long>(clock.elapsed()));
        });
    }
    return qapp.exec();
}
