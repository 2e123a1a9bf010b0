#include "bridge/bridge_logic.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "common/text_values.h"

namespace {

// The site's entry, or a new one: a free entry, else one of an offline site
// (all it holds is "ignore my values"). Null when the table is full.
RemoteSite *FindSite(BridgeState *b, const char *name, bool create) {
  for (RemoteSite &site : b->Sites)
    if (site.Used && strcmp(site.Name, name) == 0) return &site;
  if (!create) return nullptr;
  RemoteSite *room = nullptr;
  for (RemoteSite &site : b->Sites)
    if ((!site.Used && (room == nullptr || room->Used)) || (room == nullptr && site.Status == SITE_OFFLINE))
      room = &site;
  if (room == nullptr) return nullptr;
  *room = RemoteSite{};
  room->Used = true;
  snprintf(room->Name, sizeof room->Name, "%s", name);
  return room;
}

// The value another online site holds for `slot`: the latest non-zero one,
// or 0 when the slot is nobody's but ours.
int32_t RemoteValue(const BridgeState &b, int slot) {
  int32_t value = 0;
  uint64_t latest = 0;
  for (const RemoteSite &site : b.Sites)
    if (site.Used && site.Status == SITE_ONLINE && site.Value[slot] != 0 && site.Stamp[slot] >= latest) {
      latest = site.Stamp[slot];
      value = site.Value[slot];
    }
  return value;
}

// A slot number as topics and "slots" messages write it: 0..31, one or two
// digits, no sign and no leading zero, so that each slot has one spelling.
bool ParseSlotNumber(const char *digits, size_t count, int *slot) {
  long long n = 0;
  if (count < 1 || count > 2 || digits[0] == '-' || (count == 2 && digits[0] == '0') ||
      !ParseDecimal(digits, count, &n) || n >= SHARED_SLOTS)
    return false;
  *slot = static_cast<int>(n);
  return true;
}

// One site of the pool as the collision check sees it: this one or an
// online other one.
struct PoolMember {
  const char *Name;
  int Offset;
  const bool *InUse; // per pool slot; this site's own is built from EverSet
};

// This site and the online other sites, in table order; returns how many.
int ListMembers(const BridgeState &b, const bool own[SHARED_SLOTS], PoolMember out[BRIDGE_SITES_MAX + 1]) {
  int count = 0;
  out[count++] = {b.Site, b.Offset, own};
  for (const RemoteSite &site : b.Sites)
    if (site.Used && site.Status == SITE_ONLINE) out[count++] = {site.Name, site.Offset, site.InUse};
  return count;
}

// The smallest offset at which every slot `mover` has in use lands on a pool
// slot no other member has in use; -1 when there is none.
int SeparatingOffset(const PoolMember *members, int count, const PoolMember &mover) {
  bool taken[SHARED_SLOTS] = {};
  for (int i = 0; i < count; ++i)
    if (&members[i] != &mover)
      for (int m = 0; m < SHARED_SLOTS; ++m)
        taken[m] = taken[m] || members[i].InUse[m];
  for (int k = 0; k < SHARED_SLOTS; ++k) {
    bool apart = true;
    for (int m = 0; m < SHARED_SLOTS && apart; ++m)
      apart = !mover.InUse[m] || !taken[PoolSlot(LocalSlot(m, mover.Offset), k)];
    if (apart) return k;
  }
  return -1;
}

} // namespace

