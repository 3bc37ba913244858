#include "lexwarden/warden.h"

#include <utility>
#include <vector>

#include "ipc/protocol.h"

namespace quillet::warden {

namespace {

// The jobs of the queue.
enum Job : size_t {
  kSaveSettings,        // keep the records of the settings, options and programs blocks in their files, publish them
  kReloadDictionaries,  // read the record's dictionaries again and publish them
  kDrainLearning,       // learn what text services reported (always retried: it runs every interval)
};

ConstSettingsView ViewOf(const std::vector<uint8_t>& record) { return {record.data(), record.size()}; }

}  // namespace

Warden::Warden(WardenOptions options)
    : settings_(kKeptSettings, options.settingsPath, board_),
      options_(kKeptOptions, platform::KeptFile::Beside(options.settingsPath, kKeptOptions.fileName), board_),
      programs_(kKeptPrograms, platform::KeptFile::Beside(options.settingsPath, kKeptPrograms.fileName), board_),
      learning_(platform::KeptFile::Beside(options.settingsPath, u"learned.dat"), board_),
      dictionaries_(std::move(options.programFolder), std::move(options.readFile), board_),
      queue_([this](JobSet jobs, JobSet* retry) { RunJobs(jobs, retry); },
             // A job that throws leaves the blocks as they were published; the handshake reports it
             // until a later publication succeeds.
             [this] { SetStatus(Result::kOutOfMemory); }, std::chrono::milliseconds(kRetryIntervalMs)) {}

Result Warden::status() const {
  MutexLock lock(mutex_);
  return status_;
}

void Warden::SetStatus(Result status) {
  MutexLock lock(mutex_);
  status_ = status;
}

void Warden::Report(Result published) {
  if (published == Result::kSuccess || published == Result::kFileOpenFailed) SetStatus(published);
}

Result Warden::Start() {
  const Result r = Fill();
  if (r != Result::kSuccess && r != Result::kFileOpenFailed) {
    SetStatus(r);
    return r;
  }
  queue_.Start();
  JobSet learning;
  learning.set(kDrainLearning);
  queue_.Post(learning, std::chrono::milliseconds(0));  // and from then on every interval
  return status();
}

// Start's work before the worker exists.
Result Warden::Fill() {
  kWorkerRole.Assume();  // the worker is not started yet
  Result r = board_.Open();
  if (r == Result::kSuccess) r = settings_.Open();
  // Without the options block every tab has the default options, without the programs block no
  // program has a rule, without the inbox nothing is learned: the loader still serves.
  if (r == Result::kSuccess) {
    (void)options_.Open();
    (void)programs_.Open();
    (void)learning_.Open();
  }
  std::vector<uint8_t> record;
  if (r == Result::kSuccess && !settings_.Read(&record)) r = Result::kWaitFailed;
  if (r == Result::kSuccess) {
    r = dictionaries_.Publish(ViewOf(record));
    Report(r);
  }
  return r;
}

void Warden::RunJobs(JobSet jobs, JobSet* retry) {
  kWorkerRole.Assume();  // the queue runs its jobs on its worker thread
  // A lock that could not be had is tried again; other failures would only repeat.
  if (jobs.test(kSaveSettings)) {
    const bool settingsWait = settings_.Keep() == Result::kWaitFailed;
    const bool optionsWait = options_.Keep() == Result::kWaitFailed;
    const bool programsWait = programs_.Keep() == Result::kWaitFailed;
    retry->set(kSaveSettings, settingsWait || optionsWait || programsWait);
  }
  if (jobs.test(kReloadDictionaries)) {
    std::vector<uint8_t> record;
    const Result r = settings_.Read(&record) ? dictionaries_.Publish(ViewOf(record)) : Result::kWaitFailed;
    Report(r);
    retry->set(kReloadDictionaries, r == Result::kWaitFailed);
  }
  if (jobs.test(kDrainLearning)) {
    learning_.Drain();
    // A file being learned goes on in the next batch, after whatever else was asked meanwhile.
    if (learning_.learningFile()) {
      JobSet again;
      again.set(kDrainLearning);
      queue_.Post(again, std::chrono::milliseconds(0));
    }
  }
  retry->set(kDrainLearning, true);
}

void Warden::DrainLearning() {
  JobSet jobs;
  jobs.set(kDrainLearning);
  queue_.Post(jobs, std::chrono::milliseconds(kReplyBudgetMs));
}

intptr_t Warden::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kLoaderHandshakeMessage) return ToInt(status());
  if (message != kLoaderReloadMessage) return 0;
  JobSet jobs;
  jobs.set(kSaveSettings, wParam != 0);
  jobs.set(kReloadDictionaries, lParam != 0);
  if (jobs.any()) queue_.Post(jobs, std::chrono::milliseconds(kReplyBudgetMs));
  return 0;
}

void Warden::Stop() {
  queue_.Stop();
  kWorkerRole.Assume();  // the worker has ended
  settings_.Close();
  options_.Close();
  programs_.Close();
  learning_.Close();
  board_.Close();
}

}  // namespace quillet::warden
