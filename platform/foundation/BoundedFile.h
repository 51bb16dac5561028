// Small files of the user's (settings, the radio record, autostart entries)
// read whole without ever waiting on them: whatever sits at the path, a FIFO
// that nobody writes, a device or a huge file, the read returns at once.
#pragma once

#include <glib.h>

#include <cstddef>
#include <string>

namespace BoundedFile {

// A settings file, a radio record or a desktop entry is a few hundred bytes;
// this leaves room for the user's comments.
constexpr std::size_t kKeyFileLimit = 64 * 1024;

// Reads `path` into *contents when it is a regular file of at most
// `maxBytes`, opened without blocking (and without following it onto a
// terminal). Otherwise false with a G_FILE_ERROR in *error (its message
// without the path): NOENT when there is none, INVAL for what is not a
// regular file, FAILED for one too large, the open or read error else. Blocks only on the file system; any thread.
bool read(const std::string& path, std::size_t maxBytes, std::string* contents, GError** error);

// g_key_file_load_from_file through read(), with kKeyFileLimit.
bool loadKeyFile(GKeyFile* keys, const std::string& path, GKeyFileFlags flags, GError** error);

}  // namespace BoundedFile
