// orvantis_bridge: joins this computer's shared section to those of the other
// computers of a pool through an MQTT broker, unknown to the players. This
// file holds the section and the broker connection; the decisions live in
// bridge_logic.cpp.
#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "bridge/bridge_logic.h"
#include "platform/daemon.h"
#include "platform/shared_memory.h"
#include "state/state.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double BACKOFF_FIRST = 0.25; // seconds before the first retry
constexpr double BACKOFF_MAX = 4.0;    // the retries' spacing never grows beyond this
constexpr double FLUSH_SECONDS = 2.0;  // at the end, for the last "0" to reach the broker
constexpr int MALFORMED_REPORTS = 5;   // malformed messages described; the rest are counted
constexpr int PASSWORD_MAX = 255;
// A configuration that cannot work (sysexits' EX_CONFIG): the service
// manager is told not to start the bridge again with it.
constexpr int EXIT_CONFIG = 78;

// The running bridge: its decisions, the section and the connection.
struct BridgeRun {
  // --- Decisions and settings ---
  BridgeState State;
  BridgeOptions Options;
  char Password[PASSWORD_MAX + 1] = {};
  bool HasPassword = false;

  // --- Section ---
  int SectionHandle = -1;
  SharedInfo *Section = nullptr;
  bool SectionLost = false; // reported once while the section is unusable

  // --- Broker ---
  struct mosquitto *Mosq = nullptr;
  bool Connected = false;   // CONNACK accepted and not lost since
  bool Attempted = false;   // a first connection was tried
  bool Dirty = false;       // messages taken since the section was written
  bool Announce = false;    // presence and slots to publish again
  bool Unreachable = false; // reported once until the next connection
  int Refusal = 0;          // CONNACK code last reported
  double Backoff = BACKOFF_FIRST;
  int FinalMid = -1; // message id of the last "0"
  bool FinalSent = false;
};

BridgeRun R;

double Seconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// The password from the file, else from the environment; false after a message.
bool ReadPassword(const BridgeOptions &options) {
  const char *text = getenv(BRIDGE_PASSWORD_VARIABLE);
  char line[PASSWORD_MAX + 2] = {};
  if (options.PasswordFile != nullptr) {
    FILE *file = fopen(options.PasswordFile, "r");
    if (file == nullptr) {
      fprintf(stderr, "orvantis_bridge: cannot read the password file %s: %s\n", options.PasswordFile,
              strerror(errno));
      return false;
    }
    if (fgets(line, sizeof line, file) == nullptr) line[0] = '\0';
    fclose(file);
    line[strcspn(line, "\r\n")] = '\0';
    text = line;
  }
  if (text == nullptr) return true;
  if (strlen(text) > static_cast<size_t>(PASSWORD_MAX)) {
    fprintf(stderr, "orvantis_bridge: %s%s is longer than %d bytes\n", text == line ? "the password in " : "",
            text == line ? options.PasswordFile : BRIDGE_PASSWORD_VARIABLE, PASSWORD_MAX);
    return false;
  }
  if (options.Username == nullptr) {
    fprintf(stderr, "orvantis_bridge: a password needs --username NAME\n");
    return false;
  }
  snprintf(R.Password, sizeof R.Password, "%s", text);
  R.HasPassword = true;
  return true;
}

// --- Publishing ---

void PublishRetained(TopicKind kind, int slot, const char *payload, int *mid = nullptr) {
  char topic[TOPIC_MAX];
  FormatTopic(R.State, kind, slot, topic);
  mosquitto_publish(R.Mosq, mid, topic, static_cast<int>(strlen(payload)), payload, 1, true);
}

void PublishSlots(const SlotPublication *slots, int count) {
  if (!R.Connected) return; // republished on the next connection
  for (int i = 0; i < count; ++i) {
    char payload[16];
    snprintf(payload, sizeof payload, "%d", static_cast<int>(slots[i].Value));
    PublishRetained(TOPIC_SLOT, slots[i].Slot, payload);
  }
}

