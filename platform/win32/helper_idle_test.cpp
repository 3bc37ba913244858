// Test helper support: a message loop, whose first wait for input is what WaitForInputIdle sees; a
// job of the kind sandboxing hosts run in.
#include <windows.h>

void IdleForever() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

bool EnterKillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
  info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  // The handle stays open until this process exits: then the job ends what is still in it.
  return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof(info)) &&
         AssignProcessToJobObject(job, GetCurrentProcess());
}
