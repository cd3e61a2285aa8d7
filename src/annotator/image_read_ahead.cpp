#include "annotator/image_read_ahead.h"

#include <QFile>
#include <utility>

namespace orvane {

ImageReadAhead::ImageReadAhead(Decoder decoder) : decoder_(std::move(decoder)) {}

ImageReadAhead::~ImageReadAhead() { stop(); }

// Either thread. (QFileInfo's time goes through the local time zone, whose
// set-up is not safe to run on two threads at once.)
ImageReadAhead::Stamp ImageReadAhead::stamp_of(const QString& path) {
  const std::filesystem::path file(QFile::encodeName(path).toStdString());
  std::error_code error;
  Stamp stamp;
  stamp.size = std::filesystem::file_size(file, error);
  if (error) return stamp;
  stamp.modified = std::filesystem::last_write_time(file, error);
  stamp.exists = !error;
  return stamp;
}

// Owner's thread.
void ImageReadAhead::focus(const QStringList& paths) {
  std::lock_guard lock(mutex_);
  wanted_.clear();
  for (const QString& path : paths) {
    if (wanted_.size() == kMaxImages) break;
    if (!wanted_.contains(path)) wanted_.push_back(path);
  }
  // Dropping what is no longer wanted first keeps the count of decoded
  // images within kMaxImages while the next ones are decoded.
  for (auto it = entries_.begin(); it != entries_.end();) {
    const bool keep = wanted_.contains(it->first);
    if (it->second.state == State::kDecoding) {
      it->second.dropped = !keep;
      ++it;
    } else if (keep) {
      ++it;
    } else {
      it = entries_.erase(it);
    }
  }
  if (!stop_ && !worker_.joinable()) worker_ = std::thread(&ImageReadAhead::run_worker, this);
  changed_.notify_all();
}

// Owner's thread.
DecodedImage ImageReadAhead::read(const QString& path) {
  const Stamp now = stamp_of(path);
  std::unique_lock lock(mutex_);
  // The worker is decoding this file: its result comes sooner than ours.
  changed_.wait(lock, [&] {
    const auto it = entries_.find(path);
    return it == entries_.end() || it->second.state != State::kDecoding;
  });
  if (const auto it = entries_.find(path); it != entries_.end()) {
    if (it->second.state == State::kReady && it->second.stamp == now) return it->second.decoded;
    // Changed on disk since it was read, or it failed: read it again, so a
    // failure is reported as of now.
    entries_.erase(it);
  }
  const bool keep = !stop_ && wanted_.contains(path);
  if (keep) entries_[path] = Entry{};  // the worker leaves it to us
  lock.unlock();
  DecodedImage decoded = decoder_(path);
  if (keep) {
    lock.lock();
    finish(path, decoded, now);
    changed_.notify_all();
  }
  return decoded;
}

// Owner's thread.
void ImageReadAhead::reset() {
  std::lock_guard lock(mutex_);
  wanted_.clear();
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.state == State::kDecoding) {
      it->second.dropped = true;
      ++it;
    } else {
      it = entries_.erase(it);
    }
  }
}

// Owner's thread.
void ImageReadAhead::request_stop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  changed_.notify_all();
}

// Owner's thread.
void ImageReadAhead::stop() {
  request_stop();
  if (worker_.joinable()) worker_.join();
  std::lock_guard lock(mutex_);
  entries_.clear();
  wanted_.clear();
}

// Owner's thread.
int ImageReadAhead::held() const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const auto& [path, entry] : entries_) count += entry.state == State::kReady;
  return count;
}

// Owner's thread.
bool ImageReadAhead::wait_until_idle(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return stop_ || (!worker_busy_ && next_to_decode().isEmpty()); });
}

// Either thread, mutex_ held.
int ImageReadAhead::busy_slots() const {
  int count = 0;
  for (const auto& [path, entry] : entries_) count += entry.state != State::kFailed;
  return count;
}

// Either thread, mutex_ held.
QString ImageReadAhead::next_to_decode() const {
  if (stop_ || busy_slots() >= kMaxImages) return {};
  for (const QString& path : wanted_) {
    if (!entries_.contains(path)) return path;
  }
  return {};
}

// Either thread, mutex_ held.
void ImageReadAhead::finish(const QString& path, DecodedImage decoded, const Stamp& stamp) {
  const auto it = entries_.find(path);
  if (it == entries_.end() || it->second.state != State::kDecoding) return;
  Entry& entry = it->second;
  if (entry.dropped || stop_) {
    entries_.erase(it);
    return;
  }
  entry.stamp = stamp;
  if (decoded.image.empty()) {
    entry.state = State::kFailed;
  } else {
    entry.state = State::kReady;
    entry.decoded = std::move(decoded);
  }
}

// Worker thread. Touches nothing but the members guarded by mutex_ (and those
// only with it held) and the decoder.
void ImageReadAhead::run_worker() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    const QString path = next_to_decode();
    if (path.isEmpty()) {
      worker_busy_ = false;
      changed_.notify_all();
      changed_.wait(lock);
      continue;
    }
    worker_busy_ = true;
    entries_[path] = Entry{};
    lock.unlock();
    // The stamp is taken before the bytes are read: a file changed during the
    // read no longer matches it, and is read again when it is shown.
    const Stamp stamp = stamp_of(path);
    DecodedImage decoded = decoder_(path);
    lock.lock();
    finish(path, std::move(decoded), stamp);
    changed_.notify_all();
  }
  worker_busy_ = false;
  changed_.notify_all();
}

}  // namespace orvane
