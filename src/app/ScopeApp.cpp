#include "app/ScopeApp.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <iostream>
#include <memory>

#include "app/QtProfile.h"
#include "app/QtPrompts.h"
#include "app/ScopeDlg.h"
#include "app/ShutdownSignals.h"
#include "device/DriverChoice.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova {

namespace {

// Held for the whole run. A second copy of the program is not refused: it
// starts normally and finds the unit busy if the first one holds it open.
QString LockFilePath() {
  QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (directory.isEmpty()) directory = QDir::tempPath();
  return QDir(directory).filePath(QStringLiteral("Kestrova.lock"));
}

}  // namespace

int CScopeApp::InitInstance(DriverBackend driver) {
  DriverChoice choice = ChooseDriver(driver, [] { return MakeSimulatedDriverLoader(); });
  if (!choice.loader) {
    std::cerr << "kestrova: --driver=" << DriverBackendName(driver) << ": " << choice.description << '\n';
    return 2;
  }
  std::cerr << "kestrova: USB driver: " << choice.description << '\n';

  QLockFile lock(LockFilePath());
  lock.setStaleLockTime(0);
  (void)lock.tryLock(0);

  QtProfile profile;
  QtPrompts prompts;
  {
    CScopeDlg dialog(std::move(choice.loader), profile, prompts);
    prompts.SetParent(&dialog);
    // The process may be ended as soon as the request is handled (the
    // session's end on Windows): the settings reach the store before that.
    const ShutdownSignals shutdown([&dialog, &profile] {
      dialog.OnSessionEnd();
      profile.Sync();
    });
    dialog.exec();
  }
  profile.Sync();
  return 0;
}

}  // namespace kestrova
