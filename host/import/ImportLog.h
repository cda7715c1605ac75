#pragma once
// The messages of one scene import: errors (the import failed) and warnings
// (something was left out or ignored), and what the caller asks of long
// reads: a request to stop, which they look at, and how many threads they
// may use. Each message is one line that names
// the file and, where there is one, the place in it: "scene.json:
// /objects/2/radius: expected a number". The importer that fills the log
// owns it only for the call; the caller reads it afterwards.

#include <atomic>
#include <string>
#include <vector>

class CImportLog {
public:
  void Error(std::string message) { errors_.push_back(std::move(message)); }
  void Warning(std::string message) { warnings_.push_back(std::move(message)); }
  // "file: place: what", leaving out an empty place.
  static std::string Line(const std::string& file, const std::string& place, const std::string& what);

  bool HasErrors() const { return !errors_.empty(); }
  const std::vector<std::string>& Errors() const { return errors_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }
  // The first error, or an empty string.
  std::string FirstError() const { return errors_.empty() ? std::string() : errors_.front(); }

  // A flag the caller raises to stop the import (null: never); the caller
  // keeps it alive.
  void SetStopRequest(const std::atomic<bool>* stop) { stop_ = stop; }
  bool StopRequested() const { return stop_ && stop_->load(); }

  // Threads a long read may use (at least 1; 1 unless set). What is read is
  // the same for any count.
  void SetThreads(int threads) { threads_ = threads < 1 ? 1 : threads; }
  int Threads() const { return threads_; }

private:
  const std::atomic<bool>* stop_ = nullptr;
  int threads_ = 1;
  std::vector<std::string> errors_;
  std::vector<std::string> warnings_;
};
