// SPDX-License-Identifier: GPL-3.0-or-later
// Karvelo on a Linux desktop: the Qt view, the POSIX services and the main window.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/LinuxDesktop.h"
#include "main_window/Form1.h"

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

QtMessageHandler qtMessages = nullptr;

// While Qt opens the display: a display that cannot be reached (a stale DISPLAY, a server that
// is gone) ends the program with one line instead of Qt's several and an abort.
void openingMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    const char* display =
        isSet("DISPLAY") ? std::getenv("DISPLAY") : std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "karvelo: cannot open the display %s\n", display ? display : "");
    std::_Exit(2);
  }
  // The platform plugin's own complaints lead up to the fatal message above.
  if (std::string_view(context.category ? context.category : "").starts_with("qt.qpa")) return;
  if (qtMessages) qtMessages(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace karvelo;
  // Without a display Qt would abort with a long message; say it in one line instead.
  if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
    std::fputs(
        "karvelo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)\n",
        stderr);
    return 2;
  }
  qtMessages = qInstallMessageHandler(openingMessages);
  QApplication app(argc, argv);
  qInstallMessageHandler(qtMessages);
  QApplication::setApplicationName(QStringLiteral("Karvelo"));
  // The desktop entry's name: Wayland desktops find the window's icon and menu entry by it.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.karvelo.Karvelo"));

  app::LinuxDesktop desktop;
  views::qt::QtView& view = desktop.view;
  main_window::Form1 form(desktop.services());
  form.setFontMetrics(&view.fontMetrics());
  form.load();
  view.show(form);
  const int status = view.hasEnded() ? 0 : QApplication::exec();
  // Every window goes before the forms that they show.
  view.end();
  // Ending the program ends the process at once: the window objects are not destroyed, so no
  // control's termination step runs (XPStyle1 keeps the shell library loaded until the end).
  std::fflush(nullptr);
  std::_Exit(status);
}