// The pool slots in use here, with the offset: how other bridges tell that
// two sites publish one slot.
void PublishInUse() {
  char payload[BRIDGE_CLAIMS_MAX];
  FormatInUse(&R.State, payload);
  if (R.Connected) PublishRetained(TOPIC_IN_USE, 0, payload);
}

// Presence, the slots in use, then every slot: the local ones set, the others
// removed, so that an earlier run's values never reach a later bridge.
void AnnounceSite() {
  if (!R.Connected) return;
  PublishRetained(TOPIC_ONLINE, 0, "1");
  PublishInUse();
  SlotPublication slots[SHARED_SLOTS];
  int count = CollectLocalSlots(R.State, slots);
  bool published[SHARED_SLOTS] = {};
  for (int i = 0; i < count; ++i)
    published[slots[i].Slot] = true;
  for (int n = 0; n < SHARED_SLOTS; ++n)
    if (!published[n]) PublishRetained(TOPIC_SLOT, n, "");
  PublishSlots(slots, count);
}

// --- The section ---

// Writes the remote slots into the section; with `local`, publishes local changes.
void SyncSection(bool local) {
  if (!SharedSectionIntact(R.SectionHandle, SHARED_SIZE)) {
    if (!R.SectionLost) fprintf(stderr, "orvantis_bridge: the shared section cannot be used now; waiting\n");
    R.SectionLost = true;
    return;
  }
  R.SectionLost = false;
  SharedInfo before, after;
  memcpy(&before, R.Section, SHARED_SIZE);
  after = before;
  if (ApplyRemoteSlots(&R.State, &after)) StoreChangedFields(R.Section, before, after);
  if (!local) return;
  SlotPublication slots[SHARED_SLOTS];
  int count = CollectLocalChanges(&R.State, after, slots);
  if (R.State.InUseChanged) PublishInUse(); // before the value, so that a collision is seen first
  PublishSlots(slots, count);
}

// --- Broker callbacks ---

void OnConnect(struct mosquitto *, void *, int code) {
  if (code != 0) {
    if (code != R.Refusal)
      fprintf(stderr, "orvantis_bridge: the broker refused the connection: %s\n",
              mosquitto_connack_string(code));
    R.Refusal = code;
    return;
  }
  R.Connected = true;
  R.Unreachable = false;
  R.Refusal = 0;
  R.Backoff = BACKOFF_FIRST;
  printf("orvantis_bridge: connected to %s:%d as site %s of pool %s\n", R.Options.Host, R.Options.Port,
         R.State.Site, R.State.Pool);
  char filter[TOPIC_MAX];
  FormatTopic(R.State, TOPIC_POOL, 0, filter);
  mosquitto_subscribe(R.Mosq, nullptr, filter, 1);
  AnnounceSite();
}

void OnDisconnect(struct mosquitto *, void *, int code) {
  if (R.Connected && code != 0 && !StopWasRequested()) {
    fprintf(stderr, "orvantis_bridge: lost the broker (%s); retrying\n", mosquitto_strerror(code));
    R.Unreachable = true; // said once, until the next connection
  }
  R.Connected = false;
  // Without the broker nobody's presence is known: the remote slots go back.
  ForgetSites(&R.State);
  R.Dirty = true;
}

void OnPublish(struct mosquitto *, void *, int mid) {
  if (mid == R.FinalMid) R.FinalSent = true;
}

// A topic as printable text, cut short: malformed topics may hold anything.
void PrintableTopic(const char *topic, char *out, size_t size) {
  size_t i = 0;
  for (; topic[i] != '\0' && i + 4 < size; ++i)
    out[i] = static_cast<unsigned char>(topic[i]) < 0x20 || topic[i] == 0x7f ? '?' : topic[i];
  if (topic[i] != '\0') out[i++] = '.', out[i++] = '.', out[i++] = '.';
  out[i] = '\0';
}

