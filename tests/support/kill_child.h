#pragma once
// Kill tests: a test runs an operation in a child process (this test binary again, with only
// the child test selected) and has it killed at the n-th call of a kind (see killshim.c),
// then checks what the operation left. The child test runs only when started this way.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

namespace testsupport {

struct ChildRun {
  bool killed = false;  // stopped by the kill, not finished
  int exitCode = -1;    // when it finished
};

// Runs the test `childTest` ("Suite.Name") of this binary in a child process with the program
// folder `folder`, killed at `killAt` ("rename:3", "write+:10"; empty: not killed).
ChildRun runChild(const QString& childTest, const QString& folder, const QString& killAt);

// In a child test: true when this process is such a child; the program folder it was given.
bool isKillChild();
QString killChildFolder();

}  // namespace testsupport

// Opens a child test: skipped unless started by runChild.
#define KILL_CHILD_ONLY()                                             \
  do {                                                                \
    if (!testsupport::isKillChild()) GTEST_SKIP() << "kill child only"; \
  } while (0)
