#include "publish/publish_settings.h"

#include <sys/stat.h>

#include <gmock/gmock.h>

#include "support/temp_folder.h"

namespace kv {
namespace {

using ::testing::HasSubstr;

// Every way a [Publish] section can be wrong is refused with the setting
// named; what passes comes out as the connection will use it.
TEST(PublishSettingsTest, RefusesWhatCannotWorkAndReadsWhatCan) {
  test::TempFolder dir;
  const std::string open = dir.File("open.pw"), own = dir.File("own.pw"), pem = dir.File("ca.pem");
  test::WriteBytes(open, "secret\n");
  test::WriteBytes(own, "secret\r\nsecond line\n");
  test::WriteBytes(pem, "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
  test::WriteBytes(dir.File("junk.pem"), "not a certificate");
  ::chmod(open.c_str(), 0644);
  ::chmod(own.c_str(), 0600);
  const struct {
    PublishSettings settings;
    std::string problem{};  // empty: accepted
    BrokerAddress address{};
    std::string bench = "lab-pc";
  } cases[] = {
      {{.broker = "mqtt://broker.lab"}, "", {false, "broker.lab", 1883}},
      {{.broker = "mqtts://[::1]:8884/", .bench = "b7"}, "", {true, "::1", 8884}, "b7"},
      {{.broker = "mqtts://h", .caFile = pem}, "", {true, "h", 8883}},
      {{.broker = "mqtt://h:1", .user = "u", .passwordFile = own}, "", {false, "h", 1}},
      {{.broker = "http://h"}, "unknown scheme"},
      {{.broker = "h:1883"}, "does not parse"},
      {{.broker = "mqtt://"}, "does not parse"},
      {{.broker = "mqtt://h:"}, "does not parse"},
      {{.broker = "mqtt://h:65536"}, "does not parse"},
      {{.broker = "mqtt://h:80x"}, "does not parse"},
      {{.broker = "mqtt://u@h"}, "does not parse"},
      {{.broker = "mqtt://[::1"}, "does not parse"},
      {{.broker = "mqtt://h", .bench = "a/b"}, "topic level"},
      {{.broker = "mqtt://h", .bench = "#"}, "topic level"},
      {{.broker = "mqtt://h", .bench = "all"}, "topic level"},
      {{.broker = "mqtt://h", .passwordFile = open}, "read by others"},
      {{.broker = "mqtt://h", .passwordFile = dir.File("none")}, "does not exist"},
      {{.broker = "mqtt://h", .caFile = pem}, "needs an mqtts://"},
      {{.broker = "mqtts://h", .caFile = dir.File("junk.pem")}, "does not load"},
      {{.broker = "mqtts://h", .caFile = dir.File("none.pem")}, "does not load"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings.broker + " " + c.settings.bench);
    std::string problem;
    const std::optional<PublishConfig> config =
        CheckPublishSettings(c.settings, "lab-pc", &problem);
    if (!c.problem.empty()) {
      EXPECT_FALSE(config);
      EXPECT_THAT(problem, HasSubstr(c.problem));
      continue;
    }
    ASSERT_TRUE(config) << problem;
    EXPECT_EQ(config->address.tls, c.address.tls);
    EXPECT_EQ(config->address.host, c.address.host);
    EXPECT_EQ(config->address.port, c.address.port);
    EXPECT_EQ(config->bench, c.bench);
    EXPECT_EQ(config->password, c.settings.passwordFile.empty() ? "" : "secret");
  }
}

TEST(PublishSettingsTest, ReadsTheSectionOfTheSettingsFile) {
  test::TempFolder dir;
  test::WriteBytes(dir.File("KV26.INI"),
                   "[Publish]\r\nBroker=mqtt://h\r\nBench=b\r\nRemoteStop=1\r\nCaFile=c\r\n");
  const PublishSettings s = ReadPublishSettings(dir.File("KV26.INI"));
  EXPECT_EQ(s.broker, "mqtt://h");
  EXPECT_EQ(s.bench, "b");
  EXPECT_TRUE(s.remoteStop);
  EXPECT_EQ(s.caFile, "c");
  EXPECT_FALSE(ReadPublishSettings(dir.File("missing.ini")).On());
}

}  // namespace
}  // namespace kv