void OnMessage(struct mosquitto *, void *, const struct mosquitto_message *message) {
  MessageResult result = TakeMessage(&R.State, message->topic, message->payload, message->payloadlen);
  char topic[100];
  switch (result) {
  case MESSAGE_TAKEN: R.Dirty = true; break;
  case MESSAGE_OWN: break;
  case MESSAGE_OWN_OFFLINE:
    // Our presence said "0" while we run (a late last will): say "1" again.
    if (!StopWasRequested()) R.Announce = true;
    break;
  case MESSAGE_MALFORMED:
    if (R.State.Malformed <= MALFORMED_REPORTS) {
      PrintableTopic(message->topic, topic, sizeof topic);
      fprintf(stderr, "orvantis_bridge: ignored a malformed message on %s (%d bytes)%s\n", topic,
              message->payloadlen,
              R.State.Malformed == MALFORMED_REPORTS ? "; further ones are only counted" : "");
    }
    break;
  case MESSAGE_NO_ROOM:
    if (R.State.NoRoom == 1)
      fprintf(stderr, "orvantis_bridge: more than %d other sites; the values of further sites are ignored\n",
              BRIDGE_SITES_MAX);
    break;
  }
}

// --- Connection ---

// Said once until the next connection.
void ReportUnreachable(int code) {
  if (R.Unreachable) return;
  fprintf(stderr, "orvantis_bridge: cannot reach the broker at %s:%d (%s); retrying\n", R.Options.Host,
          R.Options.Port, code == MOSQ_ERR_ERRNO ? strerror(errno) : mosquitto_strerror(code));
  R.Unreachable = true;
}

void TryConnect() {
  int code = R.Attempted
                 ? mosquitto_reconnect_async(R.Mosq)
                 : mosquitto_connect_async(R.Mosq, R.Options.Host, R.Options.Port, R.Options.Keepalive);
  R.Attempted = true;
  if (code != MOSQ_ERR_SUCCESS) ReportUnreachable(code);
}

// Returns false after a message.
bool PrepareClient() {
  mosquitto_lib_init();
  // No fixed client id: two bridges must never take over each other's session.
  R.Mosq = mosquitto_new(nullptr, true, nullptr);
  if (R.Mosq == nullptr) {
    fprintf(stderr, "orvantis_bridge: cannot create the broker client\n");
    return false;
  }
  char topic[TOPIC_MAX];
  FormatTopic(R.State, TOPIC_ONLINE, 0, topic);
  mosquitto_will_set(R.Mosq, topic, 1, "0", 1, true);
  // Slot values must go at once, not wait up to 40 ms for delayed ACKs.
  mosquitto_int_option(R.Mosq, MOSQ_OPT_TCP_NODELAY, 1);
  if (R.Options.Username != nullptr &&
      mosquitto_username_pw_set(R.Mosq, R.Options.Username, R.HasPassword ? R.Password : nullptr) !=
          MOSQ_ERR_SUCCESS) {
    fprintf(stderr, "orvantis_bridge: the user name cannot be used\n");
    return false;
  }
  if (R.Options.TlsCa != nullptr) {
    if (!FileReadable(R.Options.TlsCa)) {
      fprintf(stderr, "orvantis_bridge: cannot read the CA file %s: %s\n", R.Options.TlsCa, strerror(errno));
      return false;
    }
    int code = mosquitto_tls_set(R.Mosq, R.Options.TlsCa, nullptr, nullptr, nullptr, nullptr);
    if (code != MOSQ_ERR_SUCCESS) {
      fprintf(stderr, "orvantis_bridge: TLS cannot be set up with %s: %s\n", R.Options.TlsCa,
              mosquitto_strerror(code));
      return false;
    }
  }
  mosquitto_connect_callback_set(R.Mosq, OnConnect);
  mosquitto_disconnect_callback_set(R.Mosq, OnDisconnect);
  mosquitto_publish_callback_set(R.Mosq, OnPublish);
  mosquitto_message_callback_set(R.Mosq, OnMessage);
  return true;
}

