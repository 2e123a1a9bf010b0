// The bridge's decisions without a broker: what topics and payloads say, which
// slots are remote, what reaches the section and what is published.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "bridge/bridge_logic.h"

namespace {

struct BridgeLogic : ::testing::Test {
  BridgeState b;
  SharedInfo section{};
  char warning[BRIDGE_WARNING_MAX];
  void SetUp() override { ASSERT_TRUE(StartBridgeState(&b, "here", "pool", 0)); }
  MessageResult Take(const std::string &topic, const std::string &payload) {
    return TakeMessage(&b, topic.c_str(), payload.data(), static_cast<int>(payload.size()));
  }
  std::string Collisions() {
    std::string text;
    while (NextCollision(&b, warning))
      text += warning;
    return text;
  }
  // Slot n and DiffSum once the bridge has applied what it knows.
  std::string Applied(int n) {
    ApplyRemoteSlots(&b, &section);
    return std::to_string(section.WebCamDiff[n]) + " " + std::to_string(section.DiffSum);
  }
  // What is published now, or with `all` what a new connection republishes.
  std::string Publications(bool all = false) {
    SlotPublication out[SHARED_SLOTS];
    std::string text;
    int count = all ? CollectLocalSlots(b, out) : CollectLocalChanges(&b, section, out);
    for (int i = 0; i < count; ++i)
      text += std::to_string(out[i].Slot) + "=" + std::to_string(out[i].Value) + " ";
    return text;
  }
};

TEST_F(BridgeLogic, TopicsParseBackAndTopicsAndPayloadsOutsideTheRulesAreRefused) {
  char site[BRIDGE_NAME_MAX + 1], made[TOPIC_MAX];
  int slot = 0; // a topic without a slot leaves it
  for (auto [kind, n, wire] :
       {std::tuple(TOPIC_ONLINE, 0, "pool/here/online"), std::tuple(TOPIC_IN_USE, 0, "pool/here/slots"),
        std::tuple(TOPIC_SLOT, 31, "pool/here/slot/31")}) {
    FormatTopic(b, kind, n, made);
    EXPECT_STREQ(made, wire);
    EXPECT_TRUE(ParseTopic(made, "pool", site, &slot) == kind && !strcmp(site, "here") && slot == n) << wire;
  }
  EXPECT_TRUE(ParseTopic("pool/B/slot/0", "pool", site, &slot) == TOPIC_SLOT && slot == 0);
  const std::string long_site(BRIDGE_NAME_MAX + 1, 's');
  for (const std::string &topic : std::initializer_list<std::string>{
           "pool/B/slot/32", "pool/B/slot/03", "pool/B/slot/-1", "pool/B/slot/", "pool/B/slot/3/x",
           "pool//online", "pool/B", "pool/B/onlinex", "poolx/B/online", "other/B/online",
           "pool/" + long_site + "/online"})
    EXPECT_EQ(ParseTopic(topic.c_str(), "pool", site, &slot), TOPIC_MALFORMED) << topic;

  int32_t value = 1;
  EXPECT_TRUE(ParseSlotPayload("", 0, &value) && value == 0); // a retained value removed
  EXPECT_TRUE(ParseSlotPayload("-2147483648", 11, &value) && value == INT32_MIN);
  EXPECT_TRUE(ParseSlotPayload("2147483647", 10, &value) && value == INT32_MAX);
  for (const char *bad :
       {"2147483648", "-2147483649", "99999999999", "12a", "-", " 5", "+5", "1.0", "123456789012"})
    EXPECT_FALSE(ParseSlotPayload(bad, static_cast<int>(strlen(bad)), &value)) << bad;
  EXPECT_FALSE(ParseSlotPayload("5\0", 2, &value));

  int offset = -1;
  bool in_use[SHARED_SLOTS];
  EXPECT_TRUE(ParseInUsePayload("31:0,30", 7, &offset, in_use));
  EXPECT_TRUE(offset == 31 && in_use[0] && in_use[30] && !in_use[31]);
  for (const char *bad : {"1:1,", "32:", "1:01", ":1", "1", "1:1,,2", "1:32"})
    EXPECT_FALSE(ParseInUsePayload(bad, static_cast<int>(strlen(bad)), &offset, in_use)) << bad;

  EXPECT_FALSE(ValidTopicLevel("a+"));
  BridgeState b;
  EXPECT_FALSE(StartBridgeState(&b, "site#", "pool", 0));
}

TEST_F(BridgeLogic, RemoteSlotIsRepairedThenWrittenZeroOnceAndNeverPublished) {
  section.WebCamDiff[1] = 70; // a local camera
  Take("pool/A/online", "1");
  Take("pool/A/slot/3", "-5");
  EXPECT_EQ(Applied(3), "-5 65");
  EXPECT_EQ(Publications(), "1=70 ");
  EXPECT_EQ(Publications(true), "1=70 ");

  section.WebCamDiff[3] = 0; // a copy starting up clears the pool
  section.DiffSum = 0;
  EXPECT_EQ(Applied(3), "-5 65");
  EXPECT_EQ(Publications(), "");

  Take("pool/A/slot/3", "0");
  EXPECT_TRUE(ApplyRemoteSlots(&b, &section));
  EXPECT_EQ(section.WebCamDiff[3], 0);
  EXPECT_EQ(section.DiffSum, 70);
  EXPECT_EQ(Publications(), ""); // the bridge's own 0 is no local change
  section.WebCamDiff[3] = 9;     // local again
  EXPECT_EQ(Publications(), "3=9 ");
}

TEST_F(BridgeLogic, SlotNeverSetIsNeverPublishedAndASetOneIsEvenAtZero) {
  EXPECT_EQ(Publications(), "");
  section.WebCamDiff[4] = 10;
  EXPECT_EQ(Publications(), "4=10 ");
  EXPECT_EQ(Publications(), "");
  section.WebCamDiff[4] = 0;
  EXPECT_EQ(Publications(), "4=0 ");
  EXPECT_EQ(Publications(true), "4=0 ");
  // With no remote site the section stays as the copies wrote it.
  section.DiffSum = 12345;
  EXPECT_FALSE(ApplyRemoteSlots(&b, &section));
  EXPECT_EQ(section.DiffSum, 12345);
}

TEST_F(BridgeLogic, PresenceDecidesWhoseValuesCountAndOurOwnOfflineIsTold) {
  EXPECT_EQ(Take("pool/here/slot/3", "9"), MESSAGE_OWN); // our own publications come back
  EXPECT_EQ(Take("pool/here/online", "0"), MESSAGE_OWN_OFFLINE);
  Take("pool/A/slot/2", "40"); // retained values may come before the presence
  EXPECT_EQ(Applied(2), "0 0");
  Take("pool/A/online", "1");
  EXPECT_EQ(Applied(2), "40 40");
  Take("pool/A/online", "0");
  EXPECT_EQ(Applied(2), "0 0");
  Take("pool/A/slot/2", "41"); // kept on the broker for a site not online
  Take("pool/A/online", "1");
  EXPECT_EQ(Applied(2), "0 0");
  Take("pool/A/slot/2", "42");
  EXPECT_EQ(Applied(2), "42 42");
}

// Local slot n is pool slot n + 1 here: pool slot 0 of A lands in local 31.
TEST_F(BridgeLogic, TheOffsetShiftsSlotsBothWays) {
  ASSERT_TRUE(StartBridgeState(&b, "here", "pool", 1));
  section.WebCamDiff[31] = 70;
  EXPECT_EQ(Publications(), "0=70 ");
  Take("pool/A/online", "1");
  Take("pool/A/slot/1", "5");
  EXPECT_EQ(Applied(0), "5 75");
  char payload[BRIDGE_CLAIMS_MAX];
  FormatInUse(&b, payload);
  EXPECT_STREQ(payload, "1:0");
}

// Slots in use, not values, tell of a collision, whoever came first (a camera here
// writing into a remote slot puts it in use here too); once while it lasts, with an
// offset for the later name.
TEST_F(BridgeLogic, TwoOnlineSitesInOnePoolSlotAreReportedOnceWithAnOffsetThatSeparatesThem) {
  Take("pool/B/slots", "1:1,2"); // before its presence
  Take("pool/B/online", "1");
  Take("pool/A/online", "1");
  Take("pool/A/slots", "0:0,1");
  Take("pool/A/slot/0", "300");
  EXPECT_EQ(Applied(0), "300 300");
  EXPECT_EQ(Collisions(), "orvantis_bridge: pool slot 1 is published by both A and B, the last value wins; "
                          "--slot-offset 2 on B would separate them\n");
  section.WebCamDiff[0] = 9;
  EXPECT_EQ(Applied(0), "300 300"); // the last value wins
  EXPECT_EQ(Collisions(),
            "orvantis_bridge: pool slot 0 is published by both A and here, the last value wins; "
            "--slot-offset 3 on here would separate them\n");
  EXPECT_EQ(Collisions(), "");
  Take("pool/A/online", "0");
  EXPECT_EQ(Collisions(), "");
  Take("pool/A/online", "1");
  Take("pool/A/slots", "0:0");
  EXPECT_NE(Collisions().find("pool slot 0 is published by both A and here"), std::string::npos);
}

TEST_F(BridgeLogic, AFullSiteTableRefusesNewSitesButReusesOfflineOnes) {
  for (int i = 0; i < BRIDGE_SITES_MAX; ++i)
    ASSERT_EQ(Take("pool/s" + std::to_string(i) + "/online", "1"), MESSAGE_TAKEN);
  EXPECT_EQ(Take("pool/late/slot/1", "5"), MESSAGE_NO_ROOM);
  Take("pool/s0/online", "0");
  EXPECT_EQ(Take("pool/late/online", "1"), MESSAGE_TAKEN);
}

TEST(BridgeSection, OnlyChangedFieldsAreStoredAndTheReservedBytesNever) {
  SharedInfo view{}, before{}, after{};
  memset(view.reserved, 0xAB, sizeof view.reserved);
  after.WebCamDiff[3] = 5;
  after.DiffSum = 5;
  view.WebCamDiff[7] = 99; // another copy wrote between our read and our store
  StoreChangedFields(&view, before, after);
  EXPECT_EQ(view.WebCamDiff[3], 5);
  EXPECT_EQ(view.DiffSum, 5);
  EXPECT_EQ(view.WebCamDiff[7], 99);
  for (uint8_t byte : view.reserved)
    ASSERT_EQ(byte, 0xAB);
}

// What a command line sets (host, port, site, pool, keepalive, rate, CA, offset), or its refusal.
std::string Taken(std::vector<const char *> args, const char *computer = "box") {
  BridgeOptions o;
  std::string refusal;
  args.insert(args.begin(), "orvantis_bridge");
  if (ParseBridgeOptions(static_cast<int>(args.size()), args.data(), computer, &o, &refusal) != OPTIONS_RUN)
    return refusal;
  return std::string(o.Host) + " " + std::to_string(o.Port) + " " + o.Site + " " + o.Pool + " " +
         std::to_string(o.Keepalive) + " " + std::to_string(o.Rate) + " " + (o.TlsCa ? o.TlsCa : "-") + " " +
         std::to_string(o.SlotOffset);
}

// Each bad option stops the bridge naming it (a part given here); a wrong command line,
// not a wrong value, adds the usage.
TEST(BridgeOptions, EveryBadOptionIsRefusedNamingIt) {
  const std::string usage = BRIDGE_USAGE;
  const std::pair<std::vector<const char *>, std::string> refusals[] = {
      {{"--rate", "0"},
       "bad value for --rate: \"0\" (expected a whole number of reads per second in 1..1000)\n"},
      {{"--slot-offset=32"},
       "bad value for --slot-offset: \"32\" (expected a whole number of slots in 0..31)\n"},
      {{"--keepalive", "4"}, "bad value for --keepalive: \"4\" (expected whole seconds in 5..65535)\n"},
      {{"--rate", "12x"}, "--rate: \"12x\""},
      {{"--site", "a/b"}, ": \"a/b\" (expected 1 to 64 bytes without '/', '+', '#' or control characters)\n"},
      {{"--pool="}, "--pool: \"\""},
      {{"--rate", "5", "--pool"}, "orvantis_bridge: --pool needs a value\n" + usage},
      {{"--password", "x"},
       "orvantis_bridge: a password is never given on the command line; set "
       "ORVANTIS_BROKER_PASSWORD or use --password-file FILE\n"},
      {{"--password=x"}, "a password is never given"},
      {{"--broker", "[::1"},
       "bad value for --broker: \"[::1\" (expected HOST, HOST:PORT or [ADDRESS]:PORT with a "
       "port in 1..65535)\n"},
      {{"--broker", "[::1]x"}, "--broker: \"[::1]x\""},
      {{"--broker", "[::1]:0"}, "--broker: \"[::1]:0\""},
      {{"--broker", "host:65536"}, "--broker: \"host:65536\""},
      {{"--frobnicate", "3"}, "orvantis_bridge: unknown option --frobnicate\n" + usage},
  };
  for (const auto &[args, said] : refusals)
    EXPECT_NE(Taken(args).find(said), std::string::npos) << said;
}

TEST(BridgeOptions, ValuesAtTheEndsOfTheirRangesAreTaken) {
  EXPECT_EQ(Taken({}), "localhost 1883 box orvantis 5 30 - 0");
  EXPECT_EQ(Taken({}, "a/b"),
            "orvantis_bridge: the host name \"a/b\" cannot name a site; give --site NAME\n");
  EXPECT_EQ(Taken({"--broker=[::1]:65535", "--rate", "1", "--keepalive", "65535", "--site", "hall"}),
            "::1 65535 hall orvantis 65535 1 - 0");
  EXPECT_EQ(
      Taken({"--broker", "host:1", "--rate=1000", "--keepalive=5", "--pool", "p", "--slot-offset", "31"}),
      "host 1 box p 5 1000 - 31");
  // A bare IPv6 address has no port: the default one, 8883 with TLS.
  EXPECT_EQ(Taken({"--broker", "fe80::1", "--tls-ca", "ca.crt"}), "fe80::1 8883 box orvantis 5 30 ca.crt 0");
}

} // namespace