bool ValidTopicLevel(const char *name) {
  size_t length = strlen(name);
  if (length == 0 || length > static_cast<size_t>(BRIDGE_NAME_MAX)) return false;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '/' || c == '+' || c == '#' || c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool StartBridgeState(BridgeState *b, const char *site, const char *pool, int offset) {
  *b = BridgeState{};
  if (!ValidTopicLevel(site) || !ValidTopicLevel(pool) || offset < 0 || offset >= SHARED_SLOTS) return false;
  b->Offset = offset;
  snprintf(b->Site, sizeof b->Site, "%s", site);
  snprintf(b->Pool, sizeof b->Pool, "%s", pool);
  return true;
}

void FormatTopic(const BridgeState &b, TopicKind kind, int slot, char *topic) {
  if (kind == TOPIC_POOL)
    snprintf(topic, TOPIC_MAX, "%s/#", b.Pool);
  else if (kind == TOPIC_SLOT)
    snprintf(topic, TOPIC_MAX, "%s/%s/slot/%d", b.Pool, b.Site, slot);
  else
    snprintf(topic, TOPIC_MAX, "%s/%s/%s", b.Pool, b.Site, kind == TOPIC_ONLINE ? "online" : "slots");
}

TopicKind ParseTopic(const char *topic, const char *pool, char *site, int *slot) {
  size_t pool_length = strlen(pool);
  if (strncmp(topic, pool, pool_length) != 0 || topic[pool_length] != '/') return TOPIC_MALFORMED;
  const char *name = topic + pool_length + 1;
  const char *end = strchr(name, '/');
  if (end == nullptr || end == name || end - name > BRIDGE_NAME_MAX) return TOPIC_MALFORMED;
  memcpy(site, name, static_cast<size_t>(end - name));
  site[end - name] = '\0';
  if (!ValidTopicLevel(site)) return TOPIC_MALFORMED;
  const char *rest = end + 1;
  if (strcmp(rest, "online") == 0) return TOPIC_ONLINE;
  if (strcmp(rest, "slots") == 0) return TOPIC_IN_USE;
  if (strncmp(rest, "slot/", 5) != 0 || !ParseSlotNumber(rest + 5, strlen(rest + 5), slot))
    return TOPIC_MALFORMED;
  return TOPIC_SLOT;
}

bool ParseSlotPayload(const void *payload, int length, int32_t *value) {
  if (length < 0 || length > SLOT_PAYLOAD_MAX) return false;
  if (length == 0) {
    *value = 0;
    return true;
  }
  long long n = 0;
  if (!ParseDecimal(static_cast<const char *>(payload), static_cast<size_t>(length), &n) || n < INT32_MIN ||
      n > INT32_MAX)
    return false;
  *value = static_cast<int32_t>(n);
  return true;
}

bool ParseOnlinePayload(const void *payload, int length, bool *online) {
  // An empty payload is the retained presence removed: gone.
  char c = length == 0 ? '0' : length == 1 ? *static_cast<const char *>(payload) : '?';
  if (c != '0' && c != '1') return false;
  *online = c == '1';
  return true;
}

bool ParseInUsePayload(const void *payload, int length, int *offset, bool in_use[SHARED_SLOTS]) {
  if (length < 0 || length > BRIDGE_CLAIMS_MAX) return false;
  const char *text = static_cast<const char *>(payload), *end = text + length;
  bool slots[SHARED_SLOTS] = {};
  int k = 0;
  if (length > 0) {
    const char *colon = static_cast<const char *>(memchr(text, ':', static_cast<size_t>(length)));
    if (colon == nullptr || !ParseSlotNumber(text, static_cast<size_t>(colon - text), &k)) return false;
    for (const char *p = colon + 1; p < end;) {
      const char *comma = static_cast<const char *>(memchr(p, ',', static_cast<size_t>(end - p)));
      const char *stop = comma != nullptr ? comma : end;
      int m = 0;
      if (!ParseSlotNumber(p, static_cast<size_t>(stop - p), &m)) return false;
      slots[m] = true;
      if (comma != nullptr && comma + 1 == end) return false; // "1:0,"
      p = stop + 1;
    }
  }
  *offset = k;
  memcpy(in_use, slots, sizeof slots);
  return true;
}

void FormatInUse(BridgeState *b, char *payload) {
  int length = snprintf(payload, BRIDGE_CLAIMS_MAX, "%d:", b->Offset);
  for (int m = 0; m < SHARED_SLOTS; ++m)
    if (b->EverSet[LocalSlot(m, b->Offset)])
      length += snprintf(payload + length, static_cast<size_t>(BRIDGE_CLAIMS_MAX - length), "%s%d",
                         payload[length - 1] == ':' ? "" : ",", m);
  b->InUseChanged = false;
}

MessageResult TakeMessage(BridgeState *b, const char *topic, const void *payload, int length) {
  char name[BRIDGE_NAME_MAX + 1];
  int slot = -1, offset = 0;
  TopicKind kind = ParseTopic(topic, b->Pool, name, &slot);
  bool online = false, in_use[SHARED_SLOTS];
  int32_t value = 0;
  if (kind == TOPIC_MALFORMED || (kind == TOPIC_ONLINE && !ParseOnlinePayload(payload, length, &online)) ||
      (kind == TOPIC_IN_USE && !ParseInUsePayload(payload, length, &offset, in_use)) ||
      (kind == TOPIC_SLOT && !ParseSlotPayload(payload, length, &value))) {
    ++b->Malformed;
    return MESSAGE_MALFORMED;
  }
  if (strcmp(name, b->Site) == 0) return kind == TOPIC_ONLINE && !online ? MESSAGE_OWN_OFFLINE : MESSAGE_OWN;

  // A value 0 of a site never seen changes nothing and needs no entry.
  RemoteSite *site = FindSite(b, name, kind != TOPIC_SLOT || value != 0);
  if (site == nullptr) {
    if (kind == TOPIC_SLOT && value == 0) return MESSAGE_TAKEN;
    ++b->NoRoom;
    return MESSAGE_NO_ROOM;
  }
  if (kind == TOPIC_ONLINE) {
    // Values kept while it was offline were ignored; values seen before its
    // presence (retained messages come in any order) count from now on.
    if (!online) {
      memset(site->Value, 0, sizeof site->Value);
      memset(site->Stamp, 0, sizeof site->Stamp);
      memset(site->InUse, 0, sizeof site->InUse);
    }
    site->Status = online ? SITE_ONLINE : SITE_OFFLINE;
    return MESSAGE_TAKEN;
  }
  if (site->Status == SITE_OFFLINE) return MESSAGE_TAKEN;
  if (kind == TOPIC_IN_USE) {
    site->Offset = offset;
    memcpy(site->InUse, in_use, sizeof in_use);
    return MESSAGE_TAKEN;
  }
  // The topic names a pool slot; the section is written in local slots.
  int local = LocalSlot(slot, b->Offset);
  site->Value[local] = value;
  site->Stamp[local] = ++b->Arrivals;
  return MESSAGE_TAKEN;
}

bool NextCollision(BridgeState *b, char *warning) {
  bool own[SHARED_SLOTS];
  for (int m = 0; m < SHARED_SLOTS; ++m)
    own[m] = b->EverSet[LocalSlot(m, b->Offset)];
  PoolMember members[BRIDGE_SITES_MAX + 1];
  int count = ListMembers(*b, own, members);
  for (int m = 0; m < SHARED_SLOTS; ++m) {
    const PoolMember *first = nullptr, *second = nullptr;
    for (int i = 0; i < count && second == nullptr; ++i)
      if (members[i].InUse[m]) {
        if (first == nullptr)
          first = &members[i];
        else
          second = &members[i];
      }
    if (second == nullptr) {
      b->CollisionWarned[m] = false; // clear: a new collision is reported again
      continue;
    }
    if (b->CollisionWarned[m]) continue;
    b->CollisionWarned[m] = true;
    if (strcmp(first->Name, second->Name) > 0) std::swap(first, second);
    int k = SeparatingOffset(members, count, *second);
    char advice[32] = "no --slot-offset";
    if (k >= 0) snprintf(advice, sizeof advice, "--slot-offset %d", k);
    snprintf(warning, BRIDGE_WARNING_MAX,
             "orvantis_bridge: pool slot %d is published by both %s and %s, the last value wins; "
             "%s on %s %s them\n",
             m, first->Name, second->Name, advice, second->Name, k < 0 ? "separates" : "would separate");
    return true;
  }
  return false;
}

void ForgetSites(BridgeState *b) {
  for (RemoteSite &site : b->Sites)
    site = RemoteSite{};
}

bool ApplyRemoteSlots(BridgeState *b, SharedInfo *section) {
  bool changed = false, any_remote = false, dropped = false;
  for (int n = 0; n < SHARED_SLOTS; ++n) {
    int32_t value = RemoteValue(*b, n);
    if (value != 0) {
      any_remote = true;
      b->Remote[n] = true;
    } else if (b->Remote[n]) {
      b->Remote[n] = false;
      dropped = true;
    } else {
      continue;
    }
    // A value here that the bridge did not write (nor wrote just before: a
    // copy's write-back of the section may carry it) comes from a camera
    // here: the slot is in use on this site too, which is a collision.
    int32_t found = section->WebCamDiff[n];
    if (found != 0 && found != b->Seen[n] && found != b->Prior[n] && !b->EverSet[n])
      b->EverSet[n] = b->InUseChanged = true;
    // What the bridge writes is never taken for a local change.
    if (b->Seen[n] != value) b->Prior[n] = b->Seen[n];
    b->Seen[n] = value;
    if (section->WebCamDiff[n] != value) {
      section->WebCamDiff[n] = value;
      changed = true;
    }
  }
  // Copies without a camera follow DiffSum; it must carry the room's motion
  // while any slot is remote, and lose it when the last remote value goes.
  if (any_remote || dropped) {
    int32_t total = PooledTotal(*section);
    if (section->DiffSum != total) {
      section->DiffSum = total;
      changed = true;
    }
  }
  return changed;
}

int CollectLocalChanges(BridgeState *b, const SharedInfo &section, SlotPublication out[SHARED_SLOTS]) {
  int count = 0;
  for (int n = 0; n < SHARED_SLOTS; ++n) {
    int32_t value = section.WebCamDiff[n];
    if (b->Remote[n] || value == b->Seen[n]) continue;
    b->Seen[n] = value;
    if (value != 0 && !b->EverSet[n]) b->EverSet[n] = b->InUseChanged = true;
    if (b->EverSet[n]) out[count++] = {PoolSlot(n, b->Offset), value};
  }
  return count;
}

int CollectLocalSlots(const BridgeState &b, SlotPublication out[SHARED_SLOTS]) {
  int count = 0;
  for (int n = 0; n < SHARED_SLOTS; ++n)
    if (!b.Remote[n] && b.EverSet[n]) out[count++] = {PoolSlot(n, b.Offset), b.Seen[n]};
  return count;
}

void StoreChangedFields(SharedInfo *view, const SharedInfo &before, const SharedInfo &after) {
  for (int n = 0; n < SHARED_SLOTS; ++n)
    if (after.WebCamDiff[n] != before.WebCamDiff[n]) view->WebCamDiff[n] = after.WebCamDiff[n];
  if (after.DiffSum != before.DiffSum) view->DiffSum = after.DiffSum;
}

// --- The command line ---

namespace {

enum OptionKind {
  OPTION_NUMBER,  // a whole number in Low..High, into an int
  OPTION_NAME,    // one level of a topic, into a name array
  OPTION_TEXT,    // kept as given, into a const char *
  OPTION_BROKER,  // HOST[:PORT] into Host and Port, the port in Low..High
  OPTION_HELP,    // the usage, nothing else
  OPTION_VERSION, // the version, nothing else
  OPTION_REFUSED, // never taken: Expected says why
};

struct OptionRow {
  const char *Name;
  OptionKind Kind;
  int Low, High;        // the range of a number or port
  size_t Field;         // where the value goes in BridgeOptions
  const char *Expected; // what a bad value is told to be, before its range
};

const char *const NAME_EXPECTED = "1 to 64 bytes without '/', '+', '#' or control characters";

// The site's row also names the computer when --site is not given.
const OptionRow SITE_ROW = {"--site", OPTION_NAME, 0, 0, offsetof(BridgeOptions, Site), NAME_EXPECTED};

const OptionRow OPTION_ROWS[] = {
    {"--broker", OPTION_BROKER, 1, 65535, 0, "HOST, HOST:PORT or [ADDRESS]:PORT with a port"},
    SITE_ROW,
    {"--pool", OPTION_NAME, 0, 0, offsetof(BridgeOptions, Pool), NAME_EXPECTED},
    {"--keepalive", OPTION_NUMBER, 5, 65535, offsetof(BridgeOptions, Keepalive), "whole seconds"},
    {"--rate", OPTION_NUMBER, 1, 1000, offsetof(BridgeOptions, Rate), "a whole number of reads per second"},
    {"--slot-offset", OPTION_NUMBER, 0, SHARED_SLOTS - 1, offsetof(BridgeOptions, SlotOffset),
     "a whole number of slots"},
    {"--tls-ca", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, TlsCa), nullptr},
    {"--username", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, Username), nullptr},
    {"--password-file", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, PasswordFile), nullptr},
    {"--password", OPTION_REFUSED, 0, 0, 0,
     "a password is never given on the command line; set " BRIDGE_PASSWORD_VARIABLE
     " or use --password-file FILE"},
    {"--help", OPTION_HELP, 0, 0, 0, nullptr},
    {"-h", OPTION_HELP, 0, 0, 0, nullptr},
    {"--version", OPTION_VERSION, 0, 0, 0, nullptr},
};

