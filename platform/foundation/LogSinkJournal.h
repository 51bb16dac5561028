// The real machine's log: standard error in NSLog's line format and the
// systemd journal (see JournalWriter).
#pragma once

#include <memory>

#include "platform/foundation/LogSink.h"
#include "platform/linux/JournalWriter.h"

std::shared_ptr<LogSink> makeJournalLogSink(JournalWriter::Options options = {});
