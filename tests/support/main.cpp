// Test entry point: one QApplication for the whole run, headless unless told otherwise,
// and nothing that could block or end the run without a test saying so.
#include <gtest/gtest.h>

#include <QApplication>

#include "scoped_hooks.h"
#include "scripted_dialogs.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  // Informing boxes are answered OK; a question, dialog, end or modal window that a test
  // did not script fails that test.
  testsupport::ScriptedDialogs strict;
  strict.requireAllAnswersUsed = false;
  testsupport::installStrictDefaults();
  return RUN_ALL_TESTS();
}
