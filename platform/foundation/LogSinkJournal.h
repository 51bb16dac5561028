// The real machine's log: standard error in NSLog's line format and the
// systemd journal (see JournalLogSink).
#pragma once

#include <memory>

#include "platform/foundation/LogSink.h"
#include "platform/linux/JournalLogSink.h"

std::shared_ptr<LogSink> makeJournalLogSink(JournalLogSink::Options options = {});
