// The VarnelSerie remote-control application.
#include "signal_close.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    varnel::app::StartupOptions options;
    varnel::app::AppStart start(std::move(options));
    start.run();
    auto *main = start.mainWindow();
    QObject::connect(main, &varnel::app::TForm_Main_VarnelOrla::closed, &app, &QCoreApplication::quit);
    varnel::app::closeOnTerminationSignals(main);
    main->show();
    return app.exec();
}
