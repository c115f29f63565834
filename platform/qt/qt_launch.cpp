#include "platform/qt/qt_launch.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <cstring>

#include "platform/launch.h"

namespace {

bool QtStartProgram(const char* name, const char* const* arguments) {
  QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(name));
  if (!QFileInfo(program).isExecutable()) program = QStandardPaths::findExecutable(QString::fromUtf8(name));
  if (program.isEmpty()) return false;
  // Detached: the saver outlives nothing here, and leaves no zombie behind.
  QStringList list;
  for (const char* const* a = arguments; *a; ++a) list << QString::fromUtf8(*a);
  return QProcess::startDetached(program, list);
}

bool QtOpenInBrowser(const char* address) {
  bool web = std::strncmp(address, "http://", 7) == 0 || std::strncmp(address, "https://", 8) == 0;
  if (web) return QDesktopServices::openUrl(QUrl(QString::fromUtf8(address)));
  QString path = QString::fromUtf8(address);
  if (!QFileInfo::exists(path)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

const LaunchService kQtLaunchService = {QtStartProgram, QtOpenInBrowser};

}  // namespace

void InstallQtLaunchService() { gLaunch = &kQtLaunchService; }
