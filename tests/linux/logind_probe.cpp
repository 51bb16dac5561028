// The real machine's power source (PowerSourceLogind and its logind client)
// in a process of its own, driven by tests/linux/LogindClientTest.py line by
// line. It runs on a main context of its own, pushed as the thread default and
// the only one iterated: nothing of the client may lean on GLib's global one.
//   logind_probe BUS_ADDRESS [FAILURE_RETRY_MS]
// Writes: "limit USEC|none", "registered R wait MS|none", "refused CAUSES",
//   "will-sleep R ID", "has-powered-on R ID", "ack true|false", "dropped".
// Reads: "ack R ID", "deregister R", "register", "drop" (destroys the power
//   source, the process going on), "quit".
#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "platform/iokit/IOMessage.h"
#include "platform/iokit/PowerSourceLogind.h"

namespace {

std::unique_ptr<PowerSourceLogind> power;
bool quit = false;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void registerOnce() {
  std::shared_ptr<uint32_t> number = std::make_shared<uint32_t>(0);
  *number = power->registerForSystemPower([number](uint32_t type, intptr_t id) {
    say((type == kIOMessageSystemWillSleep ? "will-sleep " : "has-powered-on ") +
        std::to_string(*number) + " " + std::to_string(id));
  });
  const auto wait = power->systemWaitLimit();
  say(*number == 0 ? "refused " + power->registrationFailureCauses()
                   : "registered " + std::to_string(*number) + " wait " +
                         (wait ? std::to_string(wait->count()) : "none"));
}

gboolean onLine(GIOChannel* channel, GIOCondition, gpointer) {
  g_autofree char* text = nullptr;
  if (g_io_channel_read_line(channel, &text, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
    quit = true;  // the test has gone
    return G_SOURCE_REMOVE;
  }
  std::istringstream line(text);
  std::string command;
  uint32_t registration = 0;
  intptr_t id = 0;
  line >> command >> registration >> id;
  if (command == "ack") say(power->allowPowerChange(registration, id) ? "ack true" : "ack false");
  if (command == "deregister") power->deregister(registration);
  if (command == "register") registerOnce();
  if (command == "drop") power.reset(), say("dropped");
  quit = command == "quit";
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  PowerSourceLogind::Options options;
  options.logind.busAddress = argv[1];
  options.logind.busyRetryMs = 5;
  // By default only a busy answer is asked again soon.
  options.logind.failureRetryMs = argc > 2 ? std::stoi(argv[2]) : 60000;
  options.delayLimitObserver = [](std::optional<uint64_t> limit) {
    say("limit " + (limit ? std::to_string(*limit) : std::string("none")));
  };
  power = std::make_unique<PowerSourceLogind>(options);
  registerOnce();

  GIOChannel* input = g_io_channel_unix_new(STDIN_FILENO);
  GSource* watch = g_io_create_watch(input, GIOCondition(G_IO_IN | G_IO_HUP));
  g_source_set_callback(watch, G_SOURCE_FUNC(onLine), nullptr, nullptr);
  g_source_attach(watch, context);
  while (!quit) g_main_context_iteration(context, TRUE);
  power.reset();
  // What the client left to run (its last references on the context) runs
  // before the context goes: a reply reaching a freed client shows here.
  while (g_main_context_iteration(context, FALSE)) continue;
  g_source_destroy(watch);
  g_source_unref(watch);
  g_io_channel_unref(input);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return 0;
}