// One turn: the connection, the broker's traffic until the next tick, the section.
void RunTurn(double *next_tick, double *next_attempt) {
  double now = Seconds();
  if (!R.Connected && mosquitto_socket(R.Mosq) < 0 && now >= *next_attempt) {
    TryConnect();
    *next_attempt = now + R.Backoff;
    R.Backoff = std::min(R.Backoff * 2, BACKOFF_MAX);
  }
  double wait = std::max(0.0, *next_tick - now);
  if (mosquitto_socket(R.Mosq) >= 0) {
    int code = mosquitto_loop(R.Mosq, static_cast<int>(wait * 1000), 1);
    // A refusal has been reported by OnConnect already.
    if (code != MOSQ_ERR_SUCCESS && !R.Connected && R.Refusal == 0) ReportUnreachable(code);
  } else {
    std::this_thread::sleep_for(
        std::chrono::duration<double>(std::min(wait, std::max(0.0, *next_attempt - now))));
  }
  if (R.Dirty) {
    R.Dirty = false;
    SyncSection(false); // a remote value is written as soon as it arrives
  }
  if (R.Announce) {
    R.Announce = false;
    AnnounceSite();
  }
  now = Seconds();
  if (now >= *next_tick) {
    SyncSection(true);
    // Each pool slot that two online sites publish, said once until it is clear.
    char warning[BRIDGE_WARNING_MAX];
    while (NextCollision(&R.State, warning))
      fputs(warning, stderr);
    *next_tick += 1.0 / R.Options.Rate;
    if (*next_tick < now) *next_tick = now + 1.0 / R.Options.Rate;
  }
}

// The end: remote slots cleared, presence "0", a clean disconnect.
void FinishBridge() {
  ForgetSites(&R.State);
  SyncSection(false);
  if (R.Connected) {
    PublishRetained(TOPIC_ONLINE, 0, "0", &R.FinalMid);
    double give_up = Seconds() + FLUSH_SECONDS;
    while (R.Connected && !R.FinalSent && Seconds() < give_up)
      mosquitto_loop(R.Mosq, 50, 1);
    mosquitto_disconnect(R.Mosq);
  }
  mosquitto_destroy(R.Mosq);
  mosquitto_lib_cleanup();
  CloseSharedSection(R.SectionHandle, R.Section, SHARED_SIZE);
  printf("orvantis_bridge: stopped; %ld malformed messages ignored\n", R.State.Malformed);
}

} // namespace

int main(int argc, char **argv) {
  SetupDaemonOutput();
  // The Windows C library buffers standard error into a file (a service's log).

  setvbuf(stderr, nullptr, _IONBF, 0);
  char computer[BRIDGE_HOST_MAX + 1] = {};
  if (!ComputerName(computer, sizeof computer)) computer[0] = '\0';
  std::string refusal;
  switch (ParseBridgeOptions(argc, argv, computer, &R.Options, &refusal)) {
  case OPTIONS_RUN: break;
  case OPTIONS_HELP: fputs(BRIDGE_USAGE, stdout); return 0;
  case OPTIONS_VERSION: puts("orvantis_bridge " ORVANTIS_VERSION); return 0;
  case OPTIONS_REFUSED: fputs(refusal.c_str(), stderr); return EXIT_CONFIG;
  }
  if (!StartBridgeState(&R.State, R.Options.Site, R.Options.Pool, R.Options.SlotOffset) ||
      !ReadPassword(R.Options))
    return EXIT_CONFIG;
  void *view = nullptr;
  if (OpenSharedSection(SHARED_SECTION_NAME, SHARED_SIZE, &R.SectionHandle, &view) != SECTION_OPEN) {
    fprintf(stderr, "orvantis_bridge: cannot open the shared section %s\n", SHARED_SECTION_NAME);
    return 1;
  }
  R.Section = static_cast<SharedInfo *>(view);
  if (!PrepareClient()) return 1;

  WatchForStop();

  printf("orvantis_bridge: site %s of pool %s, broker %s:%d", R.State.Site, R.State.Pool, R.Options.Host,
         R.Options.Port);
  if (R.State.Offset != 0) printf(", local slot 0 is pool slot %d", R.State.Offset);
  putchar('\n');
  double next_tick = Seconds(), next_attempt = next_tick;
  while (!StopWasRequested())
    RunTurn(&next_tick, &next_attempt);
  FinishBridge();
  StopFinished();
  return 0;
}
