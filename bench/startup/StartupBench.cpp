// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the desktop view is: from process start to the first painted main window, and from a
// press of Refresh on a folder of 32767 pictures to the painted list, each beside a peer measured
// in the same run (a bare Qt window; a QListWidget filled with the same names).
//
//   bench_startup            runs everything and prints the figures
// Without a display it uses Qt's offscreen platform.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/LinuxDesktop.h"
#include "common/ListedFolder.h"
#include "main_window/Form1.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace {

using namespace karvelo;
using bench::ListedFolder;
using bench::pictureNames;
using Clock = std::chrono::steady_clock;

constexpr int Entries = 32767;
constexpr int Runs = 7;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Child: shows one window and prints the clock when its first paint is done.
int showAndReport(const std::string& kind, int argc, char** argv) {
  QApplication app(argc, argv);
  bool reported = false;
  struct FirstPaint : QObject {
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint && onPaint) {
        auto run = std::move(onPaint);
        onPaint = nullptr;
        run();
      }
      return false;
    }
  } firstPaint;
  firstPaint.onPaint = [&] {
    // After the rest of this paint pass, when the window is on the screen.
    QTimer::singleShot(0, [&] {
      reported = true;
      std::printf("%lld\n", static_cast<long long>(nowNs()));
      std::fflush(stdout);
      QCoreApplication::exit(0);
    });
  };
  app.installEventFilter(&firstPaint);

  if (kind == "bare") {
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Karvelo")));
    window.resize(596, 699);
    window.show();
    return QApplication::exec();
  }
  app::LinuxDesktop desktop;
  views::qt::QtView& view = desktop.view;
  ListedFolder files({});
  main_window::Form1 form(desktop.services(files));
  form.setFontMetrics(&view.fontMetrics());
  form.load();
  view.show(form);
  const int status = QApplication::exec();
  view.end();
  return reported ? status : 1;
}

// Parent: starts the child Runs times and returns the median time to its first paint.
double startupMs(const char* self, const char* kind) {
  std::vector<double> times;
  for (int run = 0; run < Runs; ++run) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* args[] = {self, "--child", kind, nullptr};
    pid_t pid = 0;
    const std::int64_t start = nowNs();
    if (posix_spawn(&pid, self, &actions, nullptr, const_cast<char**>(args), environ) != 0)
      return -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (text.empty()) return -1;
    times.push_back(static_cast<double>(std::stoll(text) - start) / 1e6);
  }
  return median(times);
}

struct ListFigures {
  double view = 0;        // Refresh on the shown window until the list is painted
  double modelOnly = 0;   // the same Refresh on a window that no view shows
  double listWidget = 0;  // a QListWidget filled with the same names and painted
  double moveAll = 0;     // Select All, then "=>", until both lists are painted
};

ListFigures listTimes(const std::vector<std::string>& names) {
  ListFigures figures;
  std::vector<double> view, model, widget, move;
  for (int run = 0; run < Runs; ++run) {
    app::LinuxDesktop desktop;
    views::qt::QtView& qtView = desktop.view;
    ListedFolder files(names);
    const platform::Services services = desktop.services(files);
    {
      main_window::Form1 headless(services);
      headless.load();
      headless.lblPicFolder.setCaption("/pictures");
      const auto start = Clock::now();
      headless.cmdRefresh_Click();
      model.push_back(msSince(start));
    }
    main_window::Form1 form(services);
    form.setFontMetrics(&qtView.fontMetrics());
    form.load();
    form.lblPicFolder.setCaption("/pictures");
    form.cmdRefresh.setEnabled(true);
    qtView.show(form);
    QCoreApplication::processEvents();
    auto* list1 = static_cast<QListView*>(qtView.widgetOf(form.List1));
    auto* list2 = static_cast<QListView*>(qtView.widgetOf(form.List2));

    auto start = Clock::now();
    qtView.dispatch([&] { form.cmdRefresh.click(); });
    list1->viewport()->repaint();
    view.push_back(msSince(start));

    start = Clock::now();
    qtView.dispatch([&] { form.SelectAll.click(); });
    qtView.dispatch([&] { form.cmdAdd.click(); });
    list1->viewport()->repaint();
    list2->viewport()->repaint();
    move.push_back(msSince(start));
    qtView.end();

    QListWidget peer;
    peer.resize(229, 186);
    peer.show();
    QCoreApplication::processEvents();
    start = Clock::now();
    QStringList items;
    items.reserve(Entries);
    for (const std::string& name : names) items << QString::fromStdString(name);
    peer.addItems(items);
    peer.sortItems();
    peer.viewport()->repaint();
    widget.push_back(msSince(start));
  }
  figures.view = median(view);
  figures.modelOnly = median(model);
  figures.listWidget = median(widget);
  figures.moveAll = median(move);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return showAndReport(argv[2], argc, argv);

  const double karvelo = startupMs(argv[0], "karvelo");
  const double bare = startupMs(argv[0], "bare");
  std::printf("platform: %s, median of %d runs\n",
              std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "display", Runs);
  std::printf(
      "start to first painted window: karvelo %.1f ms, bare Qt window %.1f ms (ratio %.2f)\n",
      karvelo, bare, karvelo / bare);

  QApplication app(argc, argv);
  const ListFigures lists = listTimes(pictureNames());
  std::printf(
      "show %d entries (Refresh to painted List1): %.1f ms; model alone %.1f ms; "
      "QListWidget %.1f ms (ratio to QListWidget %.2f)\n",
      Entries, lists.view, lists.modelOnly, lists.listWidget, lists.view / lists.listWidget);
  std::printf("move all %d entries (Select All, =>, both lists painted): %.1f ms\n", Entries,
              lists.moveAll);
  return 0;
}
