#include "bridge/bridge_logic.h"

#include <cstdio>
#include <cstring>

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
    if (!site.Used) {
      room = &site;
      break;
    }
  if (room == nullptr)
    for (RemoteSite &site : b->Sites)
      if (site.Status == SITE_OFFLINE) {
        room = &site;
        break;
      }
  if (room == nullptr) return nullptr;
  *room = RemoteSite{};
  room->Used = true;
  snprintf(room->Name, sizeof room->Name, "%s", name);
  return room;
}

void ClearSiteValues(RemoteSite *site) {
  memset(site->Value, 0, sizeof site->Value);
  memset(site->Stamp, 0, sizeof site->Stamp);
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

// Another publisher of `slot` besides `self`: an online site with a non-zero
// value, or this site while the slot is local and set. Null when none.
const char *OtherPublisher(const BridgeState &b, int slot, const RemoteSite *self) {
  for (const RemoteSite &site : b.Sites)
    if (&site != self && site.Used && site.Status == SITE_ONLINE && site.Value[slot] != 0) return site.Name;
  if (!b.Remote[slot] && b.EverSet[slot] && b.Seen[slot] != 0) return b.Site;
  return nullptr;
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

bool StartBridgeState(BridgeState *b, const char *site, const char *pool) {
  *b = BridgeState{};
  if (!ValidTopicLevel(site) || !ValidTopicLevel(pool)) return false;
  snprintf(b->Site, sizeof b->Site, "%s", site);
  snprintf(b->Pool, sizeof b->Pool, "%s", pool);
  return true;
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
  if (strncmp(rest, "slot/", 5) != 0) return TOPIC_MALFORMED;
  const char *digits = rest + 5;
  size_t count = strlen(digits);
  long long n = 0;
  // One or two digits, no sign and no leading zero: one topic per slot.
  if (count > 2 || digits[0] == '-' || (count == 2 && digits[0] == '0') || !ParseDecimal(digits, count, &n) ||
      n >= SHARED_SLOTS)
    return TOPIC_MALFORMED;
  *slot = static_cast<int>(n);
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

MessageResult TakeMessage(BridgeState *b, const char *topic, const void *payload, int length, char *warning) {
  warning[0] = '\0';
  char name[BRIDGE_NAME_MAX + 1];
  int slot = -1;
  TopicKind kind = ParseTopic(topic, b->Pool, name, &slot);
  bool online = false;
  int32_t value = 0;
  if (kind == TOPIC_MALFORMED || (kind == TOPIC_ONLINE && !ParseOnlinePayload(payload, length, &online)) ||
      (kind == TOPIC_SLOT && !ParseSlotPayload(payload, length, &value))) {
    ++b->Malformed;
    return MESSAGE_MALFORMED;
  }
  if (strcmp(name, b->Site) == 0) return kind == TOPIC_ONLINE && !online ? MESSAGE_OWN_OFFLINE : MESSAGE_OWN;

  // A value 0 of a site never seen changes nothing and needs no entry.
  RemoteSite *site = FindSite(b, name, kind == TOPIC_ONLINE || value != 0);
  if (site == nullptr) {
    if (kind == TOPIC_SLOT && value == 0) return MESSAGE_TAKEN;
    ++b->NoRoom;
    return MESSAGE_NO_ROOM;
  }
  if (kind == TOPIC_ONLINE) {
    // Values kept while it was offline were ignored; values seen before its
    // presence (retained messages come in any order) count from now on.
    if (!online) ClearSiteValues(site);
    site->Status = online ? SITE_ONLINE : SITE_OFFLINE;
    return MESSAGE_TAKEN;
  }
  if (site->Status == SITE_OFFLINE) return MESSAGE_TAKEN;
  if (value != 0 && site->Status == SITE_ONLINE && !b->DuplicateWarned[slot]) {
    const char *other = OtherPublisher(*b, slot, site);
    if (other != nullptr) {
      b->DuplicateWarned[slot] = true;
      snprintf(warning, BRIDGE_WARNING_MAX,
               "orvantis_bridge: slot %d is published by both %s and %s; the last value wins\n", slot, other,
               site->Name);
    }
  }
  site->Value[slot] = value;
  site->Stamp[slot] = ++b->Arrivals;
  return MESSAGE_TAKEN;
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
    // What the bridge writes is never taken for a local change.
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
    if (value != 0) b->EverSet[n] = true;
    if (b->EverSet[n]) out[count++] = {n, value};
  }
  return count;
}

int CollectLocalSlots(const BridgeState &b, SlotPublication out[SHARED_SLOTS]) {
  int count = 0;
  for (int n = 0; n < SHARED_SLOTS; ++n)
    if (!b.Remote[n] && b.EverSet[n]) out[count++] = {n, b.Seen[n]};
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

const OptionRow OPTION_ROWS[] = {
    {"--broker", OPTION_BROKER, 1, 65535, 0, "HOST, HOST:PORT or [ADDRESS]:PORT with a port"},
    {"--site", OPTION_NAME, 0, 0, offsetof(BridgeOptions, Site), NAME_EXPECTED},
    {"--pool", OPTION_NAME, 0, 0, offsetof(BridgeOptions, Pool), NAME_EXPECTED},
    {"--keepalive", OPTION_NUMBER, 5, 65535, offsetof(BridgeOptions, Keepalive), "whole seconds"},
    {"--rate", OPTION_NUMBER, 1, 1000, offsetof(BridgeOptions, Rate), "a whole number of reads per second"},
    {"--tls-ca", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, TlsCa), nullptr},
    {"--username", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, Username), nullptr},
    {"--password-file", OPTION_TEXT, 0, 0, offsetof(BridgeOptions, PasswordFile), nullptr},
    {"--password", OPTION_REFUSED, 0, 0, 0,
     "a password is never given on the command line; set " BRIDGE_PASSWORD_VARIABLE
     " or use --password-file FILE"},
    {"--help", OPTION_HELP, 0, 0, 0, nullptr},
    {"-h", OPTION_HELP, 0, 0, 0, nullptr},
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
    if (row->Kind == OPTION_REFUSED) return Refuse(refusal, row->Expected, false);
    const char *value = argv[i] + name.size(); // "=value", or nothing and the value is the next argument
    value = *value == '=' ? value + 1 : i + 1 < argc ? argv[++i] : nullptr;
    if (value == nullptr) return Refuse(refusal, name + " needs a value", true);
    if (!StoreOption(*row, value, options)) return RefuseValue(refusal, *row, value);
  }
  if (options->Site[0] == '\0' && !StoreOption(OPTION_ROWS[1] /* --site */, computer, options))
    return Refuse(refusal,
                  "the host name \"" + std::string(computer) + "\" cannot name a site; give --site NAME",
                  false);
  if (options->Port == 0) options->Port = options->TlsCa != nullptr ? 8883 : 1883;
  return OPTIONS_RUN;
}
