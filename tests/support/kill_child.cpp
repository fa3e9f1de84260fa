#include "kill_child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <vector>

namespace testsupport {

bool isKillChild() { return qEnvironmentVariableIsSet("LENTAVO_KILL_CHILD"); }
QString killChildFolder() { return qEnvironmentVariable("LENTAVO_KILL_CHILD"); }

ChildRun runChild(const QString& childTest, const QString& folder, const QString& killAt) {
  const QByteArray self = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
  const QByteArray filter = "--gtest_filter=" + childTest.toUtf8();
  QByteArrayList env;
  for (char** e = environ; *e; ++e) {
    const QByteArray kv(*e);
    if (!kv.startsWith("LD_PRELOAD=") && !kv.startsWith("ASAN_OPTIONS=") && !kv.startsWith("LENTAVO_KILL"))
      env << kv;
  }
  env << "LENTAVO_KILL_CHILD=" + QFile::encodeName(folder);
  // The shim stands before the sanitizer runtime in the library list.
  env << "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0";
  if (!killAt.isEmpty()) {
    env << QByteArray("LD_PRELOAD=" LENTAVO_KILLSHIM);
    env << "LENTAVO_KILL_AT=" + killAt.toUtf8();
  }
  std::vector<char*> envp, argv{const_cast<char*>(self.constData()), const_cast<char*>(filter.constData()),
                                 const_cast<char*>("--gtest_brief=1"), nullptr};
  for (QByteArray& kv : env) envp.push_back(kv.data());
  envp.push_back(nullptr);
  ChildRun run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execve(self.constData(), argv.data(), envp.data());
    ::_exit(127);
  }
  if (pid < 0) return run;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace testsupport