bool ParseNumber(const char *text, int low, int high, int *out) {
  long long value = 0;
  if (!ParseDecimal(text, strlen(text), &value) || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

// HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; a bare IPv6 address has no port.
bool ParseBroker(const char *text, const OptionRow &row, BridgeOptions *options) {
  const char *host = text, *end = strchr(text, ':'), *port = nullptr;
  if (text[0] == '[') {
    host = text + 1;
    end = strchr(text, ']');
    if (end == nullptr || (end[1] != '\0' && end[1] != ':')) return false;
    if (end[1] == ':') port = end + 2;
  } else if (end != nullptr && strchr(end + 1, ':') == nullptr) {
    port = end + 1;
  } else {
    end = text + strlen(text);
  }
  if (end == host || end - host > BRIDGE_HOST_MAX) return false;
  snprintf(options->Host, sizeof options->Host, "%.*s", static_cast<int>(end - host), host);
  return port == nullptr || ParseNumber(port, row.Low, row.High, &options->Port);
}

// Puts `value` where the row says. Returns false when the value is bad.
bool StoreOption(const OptionRow &row, const char *value, BridgeOptions *options) {
  char *field = reinterpret_cast<char *>(options) + row.Field;
  switch (row.Kind) {
  case OPTION_NUMBER: return ParseNumber(value, row.Low, row.High, reinterpret_cast<int *>(field));
  case OPTION_NAME: return ValidTopicLevel(value) && snprintf(field, BRIDGE_NAME_MAX + 1, "%s", value) > 0;
  case OPTION_TEXT: *reinterpret_cast<const char **>(field) = value; return true;
  case OPTION_BROKER: return ParseBroker(value, row, options);
  default: return false;
  }
}

// Every refusal leaves through here: one line, and the usage when the
// command line itself was wrong rather than a value.
OptionsResult Refuse(std::string *refusal, const std::string &line, bool usage) {
  *refusal = "orvantis_bridge: " + line + "\n" + (usage ? BRIDGE_USAGE : "");
  return OPTIONS_REFUSED;
}

// A bad value: the option, the value and what it should be, with its range.
OptionsResult RefuseValue(std::string *refusal, const OptionRow &row, const char *value) {
  std::string line =
      std::string("bad value for ") + row.Name + ": \"" + value + "\" (expected " + row.Expected;
  if (row.High > 0) line += " in " + std::to_string(row.Low) + ".." + std::to_string(row.High);
  return Refuse(refusal, line + ")", false);
}

} // namespace

OptionsResult ParseBridgeOptions(int argc, const char *const *argv, const char *computer,
                                 BridgeOptions *options, std::string *refusal) {
  for (int i = 1; i < argc; ++i) {
    const std::string name(argv[i], strcspn(argv[i], "="));
    const OptionRow *row = nullptr;
    for (const OptionRow &candidate : OPTION_ROWS)
      if (name == candidate.Name) row = &candidate;
    if (row == nullptr) return Refuse(refusal, "unknown option " + name, true);
    if (row->Kind == OPTION_HELP) return OPTIONS_HELP;
    if (row->Kind == OPTION_VERSION) return OPTIONS_VERSION;
    if (row->Kind == OPTION_REFUSED) return Refuse(refusal, row->Expected, false);
    const char *value = argv[i] + name.size(); // "=value", or nothing and the value is the next argument
    value = *value == '=' ? value + 1 : i + 1 < argc ? argv[++i] : nullptr;
    if (value == nullptr) return Refuse(refusal, name + " needs a value", true);
    if (!StoreOption(*row, value, options)) return RefuseValue(refusal, *row, value);
  }
  if (options->Site[0] == '\0' && !StoreOption(SITE_ROW, computer, options))
    return Refuse(refusal,
                  "the host name \"" + std::string(computer) + "\" cannot name a site; give --site NAME",
                  false);
  if (options->Port == 0) options->Port = options->TlsCa != nullptr ? 8883 : 1883;
  return OPTIONS_RUN;
}
