// System Events' login items: XDG autostart desktop entries that it creates
// and owns, in "<autostart>/hushmoor-login-item-<random>.desktop". An entry is
// one of ours only when it also carries X-Hushmoor-Login-Item=true; every
// other entry in the folder is neither listed nor touched.
//
// The order of the list is kept in X-Hushmoor-Order (new items get one more
// than the largest), the path in X-Hushmoor-Path and the hidden flag in
// X-Hushmoor-Hidden (Hidden=true would mean "this entry is deleted").
// Each entry is written atomically (temporary file, fsync, rename), so a crash
// leaves either the old state or the new one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace systemevents {

struct LoginItem {
  std::optional<std::string> path;  // missing when the entry has lost its path key
  std::optional<bool> hidden;       // missing or unreadable: not known
  std::int64_t order = 0;
  std::string file;
};

class LoginItemStore {
 public:
  explicit LoginItemStore(std::string autostartFolder, bool durable = true);

  const std::string& folder() const { return folder_; }
  // The items in list order. Entries that cannot be read as key files are
  // left out (and reported on standard error).
  std::vector<LoginItem> list() const;
  // Adds an item at the end; false with a message when it cannot be written.
  bool append(const std::string& path, bool hidden, std::string* error);
  // Writes an item with a given order, without reading the list first; for
  // filling a store quickly in tests and benchmarks.
  bool writeItem(const std::string& path, bool hidden, std::int64_t order, std::string* error);
  // Removes the item at a 0-based index of list(); false when there is none
  // or it cannot be removed.
  bool removeAt(std::size_t index, std::string* error);
  // Removes temporary files that an interrupted write left behind.
  void removeLeftovers() const;

  static constexpr const char* kFilePrefix = "hushmoor-login-item-";

 private:
  std::string folder_;
  bool durable_;
};

}  // namespace systemevents
