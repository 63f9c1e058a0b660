#include "app/ScopeApp.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <algorithm>
#include <memory>

#include "app/QtProfile.h"
#include "app/QtPrompts.h"
#include "app/ScopeDlg.h"
#include "app/ShutdownSignals.h"
#include "device/VendorDriver.h"
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

bool CScopeApp::WantsSimulation(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), "--simulate") != arguments.end();
}

int CScopeApp::InitInstance(const std::vector<std::string>& arguments) {
  QLockFile lock(LockFilePath());
  lock.setStaleLockTime(0);
  (void)lock.tryLock(0);

  QtProfile profile;
  QtPrompts prompts;
  std::unique_ptr<DriverLoader> loader =
      WantsSimulation(arguments) ? MakeSimulatedDriverLoader() : MakeVendorDriverLoader();
  {
    CScopeDlg dialog(std::move(loader), profile, prompts);
    prompts.SetParent(&dialog);
    const ShutdownSignals shutdown([&dialog] { dialog.OnSessionEnd(); });
    dialog.exec();
  }
  profile.Sync();
  return 0;
}

}  // namespace kestrova
