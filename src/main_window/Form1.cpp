// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/Form1.h"

#include "folder_browser/modFolderBrowse.h"
#include "forms/RuntimeError.h"
#include "platform/PathStyle.h"
#include "resize_job/ConverterCommandLine.h"
#include "resize_job/LaunchBatch.h"
#include "resize_job/RunReport.h"

#include <string>

namespace karvelo::main_window {

using forms::CheckBox;
using resize_job::ResizeMethod;

void Form1::wireEvents() {
  cmdExit.Click = [this] { cmdExit_Click(); };
  mnuExit.Click = [this] { mnuExit_Click(); };
  cmdAdd.Click = [this] { cmdAdd_Click(); };
  cmdRemove.Click = [this] { cmdRemove_Click(); };
  SelectAll.Click = [this] { SelectAll_Click(); };
  deselectall.Click = [this] { deselectall_Click(); };
  SelectAll2.Click = [this] { SelectAll2_Click(); };
  DeselectAll2.Click = [this] { DeselectAll2_Click(); };
  cmdRefresh.Click = [this] { cmdRefresh_Click(); };
  Command1.Click = [this] { Command1_Click(); };
  Command2.Click = [this] { Command2_Click(); };
  chkSource.Click = [this] { chkSource_Click(); };
  chkOverwrite.Click = [this] { chkOverwrite_Click(); };
  cmdResize.Click = [this] { cmdResize_Click(); };
  mnuAbout.Click = [this] { mnuAbout_Click(); };
  mnuFAQ.Click = [this] { mnuFAQ_Click(); };
  mnuSupport.Click = [this] { mnuSupport_Click(); };
  MnuUpload.Click = [this] { MnuUpload_Click(); };
}

void Form1::Form_Load() {
  // The list only: the text field keeps "25 %" with no entry selected.
  for (const char* ratio : {"25 %", "40 %", "50 %", "60 %", "75 %", "85 %"}) {
    cmbRatio.AddItem(ratio);
  }
  resize_job::Module1::InitProgressBar(*this);
}

void Form1::Form_Unload(std::int16_t& cancel) {
  (void)cancel;  // a close is never refused
  services.application.end();
}

void Form1::cmdExit_Click() { Unload(); }

// Ends the program without unloading the window, so Form_Unload does not run.
void Form1::mnuExit_Click() { services.application.end(); }

void Form1::MoveListBoxItems(forms::ListBox& lstListToAddTo, forms::ListBox& lstListToRemoveFrom) {
  // From the last entry down, so that removing an entry leaves the indexes still to be visited
  // in place. A move never fails: once the target holds as many entries as a list can, the move
  // stops and the entries not yet moved stay where they are, still selected.
  const auto count = static_cast<std::int16_t>(lstListToRemoveFrom.ListCount());
  for (std::int16_t i = static_cast<std::int16_t>(count - 1); i >= 0; --i) {
    if (!lstListToRemoveFrom.Selected(i)) continue;
    if (lstListToAddTo.ListCount() >= forms::ListBox::MaxEntries) return;
    lstListToAddTo.AddItem(lstListToRemoveFrom.List(i));
    lstListToAddTo.setItemData(lstListToAddTo.NewIndex(), lstListToRemoveFrom.ItemData(i));
    lstListToRemoveFrom.RemoveItem(i);
  }
}

void Form1::selectEveryEntry(forms::ListBox& list, bool selected) {
  // The range runs from index 0 to the entry count; the list limits it to the entries it has.
  const auto count = static_cast<std::int16_t>(list.ListCount());
  list.sendMessage(forms::ListBox::LB_SELITEMRANGE, selected ? 1 : 0, MakeLong(0, count));
}

void Form1::cmdAdd_Click() { MoveListBoxItems(List2, List1); }
void Form1::cmdRemove_Click() { MoveListBoxItems(List1, List2); }
void Form1::SelectAll_Click() { selectEveryEntry(List1, true); }
void Form1::deselectall_Click() { selectEveryEntry(List1, false); }
void Form1::SelectAll2_Click() { selectEveryEntry(List2, true); }
void Form1::DeselectAll2_Click() { selectEveryEntry(List2, false); }

void Form1::cmdRefresh_Click() {
  List1.Clear();
  List2.Clear();
  try {
    module1.ListFolderFiles(lblPicFolder.Caption());
  } catch (const RuntimeError&) {
    // The source folder is gone or was never chosen: end quietly with both lists empty and the
    // destination untouched, as the source folder's Browse does, rather than end the program.
    return;
  }
  if (chkSource.isChecked()) lblPicFolderDest.setCaption(lblPicFolder.Caption());
}

namespace {

constexpr const char* FolderDialogTitle = "Select Folder";
// The destination dialog: the resizable dialog with "Make New Folder", and an edit field.
constexpr std::int32_t DestinationDialogFlags =
    static_cast<std::int32_t>(platform::bif::NewDialogStyle | platform::bif::EditBox);

}  // namespace

void Form1::Command1_Click() {
  // Any failure ends the handler silently, leaving everything as far as it got.
  try {
    // The dialog opens on the current source folder.
    modFolderBrowse::StartFolder = lblPicFolder.Caption();
    lblPicFolder.setCaption(
        modFolderBrowse::BrowseForFolder(services.folderDialog, hWnd, FolderDialogTitle, 0));
    modFolderBrowse::StartFolder.clear();
    List1.Clear();
    // A cancelled dialog left the caption empty: the listing fails and the handler ends here.
    module1.ListFolderFiles(lblPicFolder.Caption());
    if (chkSource.isChecked()) lblPicFolderDest.setCaption(lblPicFolder.Caption());
    cmdRefresh.setEnabled(true);
  } catch (...) {
    // Also when the dialog itself failed: the start folder is set only while a dialog is open.
    modFolderBrowse::StartFolder.clear();
  }
}

void Form1::Command2_Click() {
  try {
    // The destination dialog opens on the source folder, not on the current destination.
    modFolderBrowse::StartFolder = lblPicFolder.Caption();
    lblPicFolderDest.setCaption(modFolderBrowse::BrowseForFolder(
        services.folderDialog, hWnd, FolderDialogTitle, DestinationDialogFlags));
    modFolderBrowse::StartFolder.clear();
  } catch (...) {
    modFolderBrowse::StartFolder.clear();
  }
}

void Form1::chkSource_Click() {
  // Only a ticked box follows the source; clear and grayed both empty the destination.
  lblPicFolderDest.setCaption(chkSource.Value() == CheckBox::Checked ? lblPicFolder.Caption()
                                                                     : std::string());
}

void Form1::chkOverwrite_Click() {
  // The prefix text is kept for when the box is cleared again.
  const bool usePrefix = chkOverwrite.Value() != CheckBox::Checked;
  lblPrefix.setEnabled(usePrefix);
  txtPrefix.setEnabled(usePrefix);
}

resize_job::ResizeRequest Form1::readResizeRequest() const {
  resize_job::ResizeRequest request;
  request.SourceFolder = lblPicFolder.Caption();
  request.DestFolder = lblPicFolderDest.Caption();
  request.FileNames.reserve(static_cast<std::size_t>(List2.ListCount()));
  for (int i = 0; i < List2.ListCount(); ++i) request.FileNames.push_back(List2.List(i));
  if (opt1.Value()) {
    request.Method = ResizeMethod::Ratio;
  } else if (opt2.Value()) {
    request.Method = ResizeMethod::SpecificHeight;
  } else if (opt3.Value()) {
    request.Method = ResizeMethod::SpecificWidth;
  }
  request.RatioText = resize_job::leftCharacters(cmbRatio.Text(), 2);
  request.HeightText = txtHeight.Text();
  request.WidthText = txtWidth.Text();
  request.MaintainAspect = chkMaintain.isChecked();
  request.Overwrite = chkOverwrite.isChecked();
  request.Prefix = txtPrefix.Text();
  request.Suffix = txtSuffix.Text();
  return request;
}

void Form1::cmdResize_Click() {
  std::unique_ptr<platform::OutcomeChannel> run;
  resize_job::ResizeRequest request;
  // The one trap of this handler: any failure, from the ratio conversion to a start that fails
  // or memory running out in a batch of thousands, restores the default pointer and ends the
  // handler without a message.
  try {
    request = readResizeRequest();
    if (resize_job::hasBothFolders(request)) {
      SelectAll2_Click();
      module1.FileCount = static_cast<std::int16_t>(List2.ListCount());
    }
    if (const auto message = resize_job::CheckResizeRequest(request, decimalSeparator)) {
      services.messages.show(*message, resize_job::entryError::Style,
                             std::string(resize_job::entryError::Title));
      return;
    }
    if (request.Method == ResizeMethod::Ratio) {
      // The drop-down keeps the cut text ("25" for "25 %"), and the ratio is read back from it.
      cmbRatio.setText(request.RatioText);
      request.RatioText = cmbRatio.Text();
    }
    const resize_job::ConverterSegments segments =
        resize_job::PrepareConverterSegments(request, decimalSeparator);
    // The converters of this run report to a channel of its own, so that its end can name what
    // failed; where the system gives none, they are started as they always were.
    run = services.outcomes.open();
    resize_job::LaunchBatch(*this, request, segments, module1.FileCount,
                            run ? *run : services.processes, platform::nativePaths);
  } catch (...) {
    setMousePointer(forms::pointer::Default);
  }
  // Also after a failed start: the converters started before it are watched to their end.
  if (run) {
    run->close([this, request = std::move(request)](platform::RunEnd end) {
      services.application.post(*this, [this, request, end = std::move(end)] {
        showRunFailures(request, end);
      });
    });
  }
}

void Form1::showRunFailures(const resize_job::ResizeRequest& request,
                            const platform::RunEnd& end) {
  if (const auto text =
          resize_job::RunFailureReport(request.FileNames, request.SourceFolder, end,
                                       services.outcomes.converterLog(), platform::nativePaths)) {
    services.messages.show(*text, resize_job::runFailures::Style,
                           std::string(resize_job::runFailures::Title));
  }
}

}  // namespace karvelo::main_window
