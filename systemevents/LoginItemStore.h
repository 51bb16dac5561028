// System Events' login items: XDG autostart desktop entries that it creates
// and owns, in "<autostart>/hushmoor-login-item-<random>.desktop". An entry is
// one of ours only when it also carries X-Hushmoor-Login-Item=true; every
// other entry in the folder is neither listed nor touched.
//
// The order of the list is kept in X-Hushmoor-Order (new items get one more
// than the largest, or all are numbered afresh when that would overflow), the
// path in X-Hushmoor-Path and the hidden flag in X-Hushmoor-Hidden
// (Hidden=true would mean "this entry is deleted"). Each entry is written
// atomically (a temporary file of our own name, fsync, rename), so a crash
// leaves either the old state or the new one.
//
// Not thread-safe; System Events uses it from its main loop only.
#pragma once

#include <glib.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace systemevents {

struct LoginItem {
  std::string path;
  std::optional<bool> hidden;  // missing or unreadable: not known
  std::int64_t order = 0;
  std::string file;
};

class LoginItemStore {
 public:
  explicit LoginItemStore(std::string autostartFolder, bool durable = true);

  const std::string& folder() const { return folder_; }
  // The items in list order. Entries that cannot be read as key files, or
  // that have no readable path, are left out (and reported once each on
  // standard error); their files are not touched.
  std::vector<LoginItem> list() const;
  // Adds an item at the end; false with a message when it cannot be written.
  // An entry without an order (hand-made or older) first gets the order of
  // its place, so the new item comes after it.
  bool append(const std::string& path, bool hidden, std::string* error);
  // Writes an item with a given order, without reading the list first:
  // append's last step, and the quick way to fill a store in tests and
  // benchmarks.
  bool writeItem(const std::string& path, bool hidden, std::int64_t order, std::string* error);
  // Removes the item at a 0-based index of list(); false when there is none
  // or it cannot be removed.
  bool removeAt(std::size_t index, std::string* error);
  // Removes the temporary files that an interrupted write left behind, and
  // nothing else. Call only while holding System Events' single-instance
  // lock: another instance may be writing one.
  void removeLeftovers() const;

  static constexpr const char* kFilePrefix = "hushmoor-login-item-";

 private:
  bool giveOrder(const std::string& file, std::int64_t order, std::string* error);
  bool replaceFile(const std::string& file, const gchar* data, gsize length, mode_t mode,
                   std::string* error);
  void reportOnce(const std::string& file, const std::string& message) const;

  std::string folder_;
  bool durable_;
  mutable std::set<std::string> reported_;  // files already reported as skipped
};

}  // namespace systemevents
