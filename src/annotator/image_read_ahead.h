// Reading ahead for the annotator: while one image is shown, its neighbours
// are decoded on a worker thread, so that stepping to them shows them at once.
// At most kMaxImages decoded images are kept. An image is handed out only
// while its file still has the size and modification time it had when it was
// read; a changed file is read again.
#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "imaging/image_io.h"

namespace orvane {

class ImageReadAhead {
 public:
  using Decoder = std::function<DecodedImage(const QString& path)>;
  static constexpr int kMaxImages = 3;

  // `decoder` runs on both threads; it must not touch shared state.
  explicit ImageReadAhead(Decoder decoder = read_image_file);
  ~ImageReadAhead();  // stop()
  ImageReadAhead(const ImageReadAhead&) = delete;
  ImageReadAhead& operator=(const ImageReadAhead&) = delete;

  // All public functions run on the owner's thread (the GUI thread).

  // The images to keep, most wanted first (the shown image, then the next,
  // then the previous). Every other image is dropped, and the worker decodes
  // those of them it does not have yet. At most kMaxImages are taken.
  void focus(const QStringList& paths);
  // The decoded image of `path`: the one read ahead when its file is
  // unchanged; otherwise (nothing read ahead, a changed file, a failure) it is
  // decoded here, exactly as read_image_file does. Waits when the worker is
  // decoding that very file.
  DecodedImage read(const QString& path);
  // Drops every image and what is wanted (another folder was loaded).
  void reset();
  // Asks the worker to stop, drops every image and waits for the worker to
  // end; a decode under way is finished and thrown away. Afterwards read()
  // still decodes, nothing is read ahead.
  void stop();
  void request_stop();  // the first half of stop(): does not wait

  // Decoded images held now (not counting a decode under way).
  int held() const;
  // Waits until the worker has nothing left to do, or until `timeout_ms`;
  // false on timeout.
  bool wait_until_idle(int timeout_ms);

 private:
  // What identifies one version of a file.
  struct Stamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    bool operator==(const Stamp&) const = default;
  };
  enum class State { kDecoding, kReady, kFailed };
  struct Entry {
    State state = State::kDecoding;
    DecodedImage decoded;  // kReady: the image
    Stamp stamp;           // the file when it was read
    bool dropped = false;  // kDecoding: no longer wanted, thrown away when done
  };

  static Stamp stamp_of(const QString& path);
  // Entries that hold or are decoding an image. Call with mutex_ held.
  int busy_slots() const;
  // The wanted path the worker should decode next, or "" (mutex_ held).
  QString next_to_decode() const;
  // Stores the outcome of a decode of `path` (mutex_ held).
  void finish(const QString& path, DecodedImage decoded, const Stamp& stamp);
  void run_worker();  // runs on the worker thread

  const Decoder decoder_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;  // any entry, the wanted list or stop_
  std::map<QString, Entry> entries_;
  QStringList wanted_;
  bool stop_ = false;
  bool worker_busy_ = false;
  std::thread worker_;
};

}  // namespace orvane
