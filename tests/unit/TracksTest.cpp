#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tracking/Tracks.h"

namespace zentrak::tracking {
namespace {

using Parameters = std::vector<std::pair<std::wstring, std::wstring>>;

hostsdk::InstallationData Installation() {
  hostsdk::InstallationData data;
  data.custom_id = -5;
  data.product_code = 1200;
  data.product_type = 3;
  data.suite_version = L"18.04.00.0000";
  return data;
}

TEST(Tracks, InstallationAndUninstallationCarryTheSuiteFieldsAndTheirParametersInOrder) {
  const TrackContext full{L"MUID-1", L"IU-1", L"1.0.0.1"};
  const Track install = CampaignTrack(Installation(), false, full);
  EXPECT_EQ(install.fields.product_code, 1200);
  EXPECT_EQ(install.fields.suite_version, L"18.04.00.0000");
  EXPECT_EQ(install.fields.product_type, 3);
  EXPECT_EQ(install.fields.machine_id, L"MUID-1");
  EXPECT_EQ(install.fields.custom_id, -5);
  EXPECT_EQ(install.fields.event_type, L"install");
  EXPECT_EQ(
      install.parameters,
      (Parameters{{L"InstUID", L"IU-1"}, {L"File_Version", L"1.0.0.1"}, {L"ProductID", L"1200"}}));

  const Track removal = CampaignTrack(Installation(), true, TrackContext{L"MUID-1", L"", L""});
  EXPECT_EQ(removal.fields.event_type, L"unins");
  EXPECT_EQ(removal.parameters, (Parameters{{L"ProductID", L"1200"}}))
      << "no InstUID and no File_Version when they are empty";
}

TEST(Tracks, ADetectionTrackCarriesItsIdentifiersAndReportTimeAfterTheRunsValues) {
  const hostsdk::DetectionRecord detection{-1, 42, hostsdk::OleDate::FromDouble(43185.5)};
  const Track track =
      DetectionTrack(Installation(), detection, TrackContext{L"MUID-1", L"IU-1", L"1.0.0.1"});
  EXPECT_EQ(track.fields.event_type, L"detection");
  EXPECT_EQ(track.fields.machine_id, L"MUID-1");
  EXPECT_EQ(track.parameters, (Parameters{{L"ProductID", L"1200"},
                                          {L"InstUID", L"IU-1"},
                                          {L"File_Version", L"1.0.0.1"},
                                          {L"DetectionID", L"42"},
                                          {L"MalwareID", L"-1"},
                                          {L"DateTime", L"2018-03-26T12:00:00"}}));
}

TEST(Tracks, APreviousUninstallationTakesTheSetupValuesAndSetsOnlyWhatWasRead) {
  PreviousSetup setup;
  setup.muid = L"MUID-OLD";
  setup.main_product_id = 1300;
  setup.version_type = 4;
  setup.custom_id = L"77abc";
  const Track track = PreviousUninstallTrack(setup, L"IU-1");
  EXPECT_EQ(track.fields.product_code, 1300);
  EXPECT_EQ(track.fields.product_type, 4);
  EXPECT_EQ(track.fields.machine_id, L"MUID-OLD");
  EXPECT_EQ(track.fields.custom_id, 77) << "the text's leading digits";
  EXPECT_FALSE(track.fields.suite_version);
  EXPECT_EQ(track.fields.event_type, L"unins_prev");
  EXPECT_EQ(track.parameters, (Parameters{{L"InstUID", L"IU-1"}, {L"ProductID", L"1300"}}));

  const Track bare = PreviousUninstallTrack(PreviousSetup{}, L"");
  EXPECT_FALSE(bare.fields.product_code);
  EXPECT_FALSE(bare.fields.product_type);
  EXPECT_FALSE(bare.fields.machine_id);
  EXPECT_FALSE(bare.fields.custom_id);
  EXPECT_EQ(bare.fields.event_type, L"unins_prev");
  EXPECT_EQ(bare.parameters, (Parameters{{L"ProductID", L"0"}}));
}

}  // namespace
}  // namespace zentrak::tracking
