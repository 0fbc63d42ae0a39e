// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's menu entries that lead elsewhere: the About window and the Velmora pages.
#include "main_window/Form1.h"
#include "web_links/WebLinks.h"

namespace karvelo::main_window {

void Form1::mnuAbout_Click() {
  // At most one About window. After OK or its close box has unloaded it, a new one is made and
  // loaded; the old one is destroyed here, well after its own unload notification has ended.
  if (!about_ || about_->isUnloaded()) {
    about_.reset();
    about_ = std::make_unique<about::frmAbout>(services);
    about_->load();
  }
  // Without a mode and without an owner: both windows take input. A shown window comes to the
  // front.
  services.application.show(*about_);
}

void Form1::mnuFAQ_Click() { web_links::openPage(services.shell, hWnd, web_links::VelmoraFaq); }

void Form1::mnuSupport_Click() {
  web_links::openPage(services.shell, hWnd, web_links::VelmoraSupport);
}

void Form1::MnuUpload_Click() { web_links::openPage(services.shell, hWnd, web_links::VelmoraHome); }

}  // namespace karvelo::main_window
