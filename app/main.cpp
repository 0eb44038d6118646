// dovex: the desktop dose calculator. Its data folder becomes the current directory; the folder
// is the one built in, or DOVEX_DATA_DIR, or "--data-dir DIR".
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/common/messenger.h"

#ifndef DOVEX_DATA_DIR
#define DOVEX_DATA_DIR "data"
#endif

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dovex"));
    // No display name: the platform would append it to every window title, and the titles are
    // the program's own texts. The program ends only through the exit confirmation.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString dir = dovex::app::ResolveDataDir(QApplication::arguments(),
                                                   qEnvironmentVariable("DOVEX_DATA_DIR"),
                                                   QString::fromUtf8(DOVEX_DATA_DIR));
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
