// The bridge's decisions, free of any broker library and testable alone;
// bridge_main.cpp feeds messages in and carries the publications out.
//
// Slots on the broker are pool slots: local slot n of a site with
// --slot-offset K is pool slot (n + K) mod 32, so that computers whose copies
// all use camera number 0 still publish different slots. Topics, all retained:
//   <pool>/<site>/online   "1" while the bridge runs, "0" when it stops or is lost
//   <pool>/<site>/slots    "<K>:<pool slots in use, ascending, comma-separated>",
//                          e.g. "1:1,2", "0:" with none; sent after "online"
//                          and whenever a slot comes into use
//   <pool>/<site>/slot/<m> the value of pool slot m (0..31) in decimal
// A slot is in use once a copy here has set it non-zero. Collisions are told
// from "slots" messages, whoever started first or sent values last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "state/state.h"

constexpr int BRIDGE_SITES_MAX = 64; // other sites followed at once
constexpr int BRIDGE_NAME_MAX = 64;  // bytes of a site or pool name
constexpr int SLOT_PAYLOAD_MAX = 11; // "-2147483648"
constexpr int BRIDGE_WARNING_MAX = 320;
constexpr int BRIDGE_CLAIMS_MAX = 96; // "31:0,1,...,31" is 88 bytes
constexpr int BRIDGE_HOST_MAX = 255;  // bytes of the broker's host name
constexpr int TOPIC_MAX = 2 * BRIDGE_NAME_MAX + 32;

enum SiteStatus {
  SITE_UNKNOWN = 0, // values seen, presence not yet: kept, not used
  SITE_ONLINE,      // its non-zero values own slots here
  SITE_OFFLINE,     // its values are ignored until it is online again
};

// Another computer of the pool, as its messages describe it.
struct RemoteSite {
  bool Used = false;
  char Name[BRIDGE_NAME_MAX + 1] = {};
  SiteStatus Status = SITE_UNKNOWN;
  int32_t Value[SHARED_SLOTS] = {};  // latest value per LOCAL slot, 0 when none
  uint64_t Stamp[SHARED_SLOTS] = {}; // arrival order of that value: the last one wins
  int Offset = 0;                    // its --slot-offset, from its "slots" message
  bool InUse[SHARED_SLOTS] = {};     // pool slots it has in use, from the same
};

// The bridge's one state record.
struct BridgeState {
  // --- Identity ---
  char Site[BRIDGE_NAME_MAX + 1] = {}; // this computer's name in the topics
  char Pool[BRIDGE_NAME_MAX + 1] = {}; // first level of every topic
  int Offset = 0;                      // local slot n is pool slot (n + Offset) mod 32

  // --- Other sites ---
  RemoteSite Sites[BRIDGE_SITES_MAX];
  uint64_t Arrivals = 0; // slot values taken so far

  // --- Slots of the section ---
  bool Remote[SHARED_SLOTS] = {};          // written here from another site
  int32_t Seen[SHARED_SLOTS] = {};         // value last seen in or written to the section
  int32_t Prior[SHARED_SLOTS] = {};        // remote value written before Seen
  bool EverSet[SHARED_SLOTS] = {};         // set non-zero by a copy here once: in use, published
  bool InUseChanged = false;               // a slot came into use: "slots" to publish
  bool CollisionWarned[SHARED_SLOTS] = {}; // per pool slot: two online sites in it reported

  // --- Counts ---
  long Malformed = 0; // messages ignored as malformed
  long NoRoom = 0;    // messages of sites beyond BRIDGE_SITES_MAX
};

enum TopicKind { TOPIC_MALFORMED = 0, TOPIC_ONLINE, TOPIC_IN_USE, TOPIC_SLOT, TOPIC_POOL };

enum MessageResult {
  MESSAGE_TAKEN = 0,   // applied (or ignored as the rules say: offline site)
  MESSAGE_OWN,         // about this site: our own publications come back
  MESSAGE_OWN_OFFLINE, // this site marked offline while it runs: announce again
  MESSAGE_MALFORMED,   // counted, nothing changed
  MESSAGE_NO_ROOM,     // a new site while the table is full: counted
};

// One publication of a local slot, under its pool slot.
struct SlotPublication {
  int Slot; // pool slot
  int32_t Value;
};

inline int PoolSlot(int local, int offset) { return (local + offset) % SHARED_SLOTS; }
inline int LocalSlot(int pool, int offset) { return (pool + SHARED_SLOTS - offset) % SHARED_SLOTS; }

// 1..BRIDGE_NAME_MAX bytes, no '/', '+', '#' or control characters.
bool ValidTopicLevel(const char *name);

