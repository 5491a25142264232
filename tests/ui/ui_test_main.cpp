// Runs the UI tests inside one QApplication on the offscreen platform, with
// per-user settings and data (recovery copies) kept in a directory of their
// own.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "ui/views/accessible_views.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir settingsDir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(settingsDir.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    halvorn::installAccessibleInterfaces();
    QApplication::setOrganizationName(QStringLiteral("Quorlane"));
    QApplication::setApplicationName(QStringLiteral("Halvorn"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    return RUN_ALL_TESTS();
}
