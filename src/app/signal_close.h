#pragma once
// Turns SIGINT and SIGTERM into a close of a window on the user-interface thread,
// so the program stops the way "Exit" stops it (settings written, link closed).

class QWidget;

namespace varnel::app {

/// Installs the handlers; a later signal closes `window`. Call once.
void closeOnTerminationSignals(QWidget *window);

}  // namespace varnel::app
