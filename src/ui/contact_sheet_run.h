// Command 25: the index prints of the files in the list, one per disc or
// folder, as --contact-sheet makes them. They are made on a thread of their
// own from a copy of the list, so the window stays in use meanwhile; a
// message box then tells where each sheet went, or why it was not made.
#pragma once

#include <QObject>
#include <thread>

#include "engine/run/contact_sheet.h"

namespace lumafold::ui {

class MainWindow;

class ContactSheetRun : public QObject {
 public:
  explicit ContactSheetRun(MainWindow& window);
  // Waits for the sheets in hand: the thread reads nothing of the window,
  // but its files are half written until it ends.
  ~ContactSheetRun() override;

  // Refuses, with the message Convert gives, an empty list, an empty output
  // folder and one that is not a folder, and, with a message of its own, a
  // conversion or import that is running; does nothing while sheets are
  // being made.
  // True when the sheets are on their way.
  bool start();
  bool busy() const { return worker_.joinable(); }

 private:
  void finished(const ContactSheetResult& result);
  void showBusy(bool busy);

  MainWindow& window_;
  std::thread worker_;
};

// The message box text for a result: the sheets written, then the ones not
// written with their reasons.
QString ContactSheetReport(const ContactSheetResult& result);

}  // namespace lumafold::ui
