// The VarnelSerie remote-control application.
#include "qt_link.h"
#include "serial_ports.h"
#include "signal_close.h"
#include "startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPointer<QWidget> errorParent;

    varnel::app::StartupOptions options;
    options.makeDriver = [&errorParent] {
        varnel::app::DriverBundle bundle;
        bundle.driver = varnel::makeQtDriver();
        bundle.driver->setLinkErrorHandler([&errorParent](varnel::TVRK_610_d &, const std::string &text) {
            // Non-modal, so the event loop (and the link) keeps running.
            auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("VarnelSerie"),
                                        QString::fromStdString(text), QMessageBox::Ok, errorParent);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
        return bundle;
    };
    options.discoverSerialPorts = [] { return varnel::availableSerialPorts(); };

    varnel::app::AppStart start(std::move(options));
    start.run();
    auto *main = start.mainWindow();
    errorParent = main;
    QObject::connect(main, &varnel::app::TForm_Main_VarnelOrla::closed, &app, &QCoreApplication::quit);
    varnel::app::closeOnTerminationSignals(main);
    main->show();
    return app.exec();
}