// Sets the identity (names and slot offset) and forgets everything else.
// Returns false when a name is not a valid topic level.
bool StartBridgeState(BridgeState *b, const char *site, const char *pool, int offset);

// This site's topic of a kind (TOPIC_MAX bytes); TOPIC_POOL is the filter
// "<pool>/#", which is never parsed.
void FormatTopic(const BridgeState &b, TopicKind kind, int slot, char *topic);

// Splits the topics FormatTopic makes, of any site (BRIDGE_NAME_MAX + 1 bytes).
TopicKind ParseTopic(const char *topic, const char *pool, char *site, int *slot);

// A slot payload: a decimal int32 with an optional '-', at most
// SLOT_PAYLOAD_MAX bytes; an empty payload (a retained value removed) is 0.
bool ParseSlotPayload(const void *payload, int length, int32_t *value);

// A presence payload: "1" or "0".
bool ParseOnlinePayload(const void *payload, int length, bool *online);

// A "slots" payload: the offset and the pool slots in use, each 0..31
// without leading zeros; an empty payload (removed) is none at offset 0.
bool ParseInUsePayload(const void *payload, int length, int *offset, bool in_use[SHARED_SLOTS]);

// This site's "slots" payload (BRIDGE_CLAIMS_MAX bytes); clears InUseChanged.
void FormatInUse(BridgeState *b, char *payload);

// Applies one message.
MessageResult TakeMessage(BridgeState *b, const char *topic, const void *payload, int length);

// The next unreported pool slot that two online sites (this one included)
// have in use: `warning` (BRIDGE_WARNING_MAX bytes) gets the line naming both
// and an offset for the second (in name order) that separates them. A slot
// is reported again once it has been clear.
bool NextCollision(BridgeState *b, char *warning);

// Forgets every other site: their slots fall back to local at the next
// ApplyRemoteSlots.
void ForgetSites(BridgeState *b);

// Writes remote values into `section` (a copy of the section), 0 once into a
// slot whose remote value is gone, and DiffSum whenever a slot is remote or
// was just written. Returns true when `section` changed.
bool ApplyRemoteSlots(BridgeState *b, SharedInfo *section);

// The local slots whose value changed in `section` since last seen and that
// have been non-zero at least once. Returns how many were put into `out`.
int CollectLocalChanges(BridgeState *b, const SharedInfo &section, SlotPublication out[SHARED_SLOTS]);

// Every local slot that has been non-zero, with its last seen value.
int CollectLocalSlots(const BridgeState &b, SlotPublication out[SHARED_SLOTS]);

// Copies the fields (DiffSum, slots) that differ between `before` and `after`
// into `view` one at a time, so that other copies' writes in between survive.
void StoreChangedFields(SharedInfo *view, const SharedInfo &before, const SharedInfo &after);

// --- The command line ---

// The bridge's settings, at their defaults until the command line says more.
struct BridgeOptions {
  char Host[BRIDGE_HOST_MAX + 1] = "localhost";
  int Port = 0; // 0 until parsed: then 1883, or 8883 with TLS
  char Site[BRIDGE_NAME_MAX + 1] = {};
  char Pool[BRIDGE_NAME_MAX + 1] = "orvantis";
  int Keepalive = 5;           // seconds
  int Rate = 30;               // section reads per second
  int SlotOffset = 0;          // local slot n is pool slot (n + SlotOffset) mod 32
  const char *TlsCa = nullptr; // CA certificate file: TLS on
  const char *Username = nullptr;
  const char *PasswordFile = nullptr;
};

// The environment variable that holds the broker password; a literal, so that
// the usage and the refusal of --password can be written around it.
#define BRIDGE_PASSWORD_VARIABLE "ORVANTIS_BROKER_PASSWORD"

constexpr const char *BRIDGE_USAGE =
    "usage: orvantis_bridge [--broker HOST[:PORT]] [--site NAME] [--pool NAME] [--keepalive SECONDS]\n"
    "                       [--rate HZ] [--tls-ca FILE] [--username NAME] [--password-file FILE]\n"
    "                       [--slot-offset K] [--version]\n"
    "The password comes from the environment variable " BRIDGE_PASSWORD_VARIABLE " or from the first\n"
    "line of the password file, never from the command line.\n";

enum OptionsResult { OPTIONS_RUN = 0, OPTIONS_HELP, OPTIONS_VERSION, OPTIONS_REFUSED };

// Fills `options` from argv[1..argc), "--name value" or "--name=value"; the
// site defaults to `computer`. The first bad option stops it with
// OPTIONS_REFUSED, `refusal` then holding the lines that name it.

OptionsResult ParseBridgeOptions(int argc, const char *const *argv, const char *computer,
                                 BridgeOptions *options, std::string *refusal);
